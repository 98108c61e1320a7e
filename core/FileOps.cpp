#include "FileOps.h"

#include "Errors.h"
#include "TextFile.h"
#include "Ui.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qb {

namespace {

bool isFileEntry(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// Wildcards match "*" and "?" only; "[" is an ordinary character in names here.
std::string wildcardPattern(const std::string& name)
{
    std::string pattern;
    pattern.reserve(name.size());
    for (const char c : name) {
        if (c == '[')
            pattern += "[[]";
        else
            pattern += c;
    }
    return pattern;
}

bool anyFileMatches(const std::string& folder, const std::string& name)
{
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return false;
    const std::string pattern = wildcardPattern(name);
    bool found = false;
    while (const dirent* entry = ::readdir(entries)) {
        if (::fnmatch(pattern.c_str(), entry->d_name, FNM_NOESCAPE) == 0 && isFileEntry(folder + "/" + entry->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(entries);
    return found;
}

// Closes a descriptor when it goes out of scope, whichever way the editor's file access ends.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// The editor holds its file exclusively: any open of it by this process counts against it.
bool heldOpen(IoContext& io, int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || io.openFiles().contains({info.st_dev, info.st_ino});
}

// A line break that the adjustment widens: a CR not followed by LF, or an LF not preceded by CR.
bool isLoneBreak(const char* begin, const char* end, const char* p)
{
    if (*p == '\r')
        return p + 1 == end || p[1] != '\n';
    return *p == '\n' && (p == begin || p[-1] != '\r');
}

#if defined(__SSE2__)
// Line breaks are sparse, so the text is looked at 16 bytes at a time.
constexpr std::ptrdiff_t kBlock = 16;

unsigned byteMask(__m128i block, char value)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(value))));
}

// Bit i set when p[i] is a lone break; p[-1] and p[16] must be readable.
unsigned loneBreakMask(const char* p, __m128i block)
{
    const unsigned crs = byteMask(block, '\r');
    const unsigned lfs = byteMask(block, '\n');
    if ((crs | lfs) == 0)
        return 0;
    const unsigned lfNext = byteMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), '\n');
    const unsigned crPrevious = byteMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1)), '\r');
    return (crs & ~lfNext) | (lfs & ~crPrevious);
}
#endif

struct BreakCount
{
    std::size_t lone;    // lone breaks counted
    const char* stopped; // where counting stopped: the first byte 0 when asked to stop there, else `to`
};

// Counts the lone breaks of the bytes [from, to) of the text [begin, end), up to the first byte 0 when
// `stopAtZero`. Every byte in [from, to) needs the neighbours the text has for it.
BreakCount countLoneBreaks(const char* begin, const char* from, const char* to, const char* end, bool stopAtZero)
{
    std::size_t lone = 0;
    const char* p = from;
#if defined(__SSE2__)
    // Whole blocks, each with a byte before and after it so that pairs across block edges are seen.
    if (p == begin && p != to) {
        if (stopAtZero && *p == '\0')
            return {0, p};
        lone += isLoneBreak(begin, end, p) ? 1 : 0;
        ++p;
    }
    for (; to - p >= kBlock && end - p > kBlock; p += kBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (stopAtZero && byteMask(block, '\0') != 0)
            break; // the rest goes byte by byte
        if (const unsigned mask = loneBreakMask(p, block))
            lone += static_cast<std::size_t>(__builtin_popcount(mask));
    }
#endif
    for (; p != to; ++p) {
        if (stopAtZero && *p == '\0')
            return {lone, p};
        lone += isLoneBreak(begin, end, p) ? 1 : 0;
    }
    return {lone, to};
}

std::size_t countLoneBreaks(const std::string& text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    return countLoneBreaks(begin, begin, end, end, false).lone;
}

// Follows a file as it is read, finding the text the editor is to show: the part before the first
// byte 0, and its lone breaks. Scanning each piece as it arrives finds it still in the cache.
class ShownTextScan
{
public:
    // `text` holds the `available` bytes read so far; the last waits for its successor unless `complete`.
    void advance(const char* text, std::size_t available, bool complete)
    {
        const std::size_t to = complete || available == 0 ? available : available - 1;
        if (m_zeroFound || to <= m_length)
            return;
        const BreakCount count = countLoneBreaks(text, text + m_length, text + to, text + available, true);
        m_lone += count.lone;
        m_zeroFound = count.stopped != text + to;
        m_length = static_cast<std::size_t>(count.stopped - text);
    }

    std::size_t length() const { return m_length; }
    std::size_t lone() const { return m_lone; }

private:
    std::size_t m_length = 0;
    std::size_t m_lone = 0;
    bool m_zeroFound = false;
};

// Reads the whole file into `bytes`, reusing its memory when it is large enough, in pieces that
// `scan`, if given, looks at as they arrive.
void readWholeFile(int fd, std::string& bytes, ShownTextScan* scan)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) == 0 && info.st_size > kMemoCapacity)
        throw EOutOfResources(); // the adjusted text can only be longer
    const std::size_t expected = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    if (bytes.capacity() < expected)
        bytes = editorLoadBuffer(expected);
    // Bytes the buffer already holds are overwritten in place; past them it grows by appending, which
    // spares filling memory with zeros only for the read to overwrite them.
    constexpr std::size_t kPiece = 256 * 1024;
    std::string piece;
    std::size_t done = 0;
    for (;;) {
        ssize_t got;
        if (done < bytes.size()) {
            got = ::read(fd, &bytes[done], std::min(bytes.size() - done, kPiece));
        } else {
            piece.resize(kPiece);
            got = ::read(fd, &piece[0], kPiece);
            if (got > 0)
                bytes.append(piece, 0, static_cast<std::size_t>(got));
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
        if (scan)
            scan->advance(bytes.data(), done, false);
    }
    bytes.resize(done);
    if (scan)
        scan->advance(bytes.data(), done, true);
}

// Turns the `lone` lone CRs and LFs of `text` into CR LF where the text lies, working from the end:
// each byte moves once, by the number of lone breaks before it, and bytes before the first lone break
// do not move at all.
void widenLoneBreaks(std::string& text, std::size_t lone)
{
    if (lone == 0)
        return;
    const std::size_t length = text.size();
    text.resize(length + lone);
    char* const begin = &text[0];
    const char* const end = begin + length; // the text as read; what lies past it is being written
    char* p = begin + length;               // [begin, p) is still to move
    std::size_t shift = lone;
    // Writes land at or beyond p + shift - 1 >= p while a lone break remains, so the bytes at and
    // before p, which the neighbour tests read, are still the text as read.
    while (shift > 0) {
#if defined(__SSE2__)
        if (p < end && p - begin > kBlock) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - kBlock));
            if (loneBreakMask(p - kBlock, block) == 0) {
                p -= kBlock;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + shift), block);
                continue;
            }
        }
#endif
        --p;
        if (isLoneBreak(begin, end, p)) {
            p[shift] = '\n';
            p[shift - 1] = '\r';
            --shift;
        } else {
            p[shift] = *p;
        }
    }
}

} // namespace

std::string joinPath(const std::string& directory, const std::string& name)
{
    return directory + "/" + name;
}

std::string tempPathFor(const std::string& messagePath)
{
    const std::size_t slash = messagePath.rfind('/');
    const std::size_t dot = messagePath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return messagePath.substr(0, dot) + ".tmp";
    return messagePath + ".tmp";
}

bool fileExists(const std::string& givenName)
{
    const std::string name = fileSystemName(givenName);
    const std::size_t slash = name.rfind('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.find_first_of("*?") == std::string::npos)
        return !name.empty() && isFileEntry(name);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    return anyFileMatches(folder, last);
}

std::int64_t fileSizeChecked(IoContext& io, const std::string& givenName)
{
    const std::string name = fileSystemName(givenName);
    // A file of 1-byte records opened for reading and writing: outside the sharing table, so others
    // may hold it meanwhile, and a read-only file is refused.
    const int fd = name.empty() ? -1 : ::open(name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        io.fail(name.empty() ? IoCode::FileNotFound : ioCodeFromErrno(errno, name));
    io.check();
    FileDescriptor file(fd);
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0)
        io.fail(ioCodeFromErrno(errno, name));
    io.check();
    if (::close(file.release()) != 0)
        io.fail(ioCodeFromErrno(errno, name));
    io.check();
    return static_cast<std::int64_t>(info.st_size);
}

int appendProbe(IoContext& io, const std::string& name)
{
    TextFile file(io);
    file.assign(name);
    file.append();
    file.close();
    return io.ioResult();
}

int resetProbe(IoContext& io, const std::string& name)
{
    TextFile file(io);
    file.assign(name);
    file.reset();
    file.close();
    return io.ioResult();
}

bool readListFile(IoContext& io, const std::string& name, const std::function<void(const std::string&)>& onLine)
{
    TextFile list(io);
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

void createDirectory(const std::string& path)
{
    ::mkdir(fileSystemName(path).c_str(), 0777);
}

CreatedFileGuard::CreatedFileGuard(std::string path) : m_path(fileSystemName(path)) {}

CreatedFileGuard::~CreatedFileGuard()
{
    if (m_armed)
        ::unlink(m_path.c_str());
}

void eraseFileChecked(IoContext& io, const std::string& givenName)
{
    const std::string name = fileSystemName(givenName);
    // A file this process holds open cannot be erased, as the sharing rules would have it.
    struct stat info
    {
    };
    if (::stat(name.c_str(), &info) == 0 && io.openFiles().contains({info.st_dev, info.st_ino}))
        io.fail(IoCode::SharingViolation);
    else if (name.empty())
        io.fail(IoCode::FileNotFound);
    else if (::unlink(name.c_str()) != 0)
        io.fail(ioCodeFromErrno(errno, name));
    io.check();
}

void saveEditorToFile(IoContext& io, Editor& editor, const std::string& name)
{
    if (name.empty() || name.find('\0') != std::string::npos)
        throw EFCreateError(name);
    // The file is opened only once the editor has produced its bytes: a text the editor cannot give as bytes
    // must not have emptied the file first.
    editor.readText([&io, &name](std::string_view text) { saveBytesAsEditorFile(io, text, name); });
}

void saveBytesAsEditorFile(IoContext& io, std::string_view bytes, const std::string& name)
{
    if (name.empty() || name.find('\0') != std::string::npos)
        throw EFCreateError(name);
    // Opened without truncating, so a file this process holds stays untouched when refused.
    FileDescriptor file(::open(fileSystemName(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!file.valid() || heldOpen(io, file.get()) || ::ftruncate(file.get(), 0) != 0)
        throw EFCreateError(name);
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file.get(), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw EWriteError();
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::close(file.release()) != 0)
        throw EWriteError();
}

std::string normalizeLineBreaks(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8 + 64);
    out = bytes;
    widenLoneBreaks(out, countLoneBreaks(out));
    return out;
}

std::string editorLoadBuffer(std::size_t size)
{
    std::string buffer;
    // Ciphertext from a generated key gains well under 1 %, text with LF-only line ends a few per cent.
    buffer.reserve(size + size / 8 + 64);
    // One call maps all the pages the text will fill instead of a fault for each; where the call is
    // not known the pages are mapped as they are touched.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = (start + page - 1) & ~(page - 1);
    const std::uintptr_t last = (start + size) & ~(page - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
    return buffer;
}

void loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name)
{
    loadEditorFromFile(io, editor, name, std::string());
}

namespace {

// Opens `name` as the editor does (exclusively: "Cannot open file %s") and reads all of it into `text`.
void readEditorFile(IoContext& io, const std::string& name, std::string& text, ShownTextScan* scan)
{
    if (name.empty() || name.find('\0') != std::string::npos)
        throw EFOpenError(name);
    FileDescriptor file(::open(fileSystemName(name).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid() || heldOpen(io, file.get()))
        throw EFOpenError(name);
    readWholeFile(file.get(), text, scan);
}

} // namespace

void loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name, std::string&& storage)
{
    std::string text = std::move(storage);
    ShownTextScan shown;
    readEditorFile(io, name, text, &shown);

    // The adjusted text is longer than the file by one byte per lone break, so its length needs the
    // count only where it could exceed the capacity or equal the editor's length.
    const std::size_t length = text.size();
    const std::size_t editorLength = editor.textSize();
    const auto capacity = static_cast<std::size_t>(kMemoCapacity);
    if (length > capacity / 2 || (editorLength >= length && editorLength - length <= length)) {
        const std::size_t adjusted = length + countLoneBreaks(text);
        if (adjusted > capacity)
            throw EOutOfResources();
        if (adjusted == editorLength && normalizeLineBreaks(text) == editor.text())
            return;
    }
    // The editor receives only the part before the first byte 0; a 0 is no line break, so cutting
    // before adjusting gives the same text.
    text.resize(shown.length());
    widenLoneBreaks(text, shown.lone());
    editor.takeText(std::move(text));
}

void loadEditorWithAllBytes(IoContext& io, Editor& editor, const std::string& name)
{
    std::string bytes;
    readEditorFile(io, name, bytes, nullptr);
    if (bytes.size() == editor.textSize() && bytes == editor.text())
        return;
    editor.takeAllBytes(std::move(bytes));
}

} // namespace qb
