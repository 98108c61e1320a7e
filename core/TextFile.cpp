#include "TextFile.h"

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

bool parentFolderExists(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return true; // the working directory or the root
    struct stat info
    {
    };
    return ::stat(path.substr(0, slash).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Writes everything or returns the errno that stopped it; a write that makes no progress counts as a full disk.
int writeAll(int fd, const unsigned char* data, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, data, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        data += written;
        count -= static_cast<std::size_t>(written);
    }
    return 0;
}

ssize_t readSome(int fd, unsigned char* out, std::size_t count)
{
    ssize_t got;
    do
        got = ::read(fd, out, count);
    while (got < 0 && errno == EINTR);
    return got;
}

} // namespace

// Linux errno values mapped onto the codes the rest of the program reports:
//   ENOENT                      -> 2 (file not found), or 3 when the folder holding the file is missing
//   ENOTDIR, ENAMETOOLONG, ELOOP -> 3 (the path itself cannot name a file: "Invalid filename")
//   EMFILE, ENFILE              -> 4 (too many open files)
//   EACCES, EPERM, EROFS, EISDIR -> 5 (access denied)
//   EBADF                       -> 6 (invalid handle)
//   ENOMEM                      -> 8 (not enough memory)
//   EBUSY, ETXTBSY              -> 32 (in use elsewhere: a sharing conflict)
//   ENOSPC, EDQUOT, EFBIG       -> 101 (disk full)
//   any other errno e           -> 1000 + e, so it never collides with the codes above
int ioCodeFromErrno(int error, const std::string& path)
{
    switch (error) {
    case ENOENT:
        return parentFolderExists(path) ? IoCode::FileNotFound : IoCode::PathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return IoCode::PathNotFound;
    case EMFILE:
    case ENFILE:
        return IoCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return IoCode::AccessDenied;
    case EBADF:
        return IoCode::InvalidHandle;
    case ENOMEM:
        return 8;
    case EBUSY:
    case ETXTBSY:
        return IoCode::SharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return 101;
    default:
        return 1000 + error;
    }
}

TextFile::TextFile(IoContext& io, Reading reading, std::size_t bufferSize)
    : m_io(io), m_reading(reading), m_bufferSize(std::max<std::size_t>(bufferSize, 1)), m_buffer(m_bufferSize)
{
}

TextFile::~TextFile()
{
    release();
}

void TextFile::assign(const std::string& name)
{
    m_name = name.substr(0, kMaxFileNameLength);
}

bool TextFile::isOpen() const
{
    return m_mode != Mode::Closed;
}

bool TextFile::prepareOpen()
{
    // Opening an open file closes it first; a failure to write its last bytes is still reported.
    if (const int code = release())
        m_io.fail(code);
    // An empty name never falls back to standard input or output: it names no file.
    if (m_name.empty()) {
        m_io.fail(IoCode::FileNotFound);
        return false;
    }
    // A name with a NUL byte would silently open a shorter name.
    if (m_name.find('\0') != std::string::npos) {
        m_io.fail(IoCode::PathNotFound);
        return false;
    }
    return true;
}

bool TextFile::openFile(int flags, OpenFileTable::Access access)
{
    // Never created with O_TRUNC: the sharing check needs the file's identity before anything changes.
    const int fd = ::open(m_name.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_io.fail(ioCodeFromErrno(errno, m_name));
        return false;
    }
    struct stat info
    {
    };
    int code = 0;
    if (::fstat(fd, &info) != 0)
        code = ioCodeFromErrno(errno, m_name);
    else if (S_ISDIR(info.st_mode))
        code = IoCode::AccessDenied;
    else if (!m_io.openFiles().mayOpen({info.st_dev, info.st_ino}, access))
        code = IoCode::SharingViolation;
    if (code != 0) {
        ::close(fd);
        m_io.fail(code);
        return false;
    }
    m_id = {info.st_dev, info.st_ino};
    m_io.openFiles().add(m_id, access);
    m_fd = fd;
    m_mode = access == OpenFileTable::Access::Read ? Mode::Input : Mode::Output;
    m_bufferPos = 0;
    m_bufferEnd = 0;
    m_physicalEnd = false;
    return true;
}

void TextFile::reset()
{
    if (prepareOpen())
        openFile(O_RDONLY, OpenFileTable::Access::Read);
}

void TextFile::rewrite()
{
    if (!prepareOpen() || !openFile(O_WRONLY | O_CREAT, OpenFileTable::Access::Write))
        return;
    if (::ftruncate(m_fd, 0) != 0) {
        const int code = ioCodeFromErrno(errno, m_name);
        release();
        m_io.fail(code);
    }
}

void TextFile::append()
{
    if (prepareOpen() && openFile(O_RDWR, OpenFileTable::Access::Write))
        cutAtEndOfDataMark();
}

void TextFile::cutAtEndOfDataMark()
{
    int error = 0;
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0) {
        error = errno;
    } else {
        const off_t size = info.st_size;
        const std::size_t tail = static_cast<std::size_t>(std::min<off_t>(size, kAppendScanLength));
        unsigned char last[kAppendScanLength];
        const ssize_t got = ::pread(m_fd, last, tail, size - static_cast<off_t>(tail));
        if (got < 0) {
            error = errno;
        } else if (const void* mark = std::memchr(last, kEndOfDataMark, static_cast<std::size_t>(got))) {
            const off_t cut = size - static_cast<off_t>(tail) + (static_cast<const unsigned char*>(mark) - last);
            if (::ftruncate(m_fd, cut) != 0)
                error = errno;
        }
    }
    if (error == 0 && ::lseek(m_fd, 0, SEEK_END) < 0)
        error = errno;
    if (error != 0) {
        release();
        m_io.fail(ioCodeFromErrno(error, m_name));
    }
}

int TextFile::flushBuffer()
{
    const std::size_t pending = m_bufferPos;
    m_bufferPos = 0; // a failed flush drops the bytes rather than growing or retrying
    const int error = writeAll(m_fd, m_buffer.data(), pending);
    return error == 0 ? 0 : ioCodeFromErrno(error, m_name);
}

int TextFile::release()
{
    if (m_mode == Mode::Closed)
        return 0;
    int code = 0;
    if (m_mode == Mode::Output && m_bufferPos > 0)
        code = flushBuffer();
    if (::close(m_fd) != 0 && code == 0)
        code = ioCodeFromErrno(errno, m_name);
    m_io.openFiles().remove(m_id, m_mode == Mode::Input ? OpenFileTable::Access::Read : OpenFileTable::Access::Write);
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
    if (const int code = release())
        m_io.fail(code);
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
    if (m_mode == Mode::Output)
        return true;
    m_io.fail(m_mode == Mode::Closed ? IoCode::FileNotOpen : IoCode::NotOpenForOutput);
    return false;
}

bool TextFile::fillBuffer()
{
    if (m_physicalEnd)
        return false;
    const ssize_t got = readSome(m_fd, m_buffer.data(), m_bufferSize);
    m_bufferPos = 0;
    m_bufferEnd = 0;
    if (got < 0) {
        m_io.fail(ioCodeFromErrno(errno, m_name));
        return false;
    }
    if (got == 0) {
        m_physicalEnd = true;
        return false;
    }
    m_bufferEnd = static_cast<std::size_t>(got);
    return true;
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

std::string TextFile::readLine()
{
    std::string line;
    if (!checkReadable())
        return line;
    const bool text = m_reading == Reading::Text;
    for (;;) {
        if (m_bufferPos == m_bufferEnd && !fillBuffer())
            return line;
        const unsigned char* begin = m_buffer.data() + m_bufferPos;
        const unsigned char* end = m_buffer.data() + m_bufferEnd;
        const unsigned char* stop = begin;
        while (stop != end && *stop != '\r' && !(text && *stop == kEndOfDataMark))
            ++stop;
        line.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(stop - begin));
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
    std::size_t done = 0;
    while (done < count) {
        if (m_bufferPos == m_bufferEnd) {
            if (m_reading == Reading::PlainBytes && count - done >= m_bufferSize && !m_physicalEnd) {
                // Large plain reads bypass the buffer.
                const ssize_t got = readSome(m_fd, out + done, count - done);
                if (got < 0) {
                    m_io.fail(ioCodeFromErrno(errno, m_name));
                    break;
                }
                if (got == 0) {
                    m_physicalEnd = true;
                    break;
                }
                done += static_cast<std::size_t>(got);
                continue;
            }
            if (!fillBuffer())
                break;
        }
        std::size_t take = std::min(m_bufferEnd - m_bufferPos, count - done);
        const unsigned char* from = m_buffer.data() + m_bufferPos;
        bool atMark = false;
        if (m_reading == Reading::Text) {
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

void TextFile::writeByteSlow(unsigned char byte)
{
    if (!checkWritable())
        return;
    if (const int code = flushBuffer())
        m_io.fail(code);
    m_buffer[m_bufferPos++] = byte;
}

void TextFile::writeBytes(const unsigned char* data, std::size_t count)
{
    if (!checkWritable())
        return;
    const std::size_t room = m_bufferSize - m_bufferPos;
    if (count <= room) {
        std::memcpy(m_buffer.data() + m_bufferPos, data, count);
        m_bufferPos += count;
        return;
    }
    // Fill the buffer and flush it, as byte-by-byte writing would; then write whole stretches directly.
    std::memcpy(m_buffer.data() + m_bufferPos, data, room);
    m_bufferPos = m_bufferSize;
    data += room;
    count -= room;
    if (const int code = flushBuffer())
        m_io.fail(code);
    if (count >= m_bufferSize) {
        if (const int error = writeAll(m_fd, data, count))
            m_io.fail(ioCodeFromErrno(error, m_name));
        return;
    }
    std::memcpy(m_buffer.data(), data, count);
    m_bufferPos = count;
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

} // namespace qb
