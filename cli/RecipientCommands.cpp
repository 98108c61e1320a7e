#include "RecipientCommands.h"

#include "CliErrors.h"
#include "DataDirectory.h"
#include "Errors.h"
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
    LinePrinter(qb::IoContext& io) : m_output(openOutput(io, "", Retraction::Never)) {}
    void print(const std::string& line)
    {
        m_output->write(line.data(), line.size());
        m_output->write("\n", 1);
    }

private:
    std::unique_ptr<OutputTarget> m_output;
};

// The list must take the name; the window offers to create a missing one, and a script means yes.
void prepareRegistration(const qb::RecipientFiles& files, const qb::CorrespondentPaths& correspondent)
{
    correspondent.requireRegistrable();
    if (!files.usersFileReady())
        files.createUsersFile();
    files.makeFolder(correspondent);
}

} // namespace

void listRecipients(qb::Session& session)
{
    LinePrinter printer(session.io);
    // An empty list reads as one empty line; no name is empty.
    qb::RecipientFiles(session).readNames([&](const std::string& name) {
        if (!name.empty())
            printer.print(withVisibleControls(name));
    });
}

void addRecipient(qb::Session& session, const std::string& name)
{
    const qb::RecipientFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    prepareRegistration(files, correspondent);
    files.writeGeneratedKey(correspondent);
    files.list(name);
}

void importRecipient(qb::Session& session, const std::string& name, const std::string& keyFile)
{
    const qb::RecipientFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    prepareRegistration(files, correspondent);
    if (files.hasKey(correspondent)) {
        // As the window does: a key already there is kept, and the name listed.
        files.list(name);
        std::cerr << "quillbox-cli: " << withVisibleControls(name) << " already has a key, which was kept; " << keyFile
                  << " was not used\n";
        return;
    }
    qb::KeyImport import(session.io, correspondent);
    if (!import.openSource(absolutePath(keyFile)))
        throw FileError(keyFile, qb::ioErrorMessage(import.sourceError()));
    import.copyAndFinish();
    files.list(name);
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
