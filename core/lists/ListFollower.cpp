#include "ListFollower.h"

#include "ListText.h"
#include "TextFile.h"

#include <algorithm>
#include <utility>

namespace qb {
namespace {

// What is left of a list file open for reading, from where it stands to its text's end: in one read where the file
// tells its size, in pieces for what it holds beyond.
std::string restOf(TextFile& list, std::int64_t from)
{
    constexpr std::size_t kPiece = 64 * 1024;
    IoContext& io = list.io();
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(list.sizeAtOpen() - from, 0)), '\0');
    std::size_t got = list.readBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    io.check();
    while (got == bytes.size() && !list.eof()) {
        io.check();
        bytes.resize(got + kPiece);
        got += list.readBytes(reinterpret_cast<unsigned char*>(bytes.data() + got), kPiece);
        io.check();
    }
    io.check();
    bytes.resize(got);
    return bytes;
}

} // namespace

int ListFollower::read(IoContext& io, const std::string& name, ListLines& lines, bool& whole)
{
    const bool grew = std::exchange(m_grewByAppends, false);
    // Forgotten unless this reading succeeds: after a failure the list on screen shows something else.
    std::optional<Reading> last = std::exchange(m_last, std::nullopt);
    TextFile list(io);
    list.assign(name);
    list.reset();
    if (const int code = io.ioResult()) {
        lines = {};
        whole = true;
        return code;
    }
    const FileIdentity now = list.openedAs();
    const bool added = last && last->name == name &&
                       (now == last->file || (grew && now.sameFileAs(last->file) && now.size >= last->file.size)) &&
                       readAdded(list, now, *last, lines);
    if (!added) {
        list.rewind();
        io.check();
        std::size_t lastLineStart = 0;
        lines = splitListLines(restOf(list, 0), lastLineStart);
        last = Reading{name, now, static_cast<std::int64_t>(lastLineStart), std::string(lines[lines.size() - 1])};
    }
    list.close();
    io.check();
    m_last = std::move(last);
    whole = !added;
    return 0;
}

bool ListFollower::readAdded(TextFile& list, const FileIdentity& now, Reading& last, ListLines& lines)
{
    if (now == last.file) {
        lines = {};
        return true;
    }
    list.rewind(last.lastLineStart);
    list.io().check();
    std::size_t lastLineStart = 0;
    const ListLines tail = splitListLines(restOf(list, last.lastLineStart), lastLineStart);
    // A last line that had no line end may have been added to, where appended bytes met it.
    if (tail[0] != last.lastLine)
        return false;
    lines = {};
    for (std::size_t index = 1; index < tail.size(); ++index)
        lines.push_back(tail[index]);
    last.file = now;
    last.lastLineStart += static_cast<std::int64_t>(lastLineStart);
    last.lastLine = tail[tail.size() - 1];
    return true;
}

void ListFollower::appendedTo(const FileIdentity& before)
{
    m_grewByAppends = m_last && before == m_last->file;
}

} // namespace qb
