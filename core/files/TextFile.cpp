#include "TextFile.h"

#include "ListText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

namespace {

// Appending looks this far back from the end for an end-of-data mark to cut at, whatever the buffer size.
constexpr std::size_t kAppendScanLength = 128;
// Buffer for copies the kernel cannot make (an imported key, in text mode), and the most one copy_file_range call is
// asked for.
constexpr std::uint64_t kCopyChunk = 1 << 20;
constexpr std::uint64_t kKernelCopyStep = std::uint64_t(1) << 30;
// Times a file being appended to is opened again because another copy replaced it meanwhile.
constexpr int kMostReopens = 8;

} // namespace

FileBuffer::FileBuffer(std::size_t size, bool secret)
{
    if (secret)
        m_secret.resize(size);
    else
        m_ordinary.resize(size);
}

TextFile::TextFile(IoContext& io, Reading reading, std::size_t bufferSize, Contents contents)
    : m_io(io), m_reading(reading), m_contents(contents), m_bufferSize(std::max<std::size_t>(bufferSize, 1)),
      m_storage(m_bufferSize, contents == Contents::Key), m_buffer(m_storage.data())
{
}

TextFile::~TextFile()
{
    release(false);
}

void TextFile::assign(const std::string& name)
{
    m_name = name;
}

bool TextFile::isOpen() const
{
    return m_mode != Mode::Closed;
}

bool TextFile::prepareOpen()
{
    // Opening an open file closes it first; a failure to write its last bytes is still reported.
    if (const int code = release(true))
        m_io.fail(code);
    // An empty name never falls back to standard input or output: it names no file.
    if (const int code = nameCode(m_name)) {
        m_io.fail(code);
        return false;
    }
    return true;
}

bool TextFile::openExisting(int flags, OpenFileTable::Access access)
{
    FilePlace place;
    int code = m_io.locate(m_name, place);
    struct stat info
    {
    };
    const bool writing = access == OpenFileTable::Access::Write;
    // Another copy may replace the file while this one waits for its lock: what is appended must reach the file the
    // name names once the lock is held, so the file is opened again then.
    for (int attempt = 0; code == 0; ++attempt) {
        if (const int error = place.openRegular(flags, m_file, info))
            code = ioCodeFromErrno(error, m_name);
        else if (!m_io.openFiles().mayOpen({info.st_dev, info.st_ino}, access))
            code = IoCode::SharingViolation;
        else if (const int locked = m_file.lock(writing, m_io.lockWait()))
            code = ioCodeFromErrno(locked, m_name);
        struct stat named
        {
        };
        if (code != 0 || !writing || attempt == kMostReopens ||
            (place.status(named) == 0 && named.st_ino == info.st_ino && named.st_dev == info.st_dev))
            break;
        m_file.close();
    }
    if (code != 0) {
        m_file.close();
        m_io.fail(code);
        return false;
    }
    m_id = {info.st_dev, info.st_ino};
    m_io.openFiles().add(m_id, access);
    m_fd = m_file.descriptor();
    m_mode = access == OpenFileTable::Access::Read ? Mode::Input : Mode::Append;
    m_bufferPos = 0;
    m_bufferEnd = 0;
    m_physicalEnd = false;
    m_sizeAtOpen = static_cast<std::int64_t>(info.st_size);
    m_bytesRead = 0;
    m_openedAs = identityOf(info);
    m_otherNames = info.st_nlink > 1;
    return true;
}

void TextFile::reset()
{
    if (prepareOpen())
        openExisting(O_RDONLY, OpenFileTable::Access::Read);
}

void TextFile::readFrom(PosixFile&& file)
{
    if (const int code = release(true))
        m_io.fail(code);
    m_file = std::move(file);
    struct stat info
    {
    };
    if (const int error = m_file.status(info)) {
        m_file.close();
        m_io.fail(ioCodeFromErrno(error, m_name));
        return;
    }
    m_id = {info.st_dev, info.st_ino};
    m_io.openFiles().add(m_id, OpenFileTable::Access::Read);
    m_openedAs = identityOf(info);
    m_fd = m_file.descriptor();
    m_mode = Mode::Input;
    m_bufferPos = 0;
    m_bufferEnd = 0;
    m_physicalEnd = false;
    // A stream reports no size: it is read until a read returns nothing.
    m_sizeAtOpen = S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : 0;
    m_bytesRead = 0;
    m_otherNames = false;
}

void TextFile::rewrite()
{
    openReplacement(false);
}

void TextFile::rewriteAsNew()
{
    openReplacement(true);
}

void TextFile::openReplacement(bool asNew)
{
    if (!prepareOpen())
        return;
    FilePlace place;
    int code = m_io.locate(m_name, place);
    auto replacement = std::make_unique<Replacement>(m_io);
    if (code == 0) {
        if (const int error = replacement->begin(std::move(place), Replacement::Hold::Target))
            code = ioCodeFromErrno(error, m_name);
    }
    if (code != 0) {
        m_io.fail(code);
        return;
    }
    m_replacement = std::move(replacement);
    m_asNew = asNew;
    m_fd = m_replacement->file().descriptor();
    m_mode = Mode::Output;
    m_bufferPos = 0;
    m_bufferEnd = 0;
}

void TextFile::append()
{
    if (prepareOpen() && openExisting(O_RDWR, OpenFileTable::Access::Write))
        cutAtEndOfDataMark();
}

void TextFile::cutAtEndOfDataMark()
{
    struct stat info
    {
    };
    int error = m_file.status(info);
    if (error == 0) {
        // As it is now that it is held: what the search for a line reads, and what is appended to.
        m_openedAs = identityOf(info);
        const off_t size = info.st_size;
        const std::size_t tail = static_cast<std::size_t>(std::min<off_t>(size, kAppendScanLength));
        unsigned char last[kAppendScanLength];
        std::size_t got = 0;
        error = m_file.readAt(last, tail, size - static_cast<off_t>(tail), got);
        m_appendStart = size;
        if (error == 0) {
            if (const void* mark = std::memchr(last, kEndOfDataMark, got)) {
                m_appendStart = size - static_cast<off_t>(tail) + (static_cast<const unsigned char*>(mark) - last);
                // A file with other names is never changed in place: it is replaced whole at close.
                if (!m_otherNames)
                    error = m_file.truncate(m_appendStart);
            }
        }
    }
    if (error == 0)
        error = m_file.seekToEnd();
    if (error != 0) {
        release(false);
        m_io.fail(ioCodeFromErrno(error, m_name));
    }
}

bool TextFile::holdsLine(std::string_view line)
{
    if (m_mode != Mode::Append) {
        m_io.fail(m_mode == Mode::Closed ? IoCode::FileNotOpen : IoCode::NotOpenForInput);
        return false;
    }
    // Searched in large pieces, never split into lines: a list of a million names is looked through in a millisecond.
    LineSearch search(line);
    for (off_t at = 0;;) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(m_appendStart - at, LineSearch::kPiece));
        std::size_t got = 0;
        if (want > 0) {
            if (const int error = m_file.readAt(search.room(), want, at, got)) {
                m_io.fail(ioCodeFromErrno(error, m_name));
                return false;
            }
        }
        at += static_cast<off_t>(got);
        if (search.take(got, got == 0 || at == m_appendStart))
            return search.found();
    }
}

int TextFile::writeRecord()
{
    if (m_otherNames)
        return replaceWithRecord();
    // One write and a flush to disk: the record is whole on disk or, when the write fails, taken back.
    int error = m_file.writeAll(m_record.data(), m_record.size());
    if (error == 0)
        error = m_file.syncData();
    if (error != 0)
        m_file.truncate(m_appendStart);
    m_record.clear();
    return error == 0 ? 0 : ioCodeFromErrno(error, m_name);
}

int TextFile::replaceWithRecord()
{
    // The other names keep the file as it was; this name gets a new file with the record added.
    std::string whole(static_cast<std::size_t>(m_appendStart), '\0');
    std::size_t got = 0;
    int error = m_file.readAt(whole.data(), whole.size(), 0, got);
    whole.resize(got);
    whole += m_record;
    m_record.clear();
    FilePlace place;
    if (error == 0)
        error = place.locate(m_name, m_io.dataDirectory(), m_io.fileOperations());
    Replacement replacement(m_io);
    if (error == 0)
        error = replacement.begin(std::move(place), Replacement::Hold::HeldByCaller);
    if (error == 0)
        error = replacement.file().writeAll(whole.data(), whole.size());
    if (error == 0)
        error = replacement.commit();
    return error == 0 ? 0 : ioCodeFromErrno(error, m_name);
}

int TextFile::flushBuffer()
{
    const std::size_t pending = m_bufferPos;
    m_bufferPos = 0; // a failed flush drops the bytes rather than growing or retrying
    const int error = m_replacement->file().writeAll(m_buffer, pending);
    return error == 0 ? 0 : ioCodeFromErrno(error, m_name);
}

int TextFile::release(bool complete)
{
    if (m_mode == Mode::Closed)
        return 0;
    int code = 0;
    switch (m_mode) {
    case Mode::Output:
        // Only a file completed by closing replaces the old content.
        if (complete) {
            if (m_bufferPos > 0)
                code = flushBuffer();
            if (code == 0) {
                if (const int error = m_asNew ? m_replacement->commitAsNew() : m_replacement->commit())
                    code = ioCodeFromErrno(error, m_name);
            }
        }
        m_replacement.reset();
        break;
    case Mode::Append:
        if (complete && !m_record.empty())
            code = writeRecord();
        [[fallthrough]];
    case Mode::Input:
        if (const int error = m_file.close(); error != 0 && code == 0)
            code = ioCodeFromErrno(error, m_name);
        m_io.openFiles().remove(m_id,
                                m_mode == Mode::Input ? OpenFileTable::Access::Read : OpenFileTable::Access::Write);
        break;
    case Mode::Closed:
        break;
    }
    m_record.clear();
    m_fd = -1;
    m_mode = Mode::Closed;
    m_bufferPos = 0;
    m_bufferEnd = 0;
    m_physicalEnd = false;
    return code;
}

void TextFile::close()
{
    if (m_mode == Mode::Closed) {
        m_io.fail(IoCode::FileNotOpen);
        return;
    }
    if (const int code = release(true))
        m_io.fail(code);
}

void TextFile::rewind(std::int64_t offset)
{
    if (!checkReadable())
        return;
    if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) {
        m_io.fail(ioCodeFromErrno(errno, m_name));
        return;
    }
    m_bufferPos = 0;
    m_bufferEnd = 0;
    m_physicalEnd = m_sizeAtOpen > 0 && offset >= m_sizeAtOpen;
    m_bytesRead = offset;
}

bool TextFile::checkReadable()
{
    if (m_mode == Mode::Input)
        return true;
    m_io.fail(m_mode == Mode::Closed ? IoCode::FileNotOpen : IoCode::NotOpenForInput);
    return false;
}

bool TextFile::checkWritable()
{
    if (m_mode == Mode::Output || m_mode == Mode::Append)
        return true;
    m_io.fail(m_mode == Mode::Closed ? IoCode::FileNotOpen : IoCode::NotOpenForOutput);
    return false;
}

bool TextFile::readDirect(unsigned char* out, std::size_t count, std::size_t& got)
{
    got = 0;
    if (m_physicalEnd)
        return false;
    if (const int error = m_file.readSome(out, count, got)) {
        m_io.fail(ioCodeFromErrno(error, m_name));
        return false;
    }
    if (got == 0) {
        m_physicalEnd = true;
        return false;
    }
    m_bytesRead += static_cast<std::int64_t>(got);
    // All the file held when opened is read: a further read would return nothing. Files that report no
    // size (as some system files do) are read until a read returns nothing.
    if (m_sizeAtOpen > 0 && m_bytesRead == m_sizeAtOpen)
        m_physicalEnd = true;
    return true;
}

bool TextFile::fillBuffer()
{
    if (m_physicalEnd)
        return false;
    std::size_t got = 0;
    const bool filled = readDirect(m_buffer, m_bufferSize, got);
    m_bufferPos = 0;
    m_bufferEnd = got;
    return filled;
}

void TextFile::stopAtMark()
{
    // Nothing in text mode moves past the mark, so what followed it can never be read: keep the mark alone.
    m_buffer[0] = kEndOfDataMark;
    m_bufferPos = 0;
    m_bufferEnd = 1;
}

unsigned char TextFile::readByteSlow()
{
    if (!checkReadable() || !fillBuffer())
        return kEndOfDataMark;
    return readByte();
}

bool TextFile::eofSlow()
{
    if (!checkReadable() || !fillBuffer())
        return true;
    return eof();
}

std::string TextFile::readLine(std::size_t most)
{
    std::string line;
    if (!checkReadable())
        return line;
    const bool text = m_reading == Reading::Text;
    for (;;) {
        if (m_bufferPos == m_bufferEnd && !fillBuffer())
            return line;
        const unsigned char* begin = m_buffer + m_bufferPos;
        const unsigned char* end = m_buffer + m_bufferEnd;
        const unsigned char* stop = begin;
        while (stop != end && *stop != '\r' && !(text && *stop == kEndOfDataMark))
            ++stop;
        // Past `most` bytes the line is read on to its end but kept no longer: one byte more says it was longer.
        if (line.size() <= most)
            line.append(reinterpret_cast<const char*>(begin),
                        std::min(static_cast<std::size_t>(stop - begin), most + 1 - line.size()));
        m_bufferPos += static_cast<std::size_t>(stop - begin);
        if (stop == end)
            continue;
        if (*stop == kEndOfDataMark)
            return line; // the mark stays: every later read meets it again
        ++m_bufferPos;   // the CR
        if ((m_bufferPos < m_bufferEnd || fillBuffer()) && m_buffer[m_bufferPos] == '\n')
            ++m_bufferPos;
        return line;
    }
}

std::size_t TextFile::readBytes(unsigned char* out, std::size_t count)
{
    if (!checkReadable())
        return 0;
    const bool text = m_reading == Reading::Text;
    std::size_t done = 0;
    while (done < count) {
        if (m_bufferPos == m_bufferEnd) {
            if (count - done >= m_bufferSize) {
                // Large reads bypass the buffer; how far a file is read ahead is not visible to anyone.
                std::size_t got = 0;
                if (!readDirect(out + done, count - done, got))
                    break;
                if (const void* mark = text ? std::memchr(out + done, kEndOfDataMark, got) : nullptr) {
                    done += static_cast<std::size_t>(static_cast<const unsigned char*>(mark) - (out + done));
                    stopAtMark();
                    break;
                }
                done += got;
                continue;
            }
            if (!fillBuffer())
                break;
        }
        std::size_t take = std::min(m_bufferEnd - m_bufferPos, count - done);
        const unsigned char* from = m_buffer + m_bufferPos;
        bool atMark = false;
        if (text) {
            if (const void* mark = std::memchr(from, kEndOfDataMark, take)) {
                take = static_cast<std::size_t>(static_cast<const unsigned char*>(mark) - from);
                atMark = true;
            }
        }
        std::memcpy(out + done, from, take);
        done += take;
        m_bufferPos += take;
        if (atMark)
            break;
    }
    return done;
}

std::uint64_t TextFile::copyTo(TextFile& target, std::uint64_t count)
{
    if (!checkReadable() || !target.checkWritable())
        return 0;
    std::uint64_t done = 0;
    if (m_reading == Reading::PlainBytes && !kernelCopy(target, count, done))
        return done;
    // Text mode, or files the kernel cannot copy between. A failure ends the copy, as it would end a
    // checked loop; an earlier pending code is left as it was when none occurs.
    const int earlier = m_io.pending();
    m_io.fail(0);
    const auto chunkSize = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kCopyChunk));
    FileBuffer chunk(chunkSize, m_contents == Contents::Key || target.m_contents == Contents::Key);
    while (done < count) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, chunkSize));
        const std::size_t got = readBytes(chunk.data(), want);
        if (got == 0 || m_io.pending() != 0)
            break;
        target.writeBytes(chunk.data(), got);
        done += got;
        if (got < want || m_io.pending() != 0)
            break;
    }
    if (m_io.pending() == 0)
        m_io.fail(earlier);
    return done;
}

bool TextFile::kernelCopy(TextFile& target, std::uint64_t count, std::uint64_t& done)
{
    // Bytes already buffered on either side go first, in order.
    const auto buffered = static_cast<std::size_t>(std::min<std::uint64_t>(m_bufferEnd - m_bufferPos, count));
    if (buffered > 0) {
        const int code = target.put(m_buffer + m_bufferPos, buffered);
        m_bufferPos += buffered;
        done += buffered;
        if (code != 0) {
            m_io.fail(code);
            return false;
        }
    }
    if (done == count || m_physicalEnd || target.m_mode != Mode::Output)
        return true;
    if (target.m_bufferPos > 0) {
        if (const int code = target.flushBuffer()) {
            m_io.fail(code);
            return false;
        }
    }
    while (done < count && !m_physicalEnd) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kKernelCopyStep));
        std::size_t copied = 0;
        if (const int error = target.m_replacement->file().copyFrom(m_file, want, copied)) {
            // Nothing was copied by the failed call, so the ordinary way can take over from here.
            if (error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
                return true;
            m_io.fail(ioCodeFromErrno(error, target.m_name));
            return false;
        }
        if (copied == 0) {
            m_physicalEnd = true;
            break;
        }
        done += static_cast<std::uint64_t>(copied);
        m_bytesRead += static_cast<std::int64_t>(copied);
        if (m_sizeAtOpen > 0 && m_bytesRead == m_sizeAtOpen)
            m_physicalEnd = true;
    }
    return true;
}

void TextFile::writeBytes(const unsigned char* data, std::size_t count)
{
    if (!checkWritable())
        return;
    if (const int code = put(data, count))
        m_io.fail(code);
}

int TextFile::put(const unsigned char* data, std::size_t count)
{
    if (m_mode == Mode::Append) {
        m_record.append(reinterpret_cast<const char*>(data), count);
        return 0;
    }
    // A stretch that would fill an empty buffer goes straight to the file.
    if (m_bufferPos == 0 && count >= m_bufferSize) {
        const int error = m_replacement->file().writeAll(data, count);
        return error == 0 ? 0 : ioCodeFromErrno(error, m_name);
    }
    const std::size_t room = m_bufferSize - m_bufferPos;
    if (count <= room) {
        std::memcpy(m_buffer + m_bufferPos, data, count);
        m_bufferPos += count;
        return 0;
    }
    // Fill the buffer and flush it, as byte-by-byte writing would; then write whole stretches directly.
    std::memcpy(m_buffer + m_bufferPos, data, room);
    m_bufferPos = m_bufferSize;
    data += room;
    count -= room;
    int code = flushBuffer();
    if (count >= m_bufferSize) {
        if (const int error = m_replacement->file().writeAll(data, count))
            code = ioCodeFromErrno(error, m_name);
        return code;
    }
    std::memcpy(m_buffer, data, count);
    m_bufferPos = count;
    return code;
}

void TextFile::writeString(std::string_view text)
{
    writeBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

void TextFile::writeLine(std::string_view text)
{
    static constexpr unsigned char kLineEnd[] = {'\r', '\n'};
    writeString(text);
    writeBytes(kLineEnd, sizeof kLineEnd);
}

void resetChecked(TextFile& file, const std::string& name)
{
    file.assign(name);
    file.reset();
    file.io().check();
}

void rewriteChecked(TextFile& file, const std::string& name)
{
    file.assign(name);
    file.rewrite();
    file.io().check();
}

void appendChecked(TextFile& file, const std::string& name)
{
    file.assign(name);
    file.append();
    file.io().check();
}

void closeChecked(TextFile& file)
{
    file.close();
    file.io().check();
}

bool closeUnlessTaken(TextFile& file)
{
    file.close();
    if (file.io().pending() == IoCode::FileExists) {
        file.io().ioResult();
        return false;
    }
    file.io().check();
    return true;
}

} // namespace qb
