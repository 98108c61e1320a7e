#include "MessageCipher.h"

#include "EditorFile.h"
#include "Errors.h"
#include "IoCodes.h"
#include "MailText.h"
#include "Replacement.h"
#include "StoredFiles.h"
#include "TextFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
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

// The message bytes as the key loop takes them: `next` gives where the next `count` bytes lie, to be combined in
// place; `combined` takes them back once they are.
class MessageStream
{
public:
    virtual ~MessageStream() = default;
    virtual unsigned char* next(std::size_t count) = 0;
    virtual void combined(const unsigned char* data, std::size_t count) = 0;
};

// Read from the message file, written to the new file that will replace it, through one buffer.
class FileStream : public MessageStream
{
public:
    FileStream(IoContext& io, TextFile& from, Replacement& to, const std::string& toName)
        : m_io(io), m_from(from), m_to(to), m_toName(toName), m_buffer(kChunkSize)
    {
    }
    unsigned char* next(std::size_t count) override;
    void combined(const unsigned char* data, std::size_t count) override
    {
        if (const int error = m_to.file().writeAll(m_io.faults(), data, count))
            throw EInOutError(ioCodeFromErrno(error, m_toName));
    }

private:
    IoContext& m_io;
    TextFile& m_from;
    Replacement& m_to;
    const std::string& m_toName;
    std::vector<unsigned char> m_buffer;
};

// Combined where it lies in memory.
class MemoryStream : public MessageStream
{
public:
    explicit MemoryStream(std::string& bytes) : m_bytes(reinterpret_cast<unsigned char*>(bytes.data())) {}
    unsigned char* next(std::size_t count) override
    {
        unsigned char* at = m_bytes;
        m_bytes += count;
        return at;
    }
    void combined(const unsigned char*, std::size_t) override {}

private:
    unsigned char* m_bytes;
};

// Reads exactly `count` bytes; past the physical end a read yields 26, as a byte-wise read would.
void readExactly(IoContext& io, TextFile& file, unsigned char* out, std::size_t count)
{
    const std::size_t got = file.readBytes(out, count);
    io.check();
    std::fill(out + got, out + count, kEndOfDataMark);
}

unsigned char* FileStream::next(std::size_t count)
{
    readExactly(m_io, m_from, m_buffer.data(), count);
    return m_buffer.data();
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
        if (const int code = m_session.io.ioResult()) {
            m_progress.flush();
            // A key reached through a link is refused as such: it is there, only never used.
            if (reachedThroughLink(m_session.io, m_file.name()))
                throw EInOutError(code);
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
void runKeyLoop(Session& session, MainView& view, std::int64_t total, MessageStream& message)
{
    ProgressBatcher progress(view.progressBar3(), total);
    KeyStream key(session, view, progress);
    for (std::int64_t done = 0; done < total;) {
        const std::size_t count = chunkFor(total - done);
        unsigned char* bytes = message.next(count);
        for (std::size_t at = 0; at < count;) {
            const auto [run, length] = key.next(count - at);
            xorBytes(bytes + at, run, length);
            at += length;
            progress.advance(static_cast<std::int64_t>(length));
        }
        message.combined(bytes, count);
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
    // The ciphertext is shown with one character a byte, so the editor must take a file of the text's size.
    requireEditorCapacity(static_cast<std::int64_t>(editor.textSize()));
    saveEditorToFile(io, editor, path);
    const std::int64_t size = fileSizeChecked(io, path);
    m_view.progressBar3().setMaximum(size);
    requireEditorCapacity(size);

    // The ciphertext goes to the temporary file, which is renamed over the message once it is whole on disk: until
    // then the message is untouched, and a failed or cut-off Encrypt leaves no temporary file behind.
    Replacement ciphertext(io.faults(), io.openFiles());
    {
        FilePlace place;
        io.fail(io.locate(path, place));
        io.check();
        const std::string tempName = tempPath.substr(tempPath.rfind('/') + 1);
        if (const int error = ciphertext.begin(std::move(place), Replacement::Hold::Nothing, tempName))
            throw EInOutError(ioCodeFromErrno(error, tempPath));
    }
    TextFile message(io, TextFile::Reading::PlainBytes, kFileBufferSize);
    resetChecked(message, path);
    FileStream stream(io, message, ciphertext, tempPath);
    runKeyLoop(m_session, m_view, size, stream);
    closeChecked(message);
    if (const int error = ciphertext.commit())
        throw EInOutError(ioCodeFromErrno(error, path));

    m_view.progressBar3().setPosition(0);
    // The ciphertext is shown whole, so that what is copied from the editor decrypts.
    m_view.memo1().clear();
    loadEditorWithAllBytes(io, m_view.memo1(), path);
}

void MessageCipher::Decrypt1Click()
{
    Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        Abort();
    const std::string path = requireMessagePath();

    IoContext& io = m_session.io;
    const bool savedFromMailText = path == kUntitled && saveUntitled(editor);
    const std::int64_t size = fileSizeChecked(io, path);
    // Nothing to decrypt; the key loop needs at least one byte.
    if (size == 0)
        Abort();
    m_view.progressBar3().setMaximum(size);
    // Checked before the file changes: the plaintext is never longer than the ciphertext it comes from.
    requireEditorCapacity(size);

    // One buffer of the message's size serves the whole command: the file is read into it, combined in place,
    // written back from it, and handed on to the reload, which reads the rewritten file into it and gives it to
    // the editor as its text.
    std::string message = editorLoadBuffer(static_cast<std::size_t>(size));
    {
        TextFile file(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        resetChecked(file, path);
        message.resize(static_cast<std::size_t>(size));
        readExactly(io, file, reinterpret_cast<unsigned char*>(message.data()), message.size());
        closeChecked(file);
    }
    if (!savedFromMailText) {
        if (std::optional<std::string> bytes = readMailText(message)) {
            if (bytes->empty())
                Abort();
            message = std::move(*bytes);
            m_view.progressBar3().setMaximum(static_cast<std::int64_t>(message.size()));
        }
    }
    MemoryStream stream(message);
    runKeyLoop(m_session, m_view, static_cast<std::int64_t>(message.size()), stream);
    {
        // New content for the file, replacing the ciphertext only once it is whole on disk.
        TextFile file(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        rewriteChecked(file, path);
        file.writeString(message);
        io.check();
        closeChecked(file);
    }

    m_view.progressBar3().setPosition(0);
    m_view.memo1().clear();
    loadEditorFromFile(io, m_view.memo1(), path, std::move(message));
}

bool MessageCipher::saveUntitled(Editor& editor)
{
    bool decoded = false;
    editor.readText([this, &decoded](std::string_view text) {
        std::optional<std::string> bytes = readMailText(text);
        decoded = bytes.has_value();
        saveBytesAsEditorFile(m_session.io, decoded ? *bytes : text, kUntitled);
    });
    return decoded;
}

std::string MessageCipher::requireMessagePath()
{
    std::string path = m_view.edit2().text();
    if (path.empty())
        warnNoRecipient(m_view);
    return path;
}

} // namespace qb
