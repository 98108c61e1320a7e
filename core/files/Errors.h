#pragma once

#include <stdexcept>
#include <string>

namespace qb {

// Base of every error condition that ends a command and reaches the standard error box.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A checked file operation failed; the message is chosen by the code.
class EInOutError : public Error
{
public:
    explicit EInOutError(int code);
    int code() const { return m_code; }

private:
    int m_code;
};

// A correspondent's key that another running copy held past the wait for locks: "I/O error 32", naming whose key.
class EKeyInUse : public EInOutError
{
public:
    explicit EKeyInUse(std::string name);
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};

// Message of the I/O error table: "File not found", "I/O error 32", ...
std::string ioErrorMessage(int code);

// The editor could not write its text to a file: "Cannot create file %s".
class EFCreateError : public Error
{
public:
    explicit EFCreateError(const std::string& fileName);
};

// The editor could not read a file: "Cannot open file %s".
class EFOpenError : public Error
{
public:
    explicit EFOpenError(const std::string& fileName);
};

// A file is larger than the editor can hold: "Text exceeds memo capacity".
class EOutOfResources : public Error
{
public:
    EOutOfResources();
};

// A short write while the editor saves: "Stream write error".
class EWriteError : public Error
{
public:
    EWriteError();
};

// A list entry was asked for by an index it does not have: "List index out of bounds (%d)".
class EListError : public Error
{
public:
    explicit EListError(int index);
};

// Mail text whose base64 is broken or whose checksum does not match: "The mail text is damaged (checksum mismatch)."
class EDamagedMailText : public Error
{
public:
    EDamagedMailText();
};

// A text holding more than one block of mail text: "The mail text holds more than one message."
class EManyMailTexts : public Error
{
public:
    EManyMailTexts();
};

// The working directory, which is the data directory, is gone or cannot be listed:
// "The folder the program was started in cannot be read: No such file or directory".
class EDataDirectory : public Error
{
public:
    explicit EDataDirectory(int code);
    // A folder that is there but cannot be written or searched, named with the reason.
    EDataDirectory(const std::string& folder, int code);
    EDataDirectory(const std::string& folder, const std::string& reason);
};

// The silent stop: ends the running command without a message. Not an Error, so nothing shows it.
class EAbort : public std::exception
{
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// Raises the silent stop.
[[noreturn]] void Abort();

} // namespace qb
