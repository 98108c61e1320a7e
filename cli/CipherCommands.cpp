#include "CipherCommands.h"

#include "ByteSource.h"
#include "CipherKey.h"
#include "CliOptions.h"
#include "Errors.h"
#include "HeldBytes.h"
#include "ListedKey.h"
#include "MailText.h"
#include "OutputTarget.h"
#include "RecipientCommands.h"
#include "RecipientFiles.h"
#include "TerminalText.h"

#include <iostream>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace qbcli {

namespace {

// Bytes combined at a time: large enough that system calls vanish, small enough to keep memory flat.
constexpr std::size_t kChunkSize = 1 << 20;

// What encrypt works with, opened in this order: the key, the input, the output; and a chunk of the message.
struct CipherRun
{
    CipherRun(qb::Session& session, const CipherRequest& request)
        : keyFile(session, request.recipient), input(session.io, request.input), key(keyFile.read(input.mostBytes())),
          output(openOutput(session.io, request.output)), chunk(kChunkSize)
    {
    }

    // Reads the next chunk; 0 at the end of the input.
    std::size_t next() { return input.read(chunk.data(), chunk.size()); }
    // The whole input is done: closes the key and the input and puts the result in place.
    void finish()
    {
        keyFile.finish();
        input.finish();
        output->commit();
    }

    ListedKey keyFile;
    ByteSource input;
    qb::RepeatingKey key;
    std::unique_ptr<OutputTarget> output;
    std::vector<unsigned char> chunk;
};

std::string_view asText(const std::vector<unsigned char>& bytes, std::size_t count)
{
    return {reinterpret_cast<const char*>(bytes.data()), count};
}

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
        const std::optional<std::string> holder = qb::RecipientFiles(m_session).firstHolderOf(fingerprint);
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
            m_namedFingerprint = qb::RecipientFiles(m_session).keyFingerprint(m_name).value_or("");
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

} // namespace

void encryptStream(qb::Session& session, const CipherRequest& request)
{
    CipherRun run(session, request);
    std::string text;
    std::optional<qb::MailTextWriter> armor;
    // Mail text names its key, so the reader can pick it.
    if (request.armor)
        armor.emplace(text, qb::RecipientFiles(session).keyFingerprint(request.recipient).value_or(""));
    while (const std::size_t count = run.next()) {
        run.key.combine(run.chunk.data(), count);
        if (!armor) {
            run.output->write(run.chunk.data(), count);
            continue;
        }
        armor->write(asText(run.chunk, count), text);
        run.output->write(text.data(), text.size());
        text.clear();
    }
    if (armor) {
        armor->finish(text);
        run.output->write(text.data(), text.size());
    }
    run.finish();
}

void decryptStream(qb::Session& session, const CipherRequest& request)
{
    // Opened in this order: the named key, the input, the output.
    DecryptKeys keys(session, request.recipient);
    ByteSource input(session.io, request.input);
    keys.read(input.mostBytes());
    const std::unique_ptr<OutputTarget> output = openOutput(session.io, request.output);
    const auto combineAndWrite = [&](unsigned char* bytes, std::size_t count) {
        keys.current()->combine(bytes, count);
        output->write(bytes, count);
    };
    std::vector<unsigned char> chunk(kChunkSize);

    // Whether the input is mail text is settled before anything is written, so raw bytes stream through as they are
    // combined. A regular file is searched whole for a begin line, as the window does; a stream is mail text when a
    // block begins in its first chunk. Raw bytes are combined only with a named key, and not when mail text is asked
    // for.
    const bool rawAllowed = keys.named() && !request.armor;
    qb::MailTextReader mailText;
    std::string decoded;
    std::size_t count = 0;
    bool raw = rawAllowed && input.isRegularFile() && !input.holds(qb::kMailTextBegin);
    if (rawAllowed && !input.isRegularFile()) {
        count = input.readFull(chunk.data(), chunk.size());
        mailText.read(asText(chunk, count), decoded);
        raw = !mailText.foundBlock();
    }
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
            held.replay(combineAndWrite);
        } else if (rawAllowed && input.isRegularFile()) {
            // A begin line that starts no block: the file is raw bytes after all.
            input.rewind();
            raw = true;
        } else {
            throw qb::Error(keys.named() ? "no mail text found" : "no mail text found (raw input needs -r NAME)");
        }
    }
    if (raw) {
        if (count != 0)
            combineAndWrite(chunk.data(), count);
        while ((count = input.read(chunk.data(), chunk.size())) != 0)
            combineAndWrite(chunk.data(), count);
    }
    const std::optional<std::string> holder = keys.finish();
    input.finish();
    output->commit();
    if (holder)
        std::cerr << kProgramName << ": decrypted with " << withVisibleControls(*holder) << "'s key\n";
}

} // namespace qbcli
