#include "RecipientCommands.h"

#include "CliErrors.h"
#include "DataDirectory.h"
#include "Errors.h"
#include "IoCodes.h"
#include "ListFiles.h"
#include "OutputTarget.h"
#include "RecipientFiles.h"
#include "TerminalText.h"

#include <iostream>
#include <optional>

namespace qbcli {

namespace {

// Lines for standard output, which only an empty list leaves empty.
class LinePrinter
{
public:
    LinePrinter(qb::IoContext& io) : m_output(openOutput(io, "")) {}
    void print(const std::string& line)
    {
        m_output->write(line.data(), line.size());
        m_output->write("\n", 1);
    }

private:
    std::unique_ptr<OutputTarget> m_output;
};

const char* const kUsersFileBusy = "users.cfg is in use by another Quillbox";

// Runs a step on users.cfg, saying in words when another copy held it for longer than the wait for locks.
template <typename Step> auto onUsersFile(Step step)
{
    try {
        return step();
    } catch (const qb::EInOutError& error) {
        if (error.code() == qb::IoCode::SharingViolation)
            throw qb::Error(kUsersFileBusy);
        throw;
    }
}

// The list must take the name; the window offers to create a missing one, and a script means yes. Another copy may
// be making it at the same moment: one that appears meanwhile is used, never replaced.
void prepareRegistration(qb::Session& session, const qb::RecipientFiles& files,
                         const qb::CorrespondentPaths& correspondent)
{
    correspondent.requireRegistrable();
    onUsersFile([&] {
        if (!files.usersFileReady())
            qb::createListUnlessPresent(session.io, session.usersFilePath());
    });
    files.makeFolder(correspondent);
}

} // namespace

void readUsersFile(qb::Session& session, const std::function<void(const std::string&)>& onName)
{
    const int code = onUsersFile([&] { return qb::RecipientFiles(session).readNames(onName); });
    if (code == qb::IoCode::SharingViolation)
        throw qb::Error(kUsersFileBusy);
    if (code != 0 && code != qb::IoCode::FileNotFound)
        throw FileError(session.usersFilePath(), qb::ioErrorMessage(code));
}

void listRecipients(qb::Session& session)
{
    LinePrinter printer(session.io);
    // An empty list reads as one empty line; no name is empty.
    readUsersFile(session, [&](const std::string& name) {
        if (!name.empty())
            printer.print(withVisibleControls(name));
    });
}

void addRecipient(qb::Session& session, const std::string& name)
{
    const qb::RecipientFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    prepareRegistration(session, files, correspondent);
    files.writeGeneratedKey(correspondent);
    onUsersFile([&] { files.list(name); });
}

void importRecipient(qb::Session& session, const std::string& name, const std::string& keyFile)
{
    const qb::RecipientFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    prepareRegistration(session, files, correspondent);
    if (files.hasKey(correspondent)) {
        // As the window does: a key already there is kept, and the name listed.
        onUsersFile([&] { files.list(name); });
        std::cerr << "quillbox-cli: " << withVisibleControls(name) << " already has a key, which was kept; " << keyFile
                  << " was not used\n";
        return;
    }
    qb::KeyImport import(session.io, correspondent);
    if (!import.openSource(absolutePath(keyFile)))
        throw FileError(keyFile, qb::ioErrorMessage(import.sourceError()));
    import.copyAndFinish();
    onUsersFile([&] { files.list(name); });
}

void listMailPrograms(qb::Session& session)
{
    LinePrinter printer(session.io);
    // Records of two lines: the name, then the command line that starts it.
    std::optional<std::string> name;
    qb::readListFile(session.io, session.mailFilePath(), [&](const std::string& line) {
        if (!name) {
            name = line;
            return;
        }
        printer.print(*name + "\t" + line);
        name.reset();
    });
    // An empty list reads as one empty line; a name without its command line is shown as the window shows it.
    if (name && !name->empty())
        printer.print(*name + "\t");
}

} // namespace qbcli
