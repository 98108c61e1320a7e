#include "ListFiles.h"

#include "Errors.h"
#include "IoCodes.h"
#include "StoredFiles.h"
#include "TextFile.h"

#include <cerrno>

namespace qb {

namespace {

// Opens the file the given way, closes it, and takes the code: a failed open leaves 103 from the close.
int probe(IoContext& io, const std::string& name, void (TextFile::*open)())
{
    TextFile file(io);
    file.assign(name);
    (file.*open)();
    file.close();
    return io.ioResult();
}

} // namespace

int appendProbe(IoContext& io, const std::string& name)
{
    return probe(io, name, &TextFile::append);
}

int resetProbe(IoContext& io, const std::string& name)
{
    return probe(io, name, &TextFile::reset);
}

void requireListMissing(const IoContext& io, const std::string& name)
{
    struct stat info
    {
    };
    if (entryStatus(io, name, info) != ENOENT)
        throw EInOutError(IoCode::AccessDenied);
}

bool readListFile(IoContext& io, const std::string& name, const std::function<void(const std::string&)>& onLine)
{
    // A list may hold a million lines: read in large pieces, not a text file's usual few bytes at a time.
    constexpr std::size_t kListBufferSize = 64 * 1024;
    TextFile list(io, TextFile::Reading::Text, kListBufferSize);
    list.assign(name);
    list.reset();
    if (io.ioResult() != 0)
        return false;
    bool atEnd = false;
    do {
        const std::string line = list.readLine();
        io.check();
        onLine(line);
        atEnd = list.eof();
        io.check();
    } while (!atEnd);
    list.close();
    io.check();
    return true;
}

void appendRecord(IoContext& io, const std::string& name, std::initializer_list<std::string> lines)
{
    TextFile list(io);
    appendChecked(list, name);
    for (const std::string& line : lines) {
        list.writeLine(line);
        io.check();
    }
    closeChecked(list);
}

void createEmptyList(IoContext& io, const std::string& name)
{
    TextFile list(io);
    rewriteChecked(list, name);
    closeChecked(list);
}

} // namespace qb
