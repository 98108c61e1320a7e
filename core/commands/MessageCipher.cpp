#include "MessageCipher.h"

#include "CipherKey.h"
#include "CipherLoop.h"
#include "CorrespondentFiles.h"
#include "CorrespondentKey.h"
#include "EditorFile.h"
#include "Errors.h"
#include "IoCodes.h"
#include "LineBreaks.h"
#include "MailTextReader.h"
#include "Replacement.h"
#include "StoredFiles.h"
#include "TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qb {

namespace {

const char* const kAlreadyEncrypted =
    "The message is already encrypted. Encrypting it again gives back the plain text. Go on?";

// Files are read and written through large buffers; the key loop works a chunk at a time.
constexpr std::size_t kFileBufferSize = 64 * 1024;
constexpr std::size_t kChunkSize = 64 * 1024;

std::size_t chunkFor(std::int64_t remaining)
{
    return static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
}

[[noreturn]] void warnNoCorrespondent(MainView& view)
{
    view.dialogs().messageBox(kSelectCorrespondentWarning, MessageKind::Warning, MessageButtons::Ok);
    Abort();
}

// A message that names its key is decrypted with that key only: with another one selected nothing is written, and
// the user learns whose key it names. A message that names none is taken as the selected correspondent's.
void requireMessageKey(Session& session, MainView& view, const std::string& fingerprint)
{
    if (fingerprint.empty())
        return;
    const std::optional<std::string> selected = CorrespondentFiles(session).keyFingerprint(session.currentuser);
    if (!selected)
        warnNoCorrespondent(view);
    if (*selected == fingerprint)
        return;
    const std::optional<std::string> holder = CorrespondentFiles(session).firstHolderOf(fingerprint);
    view.dialogs().messageBox(holder ? "This message was encrypted with " + *holder + "'s key. Select " + *holder +
                                           " and choose Decrypt again."
                                     : noKeyHolderText(fingerprint) + ".",
                              MessageKind::Warning, MessageButtons::Ok);
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

// The selected correspondent's key, opened once for the command and held (so no one else writes it) until the last
// message byte is combined. Only as many key bytes are read as the message can use.
class HeldKey
{
public:
    HeldKey(Session& session, MainView& view, ProgressBatcher& progress, std::int64_t total)
        : m_file(session, session.currentuser)
    {
        if (!m_file.isOpen()) {
            progress.flush();
            warnNoCorrespondent(view);
        }
        m_key.emplace(m_file.repeating(static_cast<std::uint64_t>(total)));
    }

    RepeatingKey& key() { return *m_key; }
    void finish() { m_file.finish(); }

private:
    CorrespondentKey m_file;
    std::optional<RepeatingKey> m_key;
};

// Reads exactly `count` bytes; past the physical end a read yields 26, as a byte-wise read would.
void readExactly(IoContext& io, TextFile& file, unsigned char* out, std::size_t count)
{
    const std::size_t got = file.readBytes(out, count);
    io.check();
    std::fill(out + got, out + count, kEndOfDataMark);
}

// The common key loop: the `total` message bytes at `bytes` combined in place with the key, chunk by chunk so that
// the progress bar moves and `scan`, if given, looks at each chunk while it is still in the cache.
void runKeyLoop(Session& session, MainView& view, unsigned char* bytes, std::int64_t total, ShownTextScan* scan)
{
    ProgressBatcher progress(view.progressBar3(), total);
    HeldKey key(session, view, progress, total);
    std::int64_t done = 0;
    combineMessage(
        key.key(),
        [&] {
            const std::size_t count = chunkFor(total - done);
            MessagePiece piece{bytes + done, count};
            done += static_cast<std::int64_t>(count);
            return piece;
        },
        [&](const MessagePiece&) {
            if (scan)
                scan->advance(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(done), done == total);
        },
        [&](std::size_t count) { progress.advance(static_cast<std::int64_t>(count)); });
    progress.flush();
    key.finish();
}

// The editor's `total` bytes gathered from its pieces into chunks of 1 MiB, each combined with the key and written to
// `out` at once: no copy of the whole message is held. The first write's errno-style failure, or 0.
int runKeyLoopOverPieces(Session& session, MainView& view, const Editor& editor, std::int64_t total, PosixFile& out)
{
    ProgressBatcher progress(view.progressBar3(), total);
    HeldKey key(session, view, progress, total);
    std::vector<unsigned char> chunk(std::size_t(1) << 20);
    std::size_t held = 0;
    int error = 0;
    const auto combineAndWrite = [&] {
        MessagePiece whole{chunk.data(), held};
        combineMessage(
            key.key(), [&whole] { return std::exchange(whole, MessagePiece{}); }, [](const MessagePiece&) {},
            [&progress](std::size_t combined) { progress.advance(static_cast<std::int64_t>(combined)); });
        if (error == 0)
            error = out.writeAll(chunk.data(), held);
        held = 0;
    };
    editor.readTextPieces([&](std::string_view piece) {
        while (!piece.empty()) {
            const std::size_t count = std::min(piece.size(), chunk.size() - held);
            std::copy_n(piece.data(), count, chunk.data() + held);
            held += count;
            piece.remove_prefix(count);
            if (held == chunk.size())
                combineAndWrite();
        }
    });
    if (held > 0)
        combineAndWrite();
    progress.flush();
    key.finish();
    return error;
}

// The `size` bytes `file` holds from its start, read into a buffer with room for the editor's line breaks.
std::string readWritten(PosixFile& file, std::int64_t size, const std::string& path)
{
    std::string bytes = editorLoadBuffer(static_cast<std::size_t>(size));
    bytes.resize(static_cast<std::size_t>(size));
    for (std::size_t done = 0; done < bytes.size();) {
        std::size_t got = 0;
        const int error = file.readAt(bytes.data() + done, bytes.size() - done, static_cast<off_t>(done), got);
        if (error != 0 || got == 0)
            throw EInOutError(ioCodeFromErrno(error != 0 ? error : EIO, path));
        done += got;
    }
    return bytes;
}

// The message file's `size` bytes, read in one go into a buffer with room for the editor's line breaks; a file
// that has shrunk meanwhile reads as 26 past its end.
std::string readMessage(IoContext& io, const std::string& path, std::int64_t size)
{
    std::string bytes = editorLoadBuffer(static_cast<std::size_t>(size));
    TextFile file(io, TextFile::Reading::PlainBytes, kFileBufferSize);
    resetChecked(file, path);
    bytes.resize(static_cast<std::size_t>(size));
    readExactly(io, file, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    closeChecked(file);
    return bytes;
}

} // namespace

MessageCipher::MessageCipher(Session& session, MainView& view, std::size_t piecewiseAbove)
    : m_session(session), m_view(view), m_piecewiseAbove(piecewiseAbove)
{
}

void MessageCipher::Encrypt1Click()
{
    Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        Abort();
    // The cipher undoes itself: encrypting the ciphertext shown gives the plain text back, which is asked first.
    const std::optional<std::string> shownKey = m_session.shownMessage.ciphertextKey(editor);
    if (shownKey && m_view.dialogs().confirmDestroying(kAlreadyEncrypted, MessageButtons::YesNo) != Answer::Yes)
        Abort();
    const std::string path = requireMessagePath();
    const std::string tempPath = tempPathFor(path);
    // A "*.tmp" message would be its own temporary file: there would be nowhere beside it to write the ciphertext.
    if (tempPath == path)
        throw EInOutError(IoCode::SharingViolation);

    IoContext& io = m_session.io;
    // The editor's bytes, taken once before any file is touched (a character the code page lacks fails here): they
    // are saved, and these same bytes are combined, so another program writing the file meanwhile changes nothing. A
    // large text is measured first, then taken from the editor piece by piece, once for the save and once for the
    // ciphertext, which is read back from the file written once the editor has let its own text go.
    const std::size_t convertedSize = editor.approximateTextSize();
    const bool piecewise = convertedSize > m_piecewiseAbove;
    std::string bytes = piecewise ? std::string() : editor.text();
    const auto size = static_cast<std::int64_t>(piecewise ? editor.textSize() : bytes.size());
    // The ciphertext is shown with one character a byte, so the editor must take a file of the text's size.
    requireEditorCapacity(size);
    if (piecewise)
        saveEditorPiecesAsFile(io, editor, path);
    else
        saveBytesAsEditorFile(io, bytes, path);
    m_view.progressBar3().setMaximum(size);

    // The ciphertext goes to the temporary file, which is renamed over the message once it is whole on disk: until
    // then the message is untouched, and a failed or cut-off Encrypt leaves no temporary file behind.
    Replacement ciphertext(io);
    {
        FilePlace place;
        io.fail(io.locate(path, place));
        io.check();
        const std::string tempName = tempPath.substr(tempPath.rfind('/') + 1);
        if (const int error = ciphertext.begin(std::move(place), Replacement::Hold::Nothing, tempName))
            throw EInOutError(ioCodeFromErrno(error, tempPath));
    }
    // A large ciphertext is shown from the file it was written to, through a descriptor of its own: what is shown is
    // what was written, even if another program replaces the message by name meanwhile.
    PosixFile writtenFile;
    if (piecewise) {
        if (const int error = runKeyLoopOverPieces(m_session, m_view, editor, size, ciphertext.file()))
            throw EInOutError(ioCodeFromErrno(error, tempPath));
        writtenFile = PosixFile(::fcntl(ciphertext.file().descriptor(), F_DUPFD_CLOEXEC, 0));
        if (!writtenFile.isOpen())
            throw EInOutError(ioCodeFromErrno(errno, tempPath));
    } else {
        runKeyLoop(m_session, m_view, reinterpret_cast<unsigned char*>(bytes.data()), size, nullptr);
    }
    // What Copy as Mail Text names as the ciphertext's key.
    const std::string keyFingerprint = CorrespondentFiles(m_session).keyFingerprint(m_session.currentuser).value_or("");
    if (const int error = ciphertext.file().writeAll(bytes.data(), bytes.size()))
        throw EInOutError(ioCodeFromErrno(error, tempPath));
    if (const int error = ciphertext.commit())
        throw EInOutError(ioCodeFromErrno(error, path));

    m_view.progressBar3().setPosition(0);
    // The ciphertext is shown whole, so that what is copied from the editor decrypts.
    editor.clear();
    if (piecewise)
        bytes = readWritten(writtenFile, size, path);
    showEditorBytes(editor, std::move(bytes));
    // What the file holds now is what the editor shows; another program changing the file from here on is noticed.
    const std::optional<FileIdentity> written = currentIdentity(io, path);
    // Encrypted twice with one key, it is the plain text again.
    if (shownKey == keyFingerprint) {
        m_session.shownMessage.showFile(editor, path, written);
        m_view.showStatusMessage("Decrypted with " + m_session.currentuser + "'s key.");
        return;
    }
    m_session.shownMessage.showCiphertext(editor, path, written, keyFingerprint);
    m_view.showStatusMessage("Encrypted with " + m_session.currentuser +
                             "'s key. Copy as Mail Text (Ctrl+Shift+C) to send it.");
}

void MessageCipher::Decrypt1Click()
{
    Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        Abort();
    const std::string path = requireMessagePath();

    // One buffer of the message's size serves the whole command: the message is read into it, combined in place,
    // written back from it, and given to the editor as its text.
    std::string keyFingerprint;
    std::string message = m_session.shownMessage.showsFile(m_session.io, editor, path)
                              ? fileMessage(path, keyFingerprint)
                              : shownMessage(editor, keyFingerprint);
    requireMessageKey(m_session, m_view, keyFingerprint);
    // Nothing to decrypt; the key loop needs at least one byte.
    if (message.empty())
        Abort();
    m_view.progressBar3().setMaximum(static_cast<std::int64_t>(message.size()));
    ShownTextScan shown;
    runKeyLoop(m_session, m_view, reinterpret_cast<unsigned char*>(message.data()),
               static_cast<std::int64_t>(message.size()), &shown);
    {
        // New content for the file, replacing the old only once it is whole on disk.
        IoContext& io = m_session.io;
        TextFile file(io, TextFile::Reading::PlainBytes, kFileBufferSize);
        rewriteChecked(file, path);
        file.writeString(message);
        io.check();
        closeChecked(file);
    }

    m_view.progressBar3().setPosition(0);
    editor.clear();
    // The file now holds exactly these bytes, so they are shown without reading it again.
    showEditorText(editor, std::move(message), shown);
    m_session.shownMessage.showFile(editor, path, currentIdentity(m_session.io, path));
    m_view.showStatusMessage("Decrypted with " + m_session.currentuser + "'s key.");
}

std::string MessageCipher::fileMessage(const std::string& path, std::string& keyFingerprint)
{
    IoContext& io = m_session.io;
    const std::int64_t size = fileSizeChecked(io, path);
    if (size == 0)
        Abort();
    m_view.progressBar3().setMaximum(size);
    // Checked before the file changes: the plaintext is never longer than the ciphertext it comes from.
    requireEditorCapacity(size);
    std::string message = readMessage(io, path, size);
    if (std::optional<MailTextBlock> block = readMailText(message)) {
        keyFingerprint = std::move(block->keyFingerprint);
        return std::move(block->bytes);
    }
    return message;
}

std::string MessageCipher::shownMessage(const Editor& editor, std::string& keyFingerprint)
{
    // Mail text is ASCII: it is found in the text even where the text around it has characters no file could hold.
    bool complete = true;
    std::string text = editor.lenientText(complete);
    if (std::optional<MailTextBlock> block = readMailText(text)) {
        keyFingerprint = std::move(block->keyFingerprint);
        return std::move(block->bytes);
    }
    if (!complete)
        text = editor.text(); // raises, as a save of this text would
    requireEditorCapacity(static_cast<std::int64_t>(text.size()));
    return text;
}

std::string MessageCipher::requireMessagePath()
{
    std::string path = m_view.edit2().text();
    if (path.empty())
        warnNoCorrespondent(m_view);
    return path;
}

} // namespace qb
