// quillbox-cli recipients: the correspondents of users.cfg, one a line, in its order; with --long a tab, the key's
// fingerprint, a tab, its length, a tab and the cipher encrypt uses, or a tab and "(no key)".
#include "CliCommand.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "ListedKey.h"
#include "OutputTarget.h"
#include "OwnFiles.h"
#include "TerminalText.h"

#include <iostream>
#include <optional>

namespace qbcli {

namespace {

// What `recipients --long` prints after a listed name. A name or key no command could use (not one folder name, a
// link among the program's own files) holds no key, and does not end the listing of the others.
std::string keyColumns(qb::Session& session, const std::string& name)
{
    try {
        qb::requireFolderName(name);
        const qb::CorrespondentFiles files(session);
        if (const std::optional<qb::KeySummary> summary = files.keySummary(name))
            return summary->fingerprint + "\t" + std::to_string(summary->length) + "\t" +
                   qb::cipherWord(files.cipherOf(session.correspondent(name)).cipher);
    } catch (const qb::EKeyInUse&) {
        throw;
    } catch (const qb::EInOutError&) {
    }
    return "(no key)";
}

void listRecipients(qb::Session& session, const CliOptions& options)
{
    const bool withKeys = options.longListing;
    LinePrinter printer(session.io);
    bool allShown = true;
    // An empty list reads as one empty line; no name is empty.
    std::size_t lineNumber = 0;
    readUsersFile(
        session,
        [&](const std::string& name) {
            ++lineNumber;
            if (name.empty())
                return;
            const std::string shown = withVisibleControls(name);
            if (!withKeys)
                return printer.print(shown);
            // A key another copy holds is said on its own line of the error output, as ls says a file it cannot
            // read; the others are listed all the same, and the exit status tells the listing is not whole.
            try {
                printer.print(shown + "\t" + keyColumns(session, name));
            } catch (const qb::EKeyInUse& error) {
                std::cerr << kProgramName << ": " << keyInUseText(error.name()) << "\n";
                allShown = false;
            }
        },
        [&] {
            ++lineNumber;
            // No name is that long: the line is no correspondent, and the long listing says so.
            if (withKeys)
                std::cerr << kProgramName << ": users.cfg: line " << lineNumber
                          << " is longer than a name can be; skipped\n";
        });
    if (!allShown)
        qb::Abort();
}

} // namespace

const CliCommand kRecipientsCommand = {
    "recipients",
    0,
    0,
    kLongOption,
    CliCommand::Operand::Other,
    "recipients [--long]",
    {"list the correspondents, one a line, in the order registered; with",
     "--long: NAME, a tab, the key's fingerprint, a tab, the key's length,",
     "a tab and the cipher encrypt uses, classic or strong (or NAME, a tab", "and \"(no key)\")"},
    nullptr,
    listRecipients,
};

} // namespace qbcli
