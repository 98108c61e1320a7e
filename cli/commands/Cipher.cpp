// quillbox-cli cipher: which cipher encrypt uses for a correspondent, shown or set. Strong encryption is only as safe
// as a key that never carried classic messages, so turning it on says so when the key is kept, and --new-key gives
// the correspondent a new key first.
#include "CliCommand.h"
#include "CliErrors.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "ListedKey.h"
#include "OutputTarget.h"
#include "OwnFiles.h"
#include "TerminalText.h"

#include <iostream>

namespace qbcli {

namespace {

void requireSetting(const CliOptions& options)
{
    if (options.operands.size() < 2) {
        if (options.newKey)
            throw UsageError("cipher: --new-key goes with strong");
        return;
    }
    const std::string& setting = options.operands[1];
    if (setting != "strong" && setting != "classic")
        throw UsageError("cipher: '" + withVisibleControls(setting) + "' is neither strong nor classic");
    if (options.newKey && setting != "strong")
        throw UsageError("cipher: --new-key goes with strong");
}

void cipher(qb::Session& session, const CliOptions& options)
{
    const std::string& name = options.operands[0];
    requireListed(session, name);
    const qb::CorrespondentFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    const std::string shown = withVisibleControls(name);
    if (options.operands.size() == 1) {
        const qb::CipherSetting setting = cipherSetting(session, correspondent);
        LinePrinter(session.io).print(qb::cipherWord(setting.cipher));
        return;
    }
    if (options.operands[1] == "classic") {
        files.setCipher(correspondent, qb::Cipher::Classic);
        return;
    }
    if (!files.hasKey(correspondent))
        throw qb::Error(noKeyText(session, name));
    if (options.newKey)
        onKey(session, correspondent, [&] { files.writeGeneratedKey(correspondent, true); });
    files.setCipher(correspondent, qb::Cipher::Strong);
    if (options.newKey)
        std::cerr << kProgramName << ": " << shown << " has a new key; give " << shown
                  << " a copy (quillbox-cli export " << shown << ")\n";
    else
        std::cerr << kProgramName << ": " << shown
                  << "'s key is kept: strong encryption is only as safe as a key that never carried classic "
                     "messages (--new-key makes a new one)\n";
}

} // namespace

const CliCommand kCipherCommand = {
    "cipher",
    1,
    2,
    kNewKeyOption,
    CliCommand::Operand::Correspondent,
    "cipher [--new-key] NAME [strong|classic]",
    {"show which cipher encrypt uses for NAME, or set it; strong keeps", "NAME's key unless --new-key makes a new one"},
    requireSetting,
    cipher,
};

} // namespace qbcli
