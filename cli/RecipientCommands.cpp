#include "RecipientCommands.h"

#include "CliErrors.h"
#include "CliOptions.h"
#include "CorrespondentFiles.h"
#include "DataDirectory.h"
#include "Errors.h"
#include "IoCodes.h"
#include "KeyExport.h"
#include "KeyFingerprint.h"
#include "ListFiles.h"
#include "ListedKey.h"
#include "OutputTarget.h"
#include "TerminalText.h"

#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

// Runs a step on one of the program's own files at `path`, naming it and the reason when the step fails; `busy` raises
// what is said instead when another copy held the file for longer than the wait for locks.
template <typename Busy, typename Step>
auto onOwnFile(qb::Session& session, const std::string& path, Busy busy, Step step)
{
    try {
        return step();
    } catch (const qb::EKeyInUse&) {
        throw;
    } catch (const qb::EInOutError& error) {
        if (error.code() == qb::IoCode::SharingViolation)
            busy();
        throw FileError(path, ownFileErrorText(session.io, path, error.code()));
    }
}

template <typename Step> auto onUsersFile(qb::Session& session, Step step)
{
    return onOwnFile(
        session, session.usersFilePath(), [] { throw qb::Error(kUsersFileBusy); }, step);
}

template <typename Step> auto onKey(qb::Session& session, const qb::CorrespondentPaths& correspondent, Step step)
{
    return onOwnFile(
        session, correspondent.keyFile(), [&] { throw qb::EKeyInUse(correspondent.name()); }, step);
}

// The file a key is imported from, of any kind: "-" is standard input. Failures name it as `shownName`.
qb::PosixFile openKeySource(const std::string& keyFile, const std::string& shownName)
{
    if (keyFile == "-")
        return qb::PosixFile(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    qb::FilePlace place;
    qb::PosixFile file;
    struct stat info
    {
    };
    const std::string path = absolutePath(keyFile);
    int error = qb::nameCode(path) != 0 ? ENOENT : place.locate(path, "", qb::systemFileChanges());
    if (error == 0)
        error = place.openStream(O_RDONLY, file, info);
    if (error != 0)
        throw FileError(shownName, fileErrorText(error));
    return file;
}

// The list must take the name; the window offers to create a missing one, and a script means yes. Another copy may
// be making it at the same moment: one that appears meanwhile is used, never replaced. Only once the key is sure to be
// written, so that a refused command leaves nothing behind.
void prepareRegistration(qb::Session& session, const qb::CorrespondentFiles& files,
                         const qb::CorrespondentPaths& correspondent)
{
    onUsersFile(session, [&] {
        if (!files.usersFileReady())
            qb::createListUnlessPresent(session.io, session.usersFilePath());
    });
    onOwnFile(
        session, correspondent.folder(), [] {}, [&] { files.makeFolder(correspondent); });
}

// What `recipients --long` prints after a listed name. A name or key no command could use (not one folder name, a
// link among the program's own files) holds no key, and does not end the listing of the others.
std::string keyColumns(qb::Session& session, const std::string& name)
{
    try {
        qb::requireFolderName(name);
        if (const std::optional<qb::KeySummary> summary = qb::CorrespondentFiles(session).keySummary(name))
            return summary->fingerprint + "\t" + std::to_string(summary->length);
    } catch (const qb::EKeyInUse&) {
        throw;
    } catch (const qb::EInOutError&) {
    }
    return "(no key)";
}

} // namespace

void readUsersFile(qb::Session& session, const std::function<void(const std::string&)>& onName)
{
    // A missing list has no names; any other failure to open it is said as a failed step on it.
    onUsersFile(session, [&] {
        const int code = qb::CorrespondentFiles(session).readNames(onName);
        if (code != 0 && code != qb::IoCode::FileNotFound)
            throw qb::EInOutError(code);
    });
}

void onUsersFileStep(qb::Session& session, const std::function<void()>& step)
{
    onUsersFile(session, step);
}

void listRecipients(qb::Session& session, bool withKeys)
{
    LinePrinter printer(session.io);
    bool allShown = true;
    // An empty list reads as one empty line; no name is empty.
    readUsersFile(session, [&](const std::string& name) {
        if (name.empty())
            return;
        const std::string shown = withVisibleControls(name);
        if (!withKeys)
            return printer.print(shown);
        // A key another copy holds is said on its own line of the error output, as ls says a file it cannot read;
        // the others are listed all the same, and the exit status tells the listing is not whole.
        try {
            printer.print(shown + "\t" + keyColumns(session, name));
        } catch (const qb::EKeyInUse& error) {
            std::cerr << kProgramName << ": " << keyInUseText(error.name()) << "\n";
            allShown = false;
        }
    });
    if (!allShown)
        qb::Abort();
}

void addRecipient(qb::Session& session, const std::string& name, bool replaceKey)
{
    const qb::CorrespondentFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    checkName(name, [&] { correspondent.requireWithinPathLimits(); });
    // A new key makes every message under the old one, and the correspondent's copy of it, useless. Another copy may
    // give the name a key while this one makes its own: the one whose key takes the name first wins, the other is
    // refused as if the key had been there all along.
    const std::string refusal = withVisibleControls(name) + " already has a key; use --force to replace it";
    if (files.hasKey(correspondent) && !replaceKey)
        throw qb::Error(refusal);
    prepareRegistration(session, files, correspondent);
    if (!onKey(session, correspondent, [&] { return files.writeGeneratedKey(correspondent, replaceKey); }))
        throw qb::Error(refusal);
    onUsersFile(session, [&] { files.list(name); });
}

void importRecipient(qb::Session& session, const std::string& name, const std::string& keyFile)
{
    const qb::CorrespondentFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    checkName(name, [&] { correspondent.requireWithinPathLimits(); });
    const std::string sourceName = keyFile == "-" ? "standard input" : keyFile;
    const std::string kept = qb::keyKeptText(withVisibleControls(name), withVisibleControls(sourceName));
    if (files.hasKey(correspondent))
        throw qb::Error(kept);
    std::optional<qb::KeyImport> import;
    onKey(session, correspondent, [&] { import.emplace(session.io, correspondent); });
    const auto onSource = [&](auto step) {
        try {
            return step();
        } catch (const qb::EInOutError& error) {
            throw FileError(sourceName, codeErrorText(error.code()));
        }
    };
    qb::PosixFile source = openKeySource(keyFile, sourceName);
    onSource([&] { import->openSource(std::move(source)); });
    if (!onSource([&] { return import->sourceIsUsable(); }))
        throw qb::Error(qb::noUsableKeyText(withVisibleControls(sourceName)));
    prepareRegistration(session, files, correspondent);
    const std::optional<qb::ImportedKey> imported =
        onKey(session, correspondent, [&] { return import->copyAndFinish(); });
    if (!imported)
        throw qb::Error(kept);
    onUsersFile(session, [&] { files.list(name); });
    if (imported->cutAtMark)
        std::cerr << kProgramName << ": " << qb::keptPartText(imported->length) << "\n";
}

void showFingerprint(qb::Session& session, const std::string& name)
{
    requireListed(session, name);
    const std::optional<std::string> fingerprint = qb::CorrespondentFiles(session).keyFingerprint(name);
    if (!fingerprint)
        throw qb::Error(noKeyText(session, name));
    LinePrinter(session.io).print(*fingerprint);
}

void exportKey(qb::Session& session, const std::string& name, const std::string& output)
{
    requireListed(session, name);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    qb::KeyExport copy(session.io, correspondent);
    if (!copy.isOpen())
        throw qb::Error(noKeyText(session, name));
    // Keys are secrets: a copy in a file is its owner's alone, whatever the umask or the file it replaces.
    const auto out = openOutput(session.io, output, OutputMode::Private);
    // A key is bytes, not text: shown on a terminal it would garble the screen and stay in its scroll-back.
    if (out->isTerminal())
        throw qb::Error("will not write a key to a terminal; use -o FILE, or a pipe");
    onKey(session, correspondent, [&] { copy.copyTo(*out); });
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
