// quillbox-cli encrypt: the window's Encrypt on a stream, the bytes combined with the recipient's key, as they are or
// as mail text.
#include "BackgroundOutput.h"
#include "ByteSource.h"
#include "CipherKey.h"
#include "CipherLoop.h"
#include "CipherRequest.h"
#include "CliCommand.h"
#include "CliErrors.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "ListedKey.h"
#include "MailText.h"
#include "OutputTarget.h"
#include "OwnFiles.h"
#include "TerminalText.h"
#include "TextMode.h"

#include <iostream>

#include <cstdint>
#include <memory>
#include <optional>

namespace qbcli {

namespace {

// The cipher of this run: as asked, else the correspondent's setting. While NAME is set to strong, NAME's key makes no
// classic message: the key could be recovered from it, and then read every strong one.
qb::Cipher chosenCipher(qb::Session& session, const CliOptions& options)
{
    const qb::CorrespondentPaths correspondent = session.correspondent(options.correspondent);
    const qb::CipherSetting setting = cipherSetting(session, correspondent, !options.strong);
    if (options.classic && setting.cipher == qb::Cipher::Strong)
        throw qb::Error(withVisibleControls(options.correspondent) +
                        " uses strong encryption; a classic message with that key could give the key away");
    return options.strong ? qb::Cipher::Strong : options.classic ? qb::Cipher::Classic : setting.cipher;
}

void encrypt(qb::Session& session, const CliOptions& options)
{
    const CipherRequest request(options);
    // Opened in this order: the key, the input, the output.
    ListedKey keyFile(session, request.correspondent);
    const qb::Cipher cipher = chosenCipher(session, options);
    std::optional<qb::StrongKey> strongKey;
    if (cipher == qb::Cipher::Strong)
        strongKey.emplace(keyFile.strongKey());
    ByteSource input(session.io, request.input);
    // Text gains at most a CR a line, so twice the input bounds the key a message can use.
    const std::uint64_t most = input.mostBytes();
    std::optional<qb::RepeatingKey> key;
    if (!strongKey)
        key.emplace(keyFile.read(request.text && most < UINT64_MAX / 2 ? 2 * most : most));
    const std::unique_ptr<OutputTarget> target = openOutput(session.io, request.output);
    if (!request.armor && target->isTerminal())
        throw qb::Error("refusing to write ciphertext to a terminal; use --armor or -o");
    BackgroundOutput output(*target);

    std::string text;
    std::optional<qb::MailTextWriter> armor;
    // Mail text names its key, so the reader can pick it.
    if (request.armor)
        armor.emplace(text, qb::CorrespondentFiles(session).keyFingerprint(request.correspondent).value_or(""));
    std::optional<WindowsTextEncoder> encoder;
    if (request.text)
        encoder.emplace(input.shownName());
    std::vector<unsigned char> chunk(kChunkSize);
    std::string converted;
    const auto next = [&]() -> qb::MessagePiece {
        if (!encoder)
            return {chunk.data(), input.read(chunk.data(), chunk.size())};
        // A piece of text may convert to nothing yet (a character split between reads): read on.
        converted.clear();
        while (converted.empty()) {
            const std::size_t count = input.read(chunk.data(), chunk.size());
            if (count == 0) {
                encoder->finish();
                break;
            }
            encoder->convert(asText(chunk, count), converted);
        }
        return {reinterpret_cast<unsigned char*>(converted.data()), converted.size()};
    };
    const auto write = [&](const unsigned char* bytes, std::size_t count) {
        if (!armor)
            return output.write(bytes, count);
        armor->write({reinterpret_cast<const char*>(bytes), count}, text);
        output.write(text.data(), text.size());
        text.clear();
    };
    if (strongKey) {
        qb::StrongWriter writer(*strongKey, write);
        for (qb::MessagePiece piece = next(); piece.count != 0; piece = next())
            writer.write(piece.bytes, piece.count);
        writer.finish();
    } else {
        qb::combineMessage(*key, next, [&](const qb::MessagePiece& piece) { write(piece.bytes, piece.count); });
    }
    if (armor) {
        armor->finish(text);
        output.write(text.data(), text.size());
    }
    keyFile.finish();
    input.finish();
    output.commit();
}

} // namespace

const CliCommand kEncryptCommand = {
    "encrypt",
    0,
    1,
    kRecipientOption | kOutputOption | kArmorOption | kTextOption | kStrongOption | kClassicOption,
    CliCommand::Operand::Other,
    "encrypt -r NAME [--strong|--classic] [--armor] [--text] [-o OUT] [FILE]",
    {"combine FILE (or standard input) with NAME's key"},
    [](const CliOptions& options) {
        // Mail text names its key, so decrypt finds the correspondent itself; encrypt has to be told.
        if (options.correspondent.empty())
            throw UsageError("encrypt: -r NAME is required");
        if (options.strong && options.classic)
            throw UsageError("encrypt: --strong and --classic exclude each other");
    },
    encrypt,
};

} // namespace qbcli
