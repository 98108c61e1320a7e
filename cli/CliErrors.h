#pragma once

#include "Errors.h"

#include <string>

namespace qbcli {

// A command line the program cannot run: unknown options, a missing or surplus argument. Exit status 2.
class UsageError : public qb::Error
{
public:
    using qb::Error::Error;
};

// A failure tied to a file the user named (or standard input and output): its text after the name, shown as a
// terminal may show it.
class FileError : public qb::Error
{
public:
    FileError(const std::string& file, const std::string& text);
};

// The system's reason (strerror) for a failure with `error` (errno-style, or the file layer's own) on the file at
// `path`.
std::string fileErrorText(int error, const std::string& path);
// The same for a code of the file layer's I/O error table.
std::string codeErrorText(int code);

} // namespace qbcli
