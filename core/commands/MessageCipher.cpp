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
#include "StrongCipher.h"
#include "TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace qb {

namespace {

const char* const kAlreadyEncrypted =
    "The message is already encrypted. Encrypting it again gives back the plain text. Go on?";
const char* const kEncryptAgain = "The message is already encrypted. Encrypt it again?";
const char* const kUndoesDecrypt =
    "This is what Decrypt made of the message. Encrypting it gives back the text you decrypted. Go on?";
const char* const kClassicForStrong =
    "This message is not strongly encrypted. Its content cannot be checked: anyone who has read earlier classic "
    "messages could have written or changed it. Decrypt it with the classic cipher?";
const char* const kClassicNote = "Classic: anyone holding several such messages can read them without the key; see "
                                 "Encrypt/Decrypt > Strong Encryption.";

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

// A message that names its key is decrypted with that key only: with another one selected, or none, nothing is
// written, and the user learns whose key it names. A message that names none is taken as the selected
// correspondent's.
void requireMessageKey(Session& session, MainView& view, const std::string& fingerprint)
{
    if (fingerprint.empty())
        return;
    const std::optional<std::string> selected =
        session.currentuser.empty() ? std::nullopt : CorrespondentFiles(session).keyFingerprint(session.currentuser);
    if (selected == fingerprint)
        return;
    const std::optional<std::string> holder = CorrespondentFiles(session).firstHolderOf(fingerprint);
    if (!selected && !holder)
        warnNoCorrespondent(view);
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

// The strong message of the editor's `total` bytes (`bytes`, or for a large text its pieces), handed to `out` a chunk
// at a time, under the selected correspondent's key.
void runStrongWriter(Session& session, MainView& view, const Editor& editor, const std::string* bytes,
                     std::int64_t total, const ByteOutput& out)
{
    ProgressBatcher progress(view.progressBar3(), total);
    CorrespondentKey file(session, session.currentuser);
    if (!file.isOpen()) {
        progress.flush();
        warnNoCorrespondent(view);
    }
    const StrongKey key = file.strongKey();
    file.finish();
    StrongWriter writer(key, out);
    const auto write = [&](std::string_view piece) {
        while (!piece.empty()) {
            const std::size_t count = std::min(piece.size(), kChunkSize);
            writer.write(reinterpret_cast<const unsigned char*>(piece.data()), count);
            progress.advance(static_cast<std::int64_t>(count));
            piece.remove_prefix(count);
        }
    };
    if (bytes)
        write(*bytes);
    else
        editor.readTextPieces(write);
    writer.finish();
    progress.flush();
}

// The plaintext of a strong message under the selected correspondent's key, scanned for the editor. One that is
// refused is said, and the command stops before anything is written.
std::string runStrongReader(Session& session, MainView& view, const std::string& message, ShownTextScan& scan)
{
    const std::string& name = session.currentuser;
    const auto refuse = [&] {
        view.dialogs().messageBox("The message cannot be decrypted with " + name +
                                      "'s key: it was changed, cut short or encrypted with another key.",
                                  MessageKind::Warning, MessageButtons::Ok);
        Abort();
    };
    CorrespondentKey file(session, name);
    if (!file.isOpen())
        warnNoCorrespondent(view);
    std::optional<StrongKey> key;
    try {
        key.emplace(file.strongKey());
    } catch (const EKeyTooShort&) {
        refuse(); // no strong message was ever made with it
    }
    file.finish();
    ProgressBatcher progress(view.progressBar3(), static_cast<std::int64_t>(message.size()));
    std::string plain = editorLoadBuffer(message.size());
    StrongReader reader(*key, [&plain](const unsigned char* data, std::size_t count) {
        plain.append(reinterpret_cast<const char*>(data), count);
    });
    try {
        for (std::size_t at = 0; at < message.size(); at += kChunkSize) {
            const std::size_t count = std::min(kChunkSize, message.size() - at);
            reader.read(reinterpret_cast<const unsigned char*>(message.data()) + at, count);
            progress.advance(static_cast<std::int64_t>(count));
        }
        reader.finish();
    } catch (const EStrongMessageRefused&) {
        progress.flush();
        refuse();
    }
    progress.flush();
    scan.advance(plain.data(), plain.size(), true);
    return plain;
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
    const std::string& name = m_session.currentuser;
    // What Copy as Mail Text names as the ciphertext's key.
    const std::string keyFingerprint = CorrespondentFiles(m_session).keyFingerprint(name).value_or("");
    const Cipher cipher = encryptingCipher();
    ShownMessage& shown = m_session.shownMessage;
    const std::optional<std::string> shownKey = shown.ciphertextKey(editor);
    const bool shownStrong = shown.showsStrongCiphertext(editor);
    // The classic cipher undoes itself: encrypting the ciphertext shown gives the plain text back, and encrypting what
    // a classic Decrypt made gives back the text it started from. Both are asked first.
    const bool undoesEncrypt = cipher == Cipher::Classic && shownKey && !shownStrong;
    if (shownKey && m_view.dialogs().confirmDestroying(undoesEncrypt ? kAlreadyEncrypted : kEncryptAgain,
                                                       MessageButtons::YesNo) != Answer::Yes)
        Abort();
    const std::optional<ShownMessage::ClassicDecryption> decryption = shown.classicDecryption(editor);
    const bool undoesDecrypt = cipher == Cipher::Classic && decryption && !keyFingerprint.empty() &&
                               decryption->keyFingerprint == keyFingerprint;
    if (undoesDecrypt && m_view.dialogs().confirmDestroying(kUndoesDecrypt, MessageButtons::YesNo) != Answer::Yes)
        Abort();
    const std::string path = requireMessagePath();
    requireReplaceConsent(path, "encrypted");
    const std::string tempPath = tempPathFor(path);
    // A "*.tmp" message would be its own temporary file: there would be nowhere beside it to write the ciphertext.
    if (tempPath == path)
        throw EInOutError(IoCode::SharingViolation);

    IoContext& io = m_session.io;
    // The editor's bytes go straight to the cipher, taken once before any file is touched (a character the code page
    // lacks fails here); the message file is replaced once, by the whole ciphertext, so the plain text never reaches
    // the disk and a failed Encrypt leaves the file as it was. A large text is measured first, then taken from the
    // editor piece by piece, and its ciphertext is read back from the file written once the editor has let its own
    // text go.
    const std::size_t convertedSize = editor.approximateTextSize();
    const bool piecewise = convertedSize > m_piecewiseAbove;
    std::string bytes = piecewise ? std::string() : editor.text();
    const auto size = static_cast<std::int64_t>(piecewise ? editor.textSize() : bytes.size());
    // The ciphertext is shown with one character a byte, so the editor must take a file of its size.
    const auto ciphertextSize =
        static_cast<std::int64_t>(cipher == Cipher::Strong ? strongMessageSize(static_cast<std::uint64_t>(size))
                                                           : static_cast<std::uint64_t>(size));
    requireEditorCapacity(ciphertextSize);
    m_view.progressBar3().setMaximum(size);

    // The ciphertext goes to the temporary file, which is renamed over the message once it is whole on disk: until
    // then the message is untouched, and a failed or cut-off Encrypt leaves no temporary file behind.
    // A place no file can be made, or a failing write, is said as a save of the message would say it.
    Replacement ciphertext(io);
    {
        FilePlace place;
        struct stat info
        {
        };
        const bool located = io.locate(path, place) == 0;
        const int status = located ? place.status(info) : 0;
        if (!located || (status != 0 && status != ENOENT) || (status == 0 && !S_ISREG(info.st_mode)))
            throw EFCreateError(path);
        const std::string tempName = tempPath.substr(tempPath.rfind('/') + 1);
        if (const int error = ciphertext.begin(std::move(place), Replacement::Hold::Nothing, tempName))
            throw EInOutError(ioCodeFromErrno(error, tempPath));
    }
    // A large ciphertext is shown from the file it was written to, through a descriptor of its own: what is shown is
    // what was written, even if another program replaces the message by name meanwhile.
    PosixFile writtenFile;
    const auto failOnWrite = [&](int error) {
        if (error == 0)
            return;
        if (isResourceShortage(error))
            throw EInOutError(ioCodeFromErrno(error, tempPath));
        throw EWriteError();
    };
    if (cipher == Cipher::Strong) {
        std::string message;
        int error = 0;
        if (!piecewise)
            message.reserve(static_cast<std::size_t>(ciphertextSize));
        runStrongWriter(m_session, m_view, editor, piecewise ? nullptr : &bytes, size,
                        [&](const unsigned char* data, std::size_t count) {
                            if (!piecewise)
                                message.append(reinterpret_cast<const char*>(data), count);
                            else if (error == 0)
                                error = ciphertext.file().writeAll(data, count);
                        });
        failOnWrite(error);
        if (!piecewise)
            bytes = std::move(message);
    } else if (piecewise) {
        failOnWrite(runKeyLoopOverPieces(m_session, m_view, editor, size, ciphertext.file()));
    } else {
        runKeyLoop(m_session, m_view, reinterpret_cast<unsigned char*>(bytes.data()), size, nullptr);
    }
    if (piecewise) {
        writtenFile = PosixFile(::fcntl(ciphertext.file().descriptor(), F_DUPFD_CLOEXEC, 0));
        if (!writtenFile.isOpen())
            throw EInOutError(ioCodeFromErrno(errno, tempPath));
    } else {
        failOnWrite(ciphertext.file().writeAll(bytes.data(), bytes.size()));
    }
    if (const int error = ciphertext.commit())
        throw EInOutError(ioCodeFromErrno(error, path));

    m_view.progressBar3().setPosition(0);
    // The ciphertext is shown whole, so that what is copied from the editor decrypts.
    editor.clear();
    if (piecewise)
        bytes = readWritten(writtenFile, ciphertextSize, path);
    showEditorBytes(editor, std::move(bytes));
    // What the file holds now is what the editor shows; another program changing the file from here on is noticed.
    const std::optional<FileIdentity> written = currentIdentity(io, path);
    if (cipher == Cipher::Strong) {
        shown.showStrongCiphertext(editor, path, written, keyFingerprint);
        m_view.showStatusMessage("Encrypted strongly with " + name +
                                 "'s key. Copy as Mail Text (Ctrl+Shift+C) to send it.");
        return;
    }
    // Encrypted twice with one key, it is the plain text again; what Decrypt made, encrypted again, is ciphertext only
    // where Decrypt started from ciphertext.
    if ((undoesEncrypt && shownKey == keyFingerprint) || (undoesDecrypt && !decryption->fromCiphertext)) {
        shown.showFile(editor, path, written);
        m_view.showStatusMessage(undoesEncrypt ? "Decrypted with " + name + "'s key."
                                               : "Encrypted with " + name + "'s key: the text Decrypt started from.");
        return;
    }
    shown.showCiphertext(editor, path, written, keyFingerprint);
    m_view.showStatusMessage("Encrypted with " + name + "'s key. Copy as Mail Text (Ctrl+Shift+C) to send it. " +
                             kClassicNote);
}

void MessageCipher::Decrypt1Click()
{
    Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        Abort();
    const std::string path = requireMessagePath();
    const std::string& name = m_session.currentuser;

    // One buffer of the message's size serves the whole command: the message is read into it, combined in place,
    // written back from it, and given to the editor as its text.
    ShownMessage& shown = m_session.shownMessage;
    const bool shownCiphertext = shown.ciphertextKey(editor).has_value();
    std::string keyFingerprint;
    bool mailText = false;
    std::string message = shown.showsFile(m_session.io, editor, path) ? fileMessage(path, keyFingerprint, mailText)
                                                                      : shownMessage(editor, keyFingerprint, mailText);
    requireMessageKey(m_session, m_view, keyFingerprint);
    requireReplaceConsent(path, "decrypted");
    const bool strong = isStrongMessage(message);
    // Nothing to decrypt; the key loop needs at least one byte.
    if (message.empty())
        Abort();
    m_view.progressBar3().setMaximum(static_cast<std::int64_t>(message.size()));
    ShownTextScan scan;
    if (strong)
        message = runStrongReader(m_session, m_view, message, scan);
    else
        runKeyLoop(m_session, m_view, reinterpret_cast<unsigned char*>(message.data()),
                   static_cast<std::int64_t>(message.size()), &scan);
    // Asked once the key is known to open, and before anything is written.
    const CorrespondentPaths correspondent = m_session.correspondent(name);
    const CorrespondentFiles files(m_session);
    const bool strongSet = files.cipherOf(correspondent).cipher == Cipher::Strong;
    if (!strong && strongSet &&
        m_view.dialogs().confirmDestroying(kClassicForStrong, MessageButtons::YesNo) != Answer::Yes) {
        m_view.progressBar3().setPosition(0);
        Abort();
    }
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
    showEditorText(editor, std::move(message), scan);
    const std::optional<FileIdentity> written = currentIdentity(m_session.io, path);
    if (!strong) {
        shown.showClassicDecryption(editor, path, written, files.keyFingerprint(name).value_or(""),
                                    mailText || shownCiphertext);
        m_view.showStatusMessage("Decrypted with " + name + "'s key.");
        return;
    }
    shown.showFile(editor, path, written);
    // Only a holder of the key could have made a strong message: the correspondent uses strong encryption.
    if (strongSet) {
        m_view.showStatusMessage("Decrypted strongly with " + name + "'s key.");
        return;
    }
    files.setCipher(correspondent, Cipher::Strong);
    m_view.showStatusMessage("Decrypted strongly with " + name + "'s key. Strong encryption is now on for " + name +
                             ".");
}

void MessageCipher::requireReplaceConsent(const std::string& path, const char* result)
{
    IoContext& io = m_session.io;
    const std::string& name = m_session.currentuser;
    const bool workingFile =
        path == "Untitled" || (!name.empty() && path == m_session.correspondent(name).messageFile());
    if (workingFile || m_session.shownMessage.showsFile(io, m_view.memo1(), path) || !fileExists(io, path))
        return;
    if (m_view.dialogs().confirmDestroying("Replace " + path + " with the " + result + " message?",
                                           MessageButtons::YesNo) != Answer::Yes)
        Abort();
}

Cipher MessageCipher::encryptingCipher()
{
    const std::string& name = m_session.currentuser;
    if (name.empty())
        return Cipher::Classic; // the key's opening asks for a correspondent
    const CorrespondentPaths correspondent = m_session.correspondent(name);
    const CipherSetting setting = CorrespondentFiles(m_session).cipherOf(correspondent);
    if (setting.odd)
        m_view.dialogs().messageBox(oddCipherFileText(correspondent.cipherFile()), MessageKind::Warning,
                                    MessageButtons::Ok);
    return setting.cipher;
}

std::string MessageCipher::fileMessage(const std::string& path, std::string& keyFingerprint, bool& mailText)
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
        mailText = true;
        keyFingerprint = std::move(block->keyFingerprint);
        return std::move(block->bytes);
    }
    return message;
}

std::string MessageCipher::shownMessage(const Editor& editor, std::string& keyFingerprint, bool& mailText)
{
    // Mail text is ASCII: it is found in the text even where the text around it has characters no file could hold.
    bool complete = true;
    std::string text = editor.lenientText(complete);
    if (std::optional<MailTextBlock> block = readMailText(text)) {
        mailText = true;
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
