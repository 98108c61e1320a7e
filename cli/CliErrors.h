#pragma once

#include "Errors.h"
#include "IoCodes.h"
#include "IoContext.h"

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

// The system's reason (strerror) for a failure with `error` (errno-style, or the file layer's own) on a file.
std::string fileErrorText(int error);
// The same for a code of the file layer's I/O error table.
std::string codeErrorText(int code);
// The same for a code a step on one of the program's own files under the data directory gave: a folder or a symbolic
// link where the file should be says so, which the code (5, as for a file that cannot be written) does not.
std::string ownFileErrorText(const qb::IoContext& io, const std::string& path, int code);

// Runs a check of a correspondent's name given on the command line; one that refuses it names the name: "NAME:
// Invalid filename".
template <typename Check> void checkName(const std::string& shownName, Check check)
{
    try {
        check();
    } catch (const qb::EInOutError& error) {
        if (error.code() != qb::IoCode::PathNotFound)
            throw;
        throw FileError(shownName, error.what());
    }
}

} // namespace qbcli
