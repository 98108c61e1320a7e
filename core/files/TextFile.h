#pragma once

#include "ByteText.h"
#include "FileIdentity.h"
#include "IoCodes.h"
#include "IoContext.h"
#include "Replacement.h"
#include "SecretBytes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

constexpr std::size_t kTextBufferSize = 128;

// Room for a file's bytes in memory: ordinary, or for a key's bytes kept out of core dumps and wiped when freed.
class FileBuffer
{
public:
    FileBuffer(std::size_t size, bool secret);
    unsigned char* data() { return m_secret.empty() ? m_ordinary.data() : m_secret.data(); }

private:
    std::vector<unsigned char> m_ordinary;
    SecretBytes m_secret;
};

// A file in text mode. Every operation is quiet: a failure sets the context's pending code and the
// caller checks it (IoContext::check) or takes it (IoContext::ioResult). Destruction closes the file,
// so a command that ends early never leaves a file locked.
class TextFile
{
public:
    // How reads treat byte 26: Text stops at it (the end-of-data mark); PlainBytes passes every byte
    // and ends only at the physical end of the file.
    enum class Reading { Text, PlainBytes };
    // What the file holds: a key's bytes pass only through FileBuffer's secret kind of memory. Messages need not, and
    // their path stays as fast as ordinary memory allows.
    enum class Contents { Ordinary, Key };

    explicit TextFile(IoContext& io, Reading reading = Reading::Text, std::size_t bufferSize = kTextBufferSize,
                      Contents contents = Contents::Ordinary);
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    void assign(const std::string& name);
    const std::string& name() const { return m_name; }
    IoContext& io() const { return m_io; }

    void reset(); // open an existing regular file for reading
    // Read from a file already open for reading, of any kind (standard input, a pipe): it ends where its reads end.
    void readFrom(PosixFile&& file);
    // Whether reading stopped at the end-of-data mark rather than at the file's physical end.
    bool atEndOfDataMark() const
    {
        return m_reading == Reading::Text && m_bufferPos < m_bufferEnd && m_buffer[m_bufferPos] == kEndOfDataMark;
    }
    // Open for writing new content, which replaces the file's at close: until then the old content is whole, and a
    // file dropped unclosed keeps it.
    void rewrite();
    // The same for a file that must be new: its content is put in place at close only where no file has taken the
    // name by then (code 80 otherwise, and nothing changes).
    void rewriteAsNew();
    // Open an existing regular file for writing at its end, after the end-of-data cut. What is written reaches the
    // file in one write at close, so a list gains a whole record or none.
    void append();
    // For a file open for appending: whether it holds `line` among the lines a reader of it would read (up to its end
    // of data). The file stays held meanwhile, so the answer holds until close. Failures are left pending.
    bool holdsLine(std::string_view line);
    void close(); // 103 when not open
    // Goes back to `offset` bytes from the start of a file open for reading, as if just opened and that much read;
    // failures are left pending.
    void rewind(std::int64_t offset = 0);
    bool isOpen() const;

    // Text mode: at end of data returns 26 and does not move.
    unsigned char readByte();
    // Bytes up to the first CR or 26; consumes CR and one LF after it. Of a line longer than `most` bytes only the
    // first most + 1 are kept, so memory stays bounded whatever the line.
    std::string readLine(std::size_t most = std::string::npos - 1);
    // Reads up to `count` bytes into `out`, stopping at end of data; returns the number read.
    std::size_t readBytes(unsigned char* out, std::size_t count);
    bool eof();
    // The size of a file open for reading, as it was when opened: reads never go past it.
    std::int64_t sizeAtOpen() const { return m_sizeAtOpen; }
    // The file as it was when opened for reading (its size sizeAtOpen()), or once held for appending.
    const FileIdentity& openedAs() const { return m_openedAs; }
    // Reads up to `count` bytes and writes them to `target` (which shares this file's IoContext), as
    // readBytes and writeBytes in turn would, stopping at end of data or at the first failure; returns
    // the number read. Plain-byte files are copied by the kernel where it can.
    std::uint64_t copyTo(TextFile& target, std::uint64_t count);

    void writeString(std::string_view text);
    void writeBytes(const unsigned char* data, std::size_t count);
    void writeLine(std::string_view text);

private:
    IoContext& m_io;
    Reading m_reading;
    Contents m_contents;
    std::size_t m_bufferSize;
    std::string m_name;
    int m_fd = -1; // the descriptor of m_file or of the replacement's new file
    PosixFile m_file;
    std::unique_ptr<Replacement> m_replacement;
    std::string m_record; // what an append writes at close
    off_t m_appendStart = 0;
    bool m_otherNames = false; // a hard-linked file, which is replaced rather than appended to in place
    bool m_asNew = false;      // a rewrite that must not take the place of a file that appeared meanwhile
    enum class Mode { Closed, Input, Output, Append } m_mode = Mode::Closed;
    OpenFileTable::FileId m_id{};
    FileBuffer m_storage;
    unsigned char* m_buffer; // m_storage's bytes
    std::size_t m_bufferPos = 0;
    std::size_t m_bufferEnd = 0;
    bool m_physicalEnd = false;
    // Size when opened and bytes read since: a read that brings them level ends the file without
    // another read that would only return nothing.
    std::int64_t m_sizeAtOpen = 0;
    std::int64_t m_bytesRead = 0;
    FileIdentity m_openedAs;

    void openReplacement(bool asNew);
    bool fillBuffer();
    // One read(2) straight into `out`; false at the physical end or on failure (recorded).
    bool readDirect(unsigned char* out, std::size_t count, std::size_t& got);
    void stopAtMark();
    bool kernelCopy(TextFile& target, std::uint64_t count, std::uint64_t& done);
    // writeBytes without the mode check; returns the code of a failure (0 when none).
    int put(const unsigned char* data, std::size_t count);
    // Both return the code of a failure (0 when none) rather than recording it, so closing from the
    // destructor stays quiet.
    int flushBuffer();
    // `complete`: the file was closed, not dropped, so a replacement or a record is written.
    int release(bool complete);
    bool openExisting(int flags, OpenFileTable::Access access);
    int writeRecord();
    int replaceWithRecord();

    // Slow paths of the inline operations below: buffer refills and flushes, and wrong-mode errors.
    unsigned char readByteSlow();
    bool eofSlow();
    bool checkReadable();
    bool checkWritable();
    bool prepareOpen();
    void cutAtEndOfDataMark();
};

// The cipher moves every byte of large files through these, so the common case stays a buffer access.
// In output mode m_bufferEnd stays 0, so the read fast path is only ever taken in input mode.
inline unsigned char TextFile::readByte()
{
    if (m_bufferPos < m_bufferEnd) {
        const unsigned char byte = m_buffer[m_bufferPos];
        if (byte != kEndOfDataMark || m_reading == Reading::PlainBytes)
            ++m_bufferPos;
        return byte;
    }
    return readByteSlow();
}

inline bool TextFile::eof()
{
    if (m_bufferPos < m_bufferEnd)
        return m_reading == Reading::Text && m_buffer[m_bufferPos] == kEndOfDataMark;
    return eofSlow();
}

// Checked forms of the steps commands take most: the step, then IoContext::check, which raises EInOutError
// (and clears the code) when it failed.
void resetChecked(TextFile& file, const std::string& name);
void rewriteChecked(TextFile& file, const std::string& name);
void appendChecked(TextFile& file, const std::string& name);
void closeChecked(TextFile& file);
// Closes a file opened by rewriteAsNew: false when its name was taken meanwhile (nothing changed), else checked.
bool closeUnlessTaken(TextFile& file);

} // namespace qb
