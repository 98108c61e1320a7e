#include "MessageCipher.h"

#include "Errors.h"
#include "FileOps.h"
#include "TextFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qb {

namespace {

const char* const kSelectRecipient = "Please select a Recipiant/Sender!";
const char* const kUntitled = "Untitled";

// Message and temporary files move through large buffers; the key is small and reopened every pass.
constexpr std::size_t kFileBufferSize = 64 * 1024;
constexpr std::size_t kChunkSize = 64 * 1024;

std::size_t chunkFor(std::int64_t remaining)
{
    return static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
}

[[noreturn]] void warnNoRecipient(MainView& view)
{
    view.dialogs().messageBox(kSelectRecipient, MessageKind::Warning, MessageButtons::Ok);
    Abort();
}

// Reports progress positions in batches: a virtual call (and a repaint) per byte would dominate the run,
// yet a real bar should still advance every percent. Whatever was processed is reported on every exit.
class ProgressBatcher
{
public:
    ProgressBatcher(ProgressControl& control, std::int64_t total)
        : m_control(control), m_batch(std::clamp<std::int64_t>(total / 100, 1, kChunkSize))
    {
    }
    ~ProgressBatcher()
    {
        try {
            flush();
        } catch (...) {
        }
    }
    ProgressBatcher(const ProgressBatcher&) = delete;
    ProgressBatcher& operator=(const ProgressBatcher&) = delete;

    void advance(std::int64_t count)
    {
        m_done += count;
        while (m_done - m_reported >= m_batch) {
            m_control.stepPositions(m_reported, m_reported + m_batch - 1);
            m_reported += m_batch;
        }
    }

    void flush()
    {
        if (m_done > m_reported) {
            const std::int64_t first = m_reported;
            m_reported = m_done;
            m_control.stepPositions(first, m_done - 1);
        }
    }

private:
    ProgressControl& m_control;
    std::int64_t m_batch;
    std::int64_t m_done = 0;
    std::int64_t m_reported = 0;
};

// Where the combined bytes go. `space` says where the next `count` message bytes are to be read;
// `emit` takes them once combined.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual unsigned char* space(std::size_t count) = 0;
    virtual void emit(const unsigned char* data, std::size_t count) = 0;
};

class FileSink : public Sink
{
public:
    FileSink(IoContext& io, TextFile& file) : m_io(io), m_file(file), m_buffer(kChunkSize) {}
    unsigned char* space(std::size_t) override { return m_buffer.data(); }
    void emit(const unsigned char* data, std::size_t count) override
    {
        m_file.writeBytes(data, count);
        m_io.check();
    }

private:
    IoContext& m_io;
    TextFile& m_file;
    std::vector<unsigned char> m_buffer;
};

class MemorySink : public Sink
{
public:
    explicit MemorySink(std::string& result) : m_result(result), m_buffer(kChunkSize) {}
    unsigned char* space(std::size_t) override { return m_buffer.data(); }
    void emit(const unsigned char* data, std::size_t count) override
    {
        m_result.append(reinterpret_cast<const char*>(data), count);
    }

private:
    std::string& m_result;
    std::vector<unsigned char> m_buffer;
};

// Reads exactly `count` bytes; past the physical end a read yields 26, as a byte-wise read would.
void readExactly(IoContext& io, TextFile& file, unsigned char* out, std::size_t count)
{
    const std::size_t got = file.readBytes(out, count);
    io.check();
    std::fill(out + got, out + count, kEndOfDataMark);
}

// Combines `count` bytes with a run of key bytes, a word at a time.
void xorBytes(unsigned char* out, const unsigned char* key, std::size_t count)
{
    std::size_t at = 0;
    for (; count - at >= sizeof(std::uint64_t); at += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::uint64_t keyWord;
        std::memcpy(&word, out + at, sizeof word);
        std::memcpy(&keyWord, key + at, sizeof keyWord);
        word ^= keyWord;
        std::memcpy(out + at, &word, sizeof word);
    }
    for (; at < count; ++at)
        out[at] ^= key[at];
}

// The key as the loop consumes it. Every pass opens the key file afresh and reads it from its first byte
// up to its end of data; a pass that finds no byte at all still yields one, 26, as a read at the end does.
class KeyStream
{
public:
    KeyStream(Session& session, MainView& view, ProgressBatcher& progress)
        : m_session(session), m_view(view), m_progress(progress), m_file(session.io), m_buffer(kChunkSize)
    {
        // One file object serves every pass; only the opening is repeated.
        m_file.assign(m_session.keyFilePath(m_session.currentuser));
        openPass();
    }

    // The next run of key bytes: at least one, at most `limit`.
    std::pair<const unsigned char*, std::size_t> next(std::size_t limit)
    {
        if (m_pos == m_end)
            refill();
        const std::size_t count = std::min(limit, m_end - m_pos);
        const unsigned char* run = m_buffer.data() + m_pos;
        m_pos += count;
        return {run, count};
    }

    // Closes the key file once the last message byte is done.
    void finish()
    {
        if (m_file.isOpen())
            closeChecked(m_file);
    }

private:
    void openPass()
    {
        m_file.reset();
        if (m_session.io.ioResult() != 0) {
            m_progress.flush();
            warnNoRecipient(m_view);
        }
        m_yielded = false;
        m_spent = false;
    }

    void refill()
    {
        for (;;) {
            if (!m_spent) {
                m_pos = 0;
                // Read straight into this buffer: a key up to its size takes one read a pass.
                m_end = m_file.readBytes(m_buffer.data(), m_buffer.size());
                m_session.io.check();
                if (m_end > 0) {
                    m_yielded = true;
                    return;
                }
                if (!m_yielded) {
                    m_buffer[0] = kEndOfDataMark;
                    m_end = 1;
                    m_spent = true;
                    return;
                }
            }
            closeChecked(m_file);
            openPass();
        }
    }

    Session& m_session;
    MainView& m_view;
    ProgressBatcher& m_progress;
    TextFile m_file;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_yielded = false; // this pass has read bytes from the file
    bool m_spent = false;   // this pass is over
};

// The common key loop: `total` message bytes combined with the key. The message moves in large chunks;
// the key restarts wherever a pass ends, and no key byte is read once the last message byte is done.
void runKeyLoop(Session& session, MainView& view, TextFile& message, std::int64_t total, Sink& sink)
{
    ProgressBatcher progress(view.progressBar3(), total);
    KeyStream key(session, view, progress);
    for (std::int64_t done = 0; done < total;) {
        const std::size_t count = chunkFor(total - done);
        unsigned char* bytes = sink.space(count);
        readExactly(session.io, message, bytes, count);
        for (std::size_t at = 0; at < count;) {
            const auto [run, length] = key.next(count - at);
            xorBytes(bytes + at, run, length);
            at += length;
            progress.advance(static_cast<std::int64_t>(length));
        }
        sink.emit(bytes, count);
        done += static_cast<std::int64_t>(count);
    }
    progress.flush();
    key.finish();
}

} // namespace

MessageCipher::MessageCipher(Session& session, MainView& view) : m_session(session), m_view(view) {}

void MessageCipher::Encrypt1Click()
{
    Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        Abort();
    const std::string path = requireMessagePath();
    const std::string tempPath = tempPathFor(path);
    // A "*.tmp" message would be its own temporary file and be destroyed by the copy-back.
    if (tempPath == path)
        throw EInOutError(IoCode::SharingViolation);

    IoContext& io = m_session.io;
    saveEditorToFile(io, editor, path);
    const std::int64_t size = fileSizeChecked(io, path);
    m_view.progressBar3().setMaximum(size);

    // Declared before the files so that it acts after they are closed.
    // Removes the temporary file when Encrypt fails before the copy-back has begun.
    CreatedFileGuard guard(tempPath);
    {
        TextFile message(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        resetChecked(message, path);
        TextFile temp(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        rewriteChecked(temp, tempPath);
        guard.arm();

        FileSink sink(io, temp);
        runKeyLoop(m_session, m_view, message, size, sink);
        closeChecked(message);
        closeChecked(temp);
    }

    {
        TextFile temp(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        resetChecked(temp, tempPath);
        TextFile message(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        rewriteChecked(message, path);
        // The message file is being overwritten: until it is complete the temporary file holds the only
        // complete ciphertext, so it stays whatever happens.
        guard.keep();

        auto copied = static_cast<std::int64_t>(temp.copyTo(message, static_cast<std::uint64_t>(size)));
        io.check();
        // Past the temporary file's end a read yields 26, as a byte-wise copy would.
        if (copied < size) {
            const std::vector<unsigned char> marks(chunkFor(size - copied), kEndOfDataMark);
            for (; copied < size; copied += static_cast<std::int64_t>(chunkFor(size - copied))) {
                message.writeBytes(marks.data(), chunkFor(size - copied));
                io.check();
            }
        }
        closeChecked(temp);
        closeChecked(message);
    }
    eraseFileChecked(io, tempPath);

    m_view.progressBar3().setPosition(0);
    reloadEditor(path);
}

void MessageCipher::Decrypt1Click()
{
    Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        Abort();
    const std::string path = requireMessagePath();

    IoContext& io = m_session.io;
    if (path == kUntitled)
        saveEditorToFile(io, editor, path);
    const std::int64_t size = fileSizeChecked(io, path);
    // Nothing to decrypt; the key loop needs at least one byte.
    if (size == 0)
        Abort();
    m_view.progressBar3().setMaximum(size);

    // The result's memory is handed on to the reload, which reads the rewritten file into it: one buffer
    // of the message's size serves the whole command and ends up as the editor's text.
    std::string result = editorLoadBuffer(static_cast<std::size_t>(size));
    {
        TextFile message(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        resetChecked(message, path);
        MemorySink sink(result);
        runKeyLoop(m_session, m_view, message, size, sink);
        closeChecked(message);
    }
    {
        TextFile message(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        rewriteChecked(message, path);
        message.writeString(result);
        io.check();
        closeChecked(message);
    }

    m_view.progressBar3().setPosition(0);
    reloadEditor(path, std::move(result));
}

std::string MessageCipher::requireMessagePath()
{
    std::string path = m_view.edit2().text();
    if (path.empty())
        warnNoRecipient(m_view);
    return path;
}

void MessageCipher::reloadEditor(const std::string& path, std::string&& storage)
{
    m_view.memo1().clear();
    loadEditorFromFile(m_session.io, m_view.memo1(), path, std::move(storage));
}

} // namespace qb
