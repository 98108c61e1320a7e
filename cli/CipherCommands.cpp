#include "CipherCommands.h"

#include "ByteSource.h"
#include "CipherKey.h"
#include "ListedKey.h"
#include "MailText.h"
#include "OutputTarget.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace qbcli {

namespace {

// Bytes combined at a time: large enough that system calls vanish, small enough to keep memory flat.
constexpr std::size_t kChunkSize = 1 << 20;

// What both commands work with, opened in this order: the key, the input, the output; and a chunk of the message.
struct CipherRun
{
    CipherRun(qb::Session& session, const CipherRequest& request, Retraction retraction)
        : keyFile(session, request.recipient), input(session.io, request.input),
          key(keyFile.file().readPass(input.mostBytes())), output(openOutput(session.io, request.output, retraction)),
          chunk(kChunkSize)
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

} // namespace

void encryptStream(qb::Session& session, const CipherRequest& request)
{
    CipherRun run(session, request, Retraction::Never);
    std::string text;
    std::optional<qb::MailTextWriter> armor;
    if (request.armor)
        armor.emplace(text);
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
    // Until the input has ended it is not known whether it holds mail text, nor whether that is whole.
    CipherRun run(session, request, Retraction::Possible);
    qb::MailTextReader mailText;
    std::string decoded;
    bool readingMailText = false;
    // Once a block of mail text begins, its bytes are the message and everything before it goes.
    const auto emitDecoded = [&] {
        if (!readingMailText) {
            readingMailText = true;
            run.output->restart();
            run.key.restart();
        }
        run.key.combine(reinterpret_cast<unsigned char*>(decoded.data()), decoded.size());
        run.output->write(decoded.data(), decoded.size());
        decoded.clear();
    };
    while (const std::size_t count = run.next()) {
        mailText.read(asText(run.chunk, count), decoded);
        if (mailText.foundBlock()) {
            emitDecoded();
            continue;
        }
        run.key.combine(run.chunk.data(), count);
        run.output->write(run.chunk.data(), count);
    }
    if (mailText.finish(decoded))
        emitDecoded();
    run.finish();
}

} // namespace qbcli
