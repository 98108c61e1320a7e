#include "CipherCommands.h"

#include "ByteSource.h"
#include "CipherKey.h"
#include "CorrespondentKey.h"
#include "Errors.h"
#include "MailText.h"
#include "OutputTarget.h"
#include "RecipientFiles.h"
#include "Recipients.h"

#include <optional>
#include <string_view>
#include <vector>

namespace qbcli {

namespace {

// Bytes combined at a time: large enough that system calls vanish, small enough to keep memory flat.
constexpr std::size_t kChunkSize = 1 << 20;

// The recipient's key, held from before the first byte until finish; only correspondents in the list have one.
class RecipientKey
{
public:
    RecipientKey(qb::Session& session, const std::string& name) : m_file(session, listedName(session, name))
    {
        if (!m_file.isOpen())
            throw qb::Error(qb::kSelectRecipientWarning);
    }

    // Reads the key for a message of at most `mostBytes` bytes.
    qb::RepeatingKey read(std::uint64_t mostBytes) { return qb::RepeatingKey(m_file.readPass(mostBytes)); }
    void finish() { m_file.finish(); }

private:
    static const std::string& listedName(qb::Session& session, const std::string& name)
    {
        qb::requireRecipientName(name);
        bool listed = false;
        qb::RecipientFiles(session).readNames([&](const std::string& line) { listed = listed || line == name; });
        if (!listed)
            throw qb::Error("unknown recipient " + name + " (see quillbox-cli recipients)");
        return name;
    }

    qb::CorrespondentKey m_file;
};

std::string_view asText(const std::vector<unsigned char>& bytes, std::size_t count)
{
    return {reinterpret_cast<const char*>(bytes.data()), count};
}

} // namespace

void encryptStream(qb::Session& session, const CipherRequest& request)
{
    RecipientKey keyFile(session, request.recipient);
    ByteSource input(session.io, request.input);
    qb::RepeatingKey key = keyFile.read(input.mostBytes());
    const auto output = openOutput(session.io, request.output, Retraction::Never);

    std::vector<unsigned char> chunk(kChunkSize);
    std::string text;
    std::optional<qb::MailTextWriter> armor;
    if (request.armor)
        armor.emplace(text);
    while (const std::size_t count = input.read(chunk.data(), chunk.size())) {
        key.combine(chunk.data(), count);
        if (!armor) {
            output->write(chunk.data(), count);
            continue;
        }
        armor->write(asText(chunk, count), text);
        output->write(text.data(), text.size());
        text.clear();
    }
    if (armor) {
        armor->finish(text);
        output->write(text.data(), text.size());
    }
    keyFile.finish();
    input.finish();
    output->commit();
}

void decryptStream(qb::Session& session, const CipherRequest& request)
{
    RecipientKey keyFile(session, request.recipient);
    ByteSource input(session.io, request.input);
    qb::RepeatingKey key = keyFile.read(input.mostBytes());
    // Until the input has ended it is not known whether it holds mail text, nor whether that is whole.
    const auto output = openOutput(session.io, request.output, Retraction::Possible);

    std::vector<unsigned char> chunk(kChunkSize);
    qb::MailTextReader mailText;
    std::string decoded;
    bool readingMailText = false;
    // Once a block of mail text begins, its bytes are the message and everything before it goes.
    const auto emitDecoded = [&] {
        if (!readingMailText) {
            readingMailText = true;
            output->restart();
            key.restart();
        }
        key.combine(reinterpret_cast<unsigned char*>(decoded.data()), decoded.size());
        output->write(decoded.data(), decoded.size());
        decoded.clear();
    };
    while (const std::size_t count = input.read(chunk.data(), chunk.size())) {
        mailText.read(asText(chunk, count), decoded);
        if (mailText.foundBlock()) {
            emitDecoded();
            continue;
        }
        key.combine(chunk.data(), count);
        output->write(chunk.data(), count);
    }
    if (mailText.finish(decoded))
        emitDecoded();
    keyFile.finish();
    input.finish();
    output->commit();
}

} // namespace qbcli
