// quillbox-cli: the commands of Quillbox 97 for scripts and terminal mail programs, on the same core as the window.
#include "CipherCommands.h"
#include "CliErrors.h"
#include "CliOptions.h"
#include "DataDirectory.h"
#include "ListedKey.h"
#include "OutputTarget.h"
#include "RecipientCommands.h"
#include "TextMode.h"

#include "CoreDumps.h"
#include "CorrespondentPaths.h"
#include "Errors.h"
#include "IoCodes.h"
#include "RemovalOnSignal.h"
#include "Session.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>

namespace {

constexpr int kUsageStatus = 2;
constexpr std::chrono::seconds kLockWait{10};

void complain(const std::string& text)
{
    std::cerr << qbcli::kProgramName << ": " << text << "\n";
}

void printText(const std::string& text)
{
    qb::IoContext io;
    const auto output = qbcli::openOutput(io, "");
    output->write(text.data(), text.size());
    output->commit();
}

// The name as users.cfg holds it. Given in UTF-8, it is looked for in the window's windows-1252 spelling first, then
// as given (an earlier version stored UTF-8); a name not listed yet takes the window's spelling.
std::string storedName(qb::Session& session, const std::string& given)
{
    const std::optional<std::string> windows = qbcli::windowsSpelling(given);
    if (!windows || *windows == given)
        return given;
    bool windowsListed = false;
    bool givenListed = false;
    qbcli::readUsersFile(session, [&](const std::string& line) {
        windowsListed = windowsListed || line == *windows;
        givenListed = givenListed || line == given;
    });
    return windowsListed || !givenListed ? *windows : given;
}

// Refuses a name for a new correspondent that the window could neither show nor type, naming the character, or one
// that may not become a correspondent (qb::requireRegistrableName), naming the name.
void requireRegistrable(const std::string& given)
{
    if (const std::optional<char32_t> lacking = qbcli::characterWindowsLacks(given))
        throw qbcli::FileError(given, "holds a character the window cannot show: " + qbcli::characterCode(*lacking));
    qbcli::checkName(given, [&] { qb::requireRegistrableName(qbcli::windowsSpelling(given).value_or(given)); });
}

void run(qbcli::CliOptions options)
{
    using Command = qbcli::CliOptions::Command;
    if (options.command == Command::Help)
        return printText(qbcli::helpText());
    if (options.command == Command::Version)
        return printText(qbcli::versionText());

    const std::string dataDirectory = qbcli::chooseDataDirectory(options.dataDirectory);
    // Registering makes the data directory as the window's launcher does, once the name is known to be usable; the
    // other commands only read it.
    if (options.command == Command::Add || options.command == Command::Import) {
        requireRegistrable(options.operands[0]);
        qbcli::makeDataDirectory(dataDirectory);
    }
    qb::Session session;
    // A script can wait longer than a window's event loop for another copy to finish with a file.
    session.io.waitForLocks(kLockWait);
    qbcli::enterDataDirectory(session, dataDirectory);

    if (!options.recipient.empty())
        options.recipient = storedName(session, options.recipient);
    const bool namesCorrespondent = options.command == Command::Add || options.command == Command::Import ||
                                    options.command == Command::Export || options.command == Command::Fingerprint;
    if (namesCorrespondent)
        options.operands[0] = storedName(session, options.operands[0]);
    const qbcli::CipherRequest cipher{options.recipient, options.operands.empty() ? "" : options.operands[0],
                                      options.output, options.armor, options.text};
    switch (options.command) {
    case Command::Encrypt:
        return qbcli::encryptStream(session, cipher);
    case Command::Decrypt:
        return qbcli::decryptStream(session, cipher);
    case Command::Recipients:
        return qbcli::listRecipients(session, options.longListing);
    case Command::Add:
        return qbcli::addRecipient(session, options.operands[0], options.force);
    case Command::Import:
        return qbcli::importRecipient(session, options.operands[0], options.operands[1]);
    case Command::Export:
        return qbcli::exportKey(session, options.operands[0], options.output);
    case Command::Fingerprint:
        return qbcli::showFingerprint(session, options.operands[0]);
    case Command::Programs:
        return qbcli::listMailPrograms(session);
    case Command::Help:
    case Command::Version:
        break;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    qb::disableCoreDumps();
    qb::removeTemporaryFilesOnSignals();
    qbcli::CliOptions options;
    try {
        options = qbcli::parseOptions(argc, argv);
    } catch (const qbcli::UsageError& error) {
        complain(error.what());
        std::cerr << "Try '" << qbcli::kProgramName << " --help' for more information.\n";
        return kUsageStatus;
    }
    try {
        run(options);
        return EXIT_SUCCESS;
    } catch (const qb::EKeyInUse& error) {
        complain(qbcli::keyInUseText(error.name()));
    } catch (const qb::Error& error) {
        complain(error.what());
    } catch (const qb::EAbort&) {
        // A silent stop of a core rule: nothing was done, and the window would say nothing either.
    } catch (const std::bad_alloc&) {
        complain(qb::ioErrorMessage(qb::IoCode::NotEnoughMemory));
    }
    return EXIT_FAILURE;
}
