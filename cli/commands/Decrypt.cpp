// quillbox-cli decrypt: the window's Decrypt on a stream, raw bytes or the block of mail text the input holds,
// combined with the key. Damaged mail text, or mail text whose key is not the named one or not at hand, is refused with
// nothing written.
#include "BackgroundOutput.h"
#include "ByteSource.h"
#include "CipherKey.h"
#include "CipherLoop.h"
#include "CipherRequest.h"
#include "CliCommand.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "HeldBytes.h"
#include "ListedKey.h"
#include "MailTextReader.h"
#include "OutputTarget.h"
#include "OwnFiles.h"
#include "StrongCipher.h"
#include "TerminalText.h"
#include "TextMode.h"

#include <functional>
#include <string_view>

#include <iostream>
#include <memory>
#include <optional>
#include <utility>

namespace qbcli {

namespace {

// Where the combined bytes go: as they are, or with --text as UTF-8 with LF line ends.
class PlainOutput
{
public:
    PlainOutput(OutputTarget& output, bool text) : m_output(output)
    {
        if (text)
            m_decoder.emplace();
    }
    void write(const qb::MessagePiece& piece)
    {
        if (!m_decoder)
            return m_output.write(piece.bytes, piece.count);
        m_converted.clear();
        m_decoder->convert({reinterpret_cast<const char*>(piece.bytes), piece.count}, m_converted);
        m_output.write(m_converted.data(), m_converted.size());
    }

private:
    OutputTarget& m_output;
    std::optional<Utf8TextDecoder> m_decoder;
    std::string m_converted;
};

// The key decrypt combines with. Raw bytes take the key -r names. Mail text takes the key its Key line names: the
// named one when it matches, or without -r the first correspondent's in users.cfg that does; a block without a Key
// line takes the named one. A block whose key is not at hand is refused, should it stay the message.
class DecryptKeys
{
public:
    // Opens the named key, if a name is given.
    DecryptKeys(qb::Session& session, const std::string& name) : m_session(session), m_name(name)
    {
        if (!name.empty())
            m_named.emplace(session, name);
    }

    bool named() const { return m_named.has_value(); }
    // Reads the named key for a message of at most `mostBytes` bytes; raw bytes use it.
    void read(std::uint64_t mostBytes)
    {
        m_mostBytes = mostBytes;
        if (m_named) {
            m_namedKey.emplace(m_named->read(mostBytes));
            m_current = &*m_namedKey;
        }
    }
    // The key for the bytes that come now; none when the chosen block's key is not at hand.
    qb::RepeatingKey* current() { return m_current; }

    // A block that names the key of `fingerprint` (empty: none) is the message now; its key starts from its first
    // byte.
    void choose(const std::string& fingerprint)
    {
        m_current = nullptr;
        m_refusal.clear();
        m_holder.reset();
        if (m_named && (fingerprint.empty() || fingerprint == namedFingerprint())) {
            m_namedKey->restart();
            m_current = &*m_namedKey;
            return;
        }
        if (fingerprint.empty()) {
            m_refusal = "the mail text does not name its key: give -r NAME";
            return;
        }
        std::optional<std::string> holder;
        onUsersFile(m_session, [&] { holder = qb::CorrespondentFiles(m_session).firstHolderOf(fingerprint); });
        if (!holder)
            m_refusal = qb::noKeyHolderText(fingerprint);
        else if (m_named)
            m_refusal = "the message was encrypted with " + withVisibleControls(*holder) + "'s key, not " +
                        withVisibleControls(m_name) + "'s";
        if (!m_refusal.empty())
            return;
        m_found.reset();
        m_found.emplace(m_session, *holder);
        m_foundKey.emplace(m_found->read(m_mostBytes));
        m_current = &*m_foundKey;
        m_holder = holder;
    }

    // The key strong messages are made with, of the key the bytes that come now use.
    qb::StrongKey strongKey() { return m_found ? m_found->strongKey() : m_named->strongKey(); }
    // The correspondent whose key the bytes that come now use.
    const std::string& name() const { return m_holder ? *m_holder : m_name; }

    // Raises the reason the message's key is not at hand.
    void requireKey() const
    {
        if (!m_refusal.empty())
            throw qb::Error(m_refusal);
    }
    // Closes the keys; the name the Key line found, if it was not given.
    std::optional<std::string> finish()
    {
        if (m_named)
            m_named->finish();
        if (m_found)
            m_found->finish();
        return m_holder;
    }

private:
    const std::string& namedFingerprint()
    {
        if (!m_namedFingerprint)
            m_namedFingerprint = qb::CorrespondentFiles(m_session).keyFingerprint(m_name).value_or("");
        return *m_namedFingerprint;
    }

    qb::Session& m_session;
    std::string m_name;
    std::uint64_t m_mostBytes = 0;
    std::optional<ListedKey> m_named;
    std::optional<qb::RepeatingKey> m_namedKey;
    std::optional<std::string> m_namedFingerprint;
    std::optional<ListedKey> m_found;
    std::optional<qb::RepeatingKey> m_foundKey;
    std::optional<std::string> m_holder;
    qb::RepeatingKey* m_current = nullptr;
    std::string m_refusal;
};

// Combines the message `next` gives with the key: strong or classic, as its first bytes say, whatever the setting.
// A strong message's pieces come out only once authenticated; classic input for a correspondent set to strong is
// refused unless --classic. Returns whether the message was strong.
bool combine(qb::Session& session, const CliOptions& options, DecryptKeys& keys, const ByteSource& input,
             std::string_view head, const std::function<qb::MessagePiece()>& next,
             const std::function<void(const qb::MessagePiece&)>& write)
{
    const std::string shown = withVisibleControls(keys.name());
    if (qb::isStrongMessage(head)) {
        const auto refuse = [&] {
            throw FileError(input.shownName(), "the message cannot be decrypted with " + shown +
                                                   "'s key: it was changed, cut short or encrypted with another key");
        };
        try {
            const qb::StrongKey key = keys.strongKey();
            qb::StrongReader reader(key, [&](const unsigned char* bytes, std::size_t count) {
                write({const_cast<unsigned char*>(bytes), count});
            });
            reader.read(reinterpret_cast<const unsigned char*>(head.data()), head.size());
            for (qb::MessagePiece piece = next(); piece.count != 0; piece = next())
                reader.read(piece.bytes, piece.count);
            reader.finish();
        } catch (const qb::EKeyTooShort&) {
            refuse(); // no strong message was ever made with it
        } catch (const qb::EStrongMessageRefused&) {
            refuse();
        }
        return true;
    }
    const qb::CorrespondentPaths correspondent = session.correspondent(keys.name());
    if (!options.classic && qb::CorrespondentFiles(session).cipherOf(correspondent).cipher == qb::Cipher::Strong)
        throw qb::Error(shown + " uses strong encryption; the input is classic; use --classic to decrypt it anyway");
    std::string first(head);
    bool headGiven = head.empty();
    qb::combineMessage(
        *keys.current(),
        [&]() -> qb::MessagePiece {
            if (!std::exchange(headGiven, true))
                return {reinterpret_cast<unsigned char*>(first.data()), first.size()};
            return next();
        },
        write);
    return false;
}

void decrypt(qb::Session& session, const CliOptions& options)
{
    const CipherRequest request(options);
    // Opened in this order: the named key, the input, the output.
    DecryptKeys keys(session, request.correspondent);
    ByteSource input(session.io, request.input);
    keys.read(input.mostBytes());
    const std::unique_ptr<OutputTarget> target = openOutput(session.io, request.output);
    BackgroundOutput output(*target);
    PlainOutput plain(output, request.text);
    const auto write = [&](const qb::MessagePiece& piece) { plain.write(piece); };
    std::vector<unsigned char> chunk(kChunkSize);

    // Whether the input is mail text is settled before anything is written, so raw bytes stream through as they are
    // combined. A regular file is searched whole for a begin line, as the window does; a stream is mail text when a
    // block begins in its first chunk. Raw bytes are combined only with a named key, and not when mail text is asked
    // for.
    const bool rawAllowed = keys.named() && !request.armor;
    qb::MailTextReader mailText;
    std::string decoded;
    std::size_t count = 0;
    // A file that begins as a strong message is one: mail text never begins with its signature, so the file need not
    // be searched.
    bool raw = false;
    if (rawAllowed && input.isRegularFile()) {
        count = input.readFull(chunk.data(), chunk.size());
        raw = qb::isStrongMessage(asText(chunk, count));
        if (!raw) {
            input.rewind();
            count = 0;
            raw = !input.holds(qb::kMailTextBegin);
        }
    }
    if (rawAllowed && !input.isRegularFile()) {
        count = input.readFull(chunk.data(), chunk.size());
        mailText.read(asText(chunk, count), decoded);
        raw = !mailText.foundBlock();
    }
    bool strong = false;
    if (!raw) {
        // The block's bytes are held until its checksum is verified; the key it names is known only then too.
        HeldBytes held(session);
        int chosen = 0;
        const auto hold = [&] {
            if (mailText.chosenBlock() != chosen) {
                chosen = mailText.chosenBlock();
                held.clear();
            }
            held.append(decoded);
            decoded.clear();
        };
        hold();
        while ((count = input.read(chunk.data(), chunk.size())) != 0) {
            mailText.read(asText(chunk, count), decoded);
            hold();
        }
        if (mailText.finish(decoded)) {
            hold();
            keys.choose(mailText.keyFingerprint());
            keys.requireKey();
            const auto readBack = [&]() -> qb::MessagePiece {
                return {chunk.data(), held.readBack(chunk.data(), chunk.size())};
            };
            const qb::MessagePiece head = readBack();
            strong = combine(session, options, keys, input, {reinterpret_cast<const char*>(head.bytes), head.count},
                             readBack, write);
        } else if (rawAllowed && input.isRegularFile()) {
            // A begin line that starts no block: the file is raw bytes after all.
            input.rewind();
            raw = true;
        } else {
            // The hint holds only where raw input would have been taken with a name.
            throw qb::Error(keys.named() || request.armor ? "no mail text found"
                                                          : "no mail text found (raw input needs -r NAME)");
        }
    }
    if (raw) {
        // What was read to decide comes first; a file is read far enough to see whether it is a strong message.
        if (count == 0)
            count = input.readFull(chunk.data(), chunk.size());
        const std::string head(reinterpret_cast<const char*>(chunk.data()), count);
        strong = combine(
            session, options, keys, input, head,
            [&]() -> qb::MessagePiece {
                return {chunk.data(), input.read(chunk.data(), chunk.size())};
            },
            write);
    }
    const std::string name = keys.name();
    const std::optional<std::string> holder = keys.finish();
    input.finish();
    output.commit();
    if (holder)
        std::cerr << kProgramName << ": decrypted with " << withVisibleControls(*holder) << "'s key\n";
    // Only a holder of the key could have made a strong message: the correspondent uses strong encryption.
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    const qb::CorrespondentFiles files(session);
    if (strong && files.cipherOf(correspondent).cipher != qb::Cipher::Strong) {
        files.setCipher(correspondent, qb::Cipher::Strong);
        std::cerr << kProgramName << ": strong encryption is now on for " << withVisibleControls(name) << "\n";
    }
}

} // namespace

const CliCommand kDecryptCommand = {
    "decrypt",
    0,
    1,
    kRecipientOption | kOutputOption | kArmorOption | kTextOption | kClassicOption,
    CliCommand::Operand::Other,
    "decrypt [-r NAME] [--classic] [--armor] [--text] [-o OUT] [FILE]",
    {"the same backwards; FILE may hold raw bytes (with -r) or mail",
     "text, whose Key line names the key (without -r, the first listed", "correspondent that holds it)"},
    nullptr,
    decrypt,
};

} // namespace qbcli
