#include "CorrespondentPaths.h"

#include "ByteText.h"
#include "Errors.h"
#include "IoCodes.h"
#include "StoredFiles.h"

#include <algorithm>
#include <iterator>

namespace qb {

namespace {

bool equalsIgnoringCase(const std::string& name, const std::string& reserved)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(name.begin(), name.end(), reserved.begin(), reserved.end(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

} // namespace

CorrespondentPaths::CorrespondentPaths(const std::string& dataDirectory, const std::string& name)
    : m_name(name), m_folder(joinPath(dataDirectory, name)), m_keyFile(joinPath(m_folder, name + ".key")),
      m_messageFile(joinPath(m_folder, "newmail.txt")), m_cipherFile(joinPath(m_folder, name + ".cipher"))
{
}

void CorrespondentPaths::requireRegistrable() const
{
    requireRegistrableName(m_name);
    requireWithinPathLimits();
}

void CorrespondentPaths::requireWithinPathLimits() const
{
    if (!fitsPathLimits(m_keyFile) || !fitsPathLimits(m_messageFile))
        throw EInOutError(IoCode::PathNotFound);
}

void requireRegistrableName(const std::string& name)
{
    static const std::string reservedNames[] = {"users.cfg", "mail.cfg", "untitled"};
    const bool refused =
        name.empty() || name.front() == '.' || name.front() == ' ' || name.back() == ' ' ||
        name.find('/') != std::string::npos ||
        std::any_of(name.begin(), name.end(), [](char c) { return isControlByte(static_cast<unsigned char>(c)); }) ||
        std::any_of(std::begin(reservedNames), std::end(reservedNames),
                    [&](const std::string& reserved) { return equalsIgnoringCase(name, reserved); });
    if (refused)
        throw EInOutError(IoCode::PathNotFound);
}

void requireFolderName(const std::string& name)
{
    if (name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        throw EInOutError(IoCode::PathNotFound);
}

} // namespace qb
