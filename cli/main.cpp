// quillbox-cli: the commands of Quillbox 97 for scripts and terminal mail programs, on the same core as the window.
#include "CliCommand.h"
#include "CliErrors.h"
#include "CliOptions.h"
#include "DataDirectory.h"
#include "ListedKey.h"
#include "OutputTarget.h"
#include "OwnFiles.h"
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
    if (options.help)
        return printText(qbcli::helpText());
    if (options.version)
        return printText(qbcli::versionText());

    const qbcli::CliCommand& command = *options.command;
    using Operand = qbcli::CliCommand::Operand;
    const std::string dataDirectory = qbcli::chooseDataDirectory(options.dataDirectory);
    // Registering makes the data directory as the window's launcher does, once the name is known to be usable; the
    // other commands only read it.
    if (command.operand == Operand::NewCorrespondent) {
        requireRegistrable(options.operands[0]);
        qbcli::makeDataDirectory(dataDirectory);
    }
    qb::Session session;
    // A script can wait longer than a window's event loop for another copy to finish with a file.
    session.io.waitForLocks(kLockWait);
    qbcli::enterDataDirectory(session, dataDirectory);

    if (!options.correspondent.empty())
        options.correspondent = storedName(session, options.correspondent);
    if (command.operand != Operand::Other)
        options.operands[0] = storedName(session, options.operands[0]);
    command.run(session, options);
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
