#include "ListFiles.h"

#include "Errors.h"
#include "IoCodes.h"
#include "StoredFiles.h"
#include "TextFile.h"

#include <cerrno>

namespace qb {

bool listReady(IoContext& io, const std::string& name, Probe probe)
{
    TextFile file(io);
    file.assign(name);
    if (probe == Probe::Append)
        file.append();
    else
        file.reset();
    // Taken before the close, which would overwrite a failed open's code with 103.
    const int opened = io.ioResult();
    file.close();
    const int closed = io.ioResult();
    if (opened == 0 && closed == 0)
        return true;
    struct stat info
    {
    };
    if (entryStatus(io, name, info) == ENOENT)
        return false;
    const bool saysMissing = opened == 0 || opened == IoCode::FileNotFound || opened == IoCode::PathNotFound;
    throw EInOutError(saysMissing ? IoCode::AccessDenied : opened);
}

int readListFile(IoContext& io, const std::string& name, const std::function<void(const std::string&)>& onLine,
                 std::size_t longest, const std::function<void()>& onTooLong)
{
    // A list may hold a million lines: read in large pieces, not a text file's usual few bytes at a time.
    constexpr std::size_t kListBufferSize = 64 * 1024;
    TextFile list(io, TextFile::Reading::Text, kListBufferSize);
    list.assign(name);
    list.reset();
    if (const int code = io.ioResult())
        return code;
    bool atEnd = false;
    do {
        const std::string line = list.readLine(longest);
        io.check();
        if (line.size() <= longest)
            onLine(line);
        else if (onTooLong)
            onTooLong();
        atEnd = list.eof();
        io.check();
    } while (!atEnd);
    list.close();
    io.check();
    return 0;
}

FileIdentity appendLineUnlessHeld(IoContext& io, const std::string& name, const std::string& line)
{
    TextFile list(io);
    appendChecked(list, name);
    const FileIdentity before = list.openedAs();
    const bool held = list.holdsLine(line);
    io.check();
    if (!held) {
        list.writeLine(line);
        io.check();
    }
    closeChecked(list);
    return before;
}

void createListUnlessPresent(IoContext& io, const std::string& name)
{
    FilePlace place;
    int code = io.locate(name, place);
    if (code == 0) {
        PosixFile list;
        const int error = place.createSibling(place.leaf(), list);
        if (error == 0)
            place.syncFolder();
        else if (error != EEXIST)
            code = ioCodeFromErrno(error, name);
    }
    io.fail(code);
    io.check();
}

void createEmptyList(IoContext& io, const std::string& name)
{
    TextFile list(io);
    rewriteChecked(list, name);
    closeChecked(list);
}

} // namespace qb
