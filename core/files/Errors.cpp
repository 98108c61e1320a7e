#include "Errors.h"

#include "IoCodes.h"

#include <cstring>
#include <utility>

namespace qb {

std::string ioErrorMessage(int code)
{
    switch (code) {
    case 2:
        return "File not found";
    case 3:
        return "Invalid filename";
    case 4:
        return "Too many open files";
    case 5:
        return "File access denied";
    case 100:
        return "Read beyond end of file";
    case 101:
        return "Disk full";
    case 106:
        return "Invalid numeric input";
    default:
        return "I/O error " + std::to_string(code);
    }
}

EInOutError::EInOutError(int code) : Error(ioErrorMessage(code)), m_code(code) {}

EKeyInUse::EKeyInUse(std::string name) : EInOutError(IoCode::SharingViolation), m_name(std::move(name)) {}

EFCreateError::EFCreateError(const std::string& fileName) : Error("Cannot create file " + fileName) {}

EFOpenError::EFOpenError(const std::string& fileName) : Error("Cannot open file " + fileName) {}

EOutOfResources::EOutOfResources() : Error("Text exceeds memo capacity") {}

EWriteError::EWriteError() : Error("Stream write error") {}

EListError::EListError(int index) : Error("List index out of bounds (" + std::to_string(index) + ")") {}

EDamagedMailText::EDamagedMailText() : Error("The mail text is damaged (checksum mismatch).") {}

EManyMailTexts::EManyMailTexts() : Error("The mail text holds more than one message.") {}

EDataDirectory::EDataDirectory(int code)
    : Error(std::string("The folder the program was started in cannot be read: ") + std::strerror(code))
{
}

EDataDirectory::EDataDirectory(const std::string& folder, int code)
    : Error("The data directory " + folder + " cannot be used: " + std::strerror(code))
{
}

EDataDirectory::EDataDirectory(const std::string& folder, const std::string& reason)
    : Error("The data directory " + folder + " cannot be used: " + reason)
{
}

void Abort()
{
    throw EAbort();
}

} // namespace qb
