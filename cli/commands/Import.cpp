// quillbox-cli import: Import Key without its dialogs, a copy of KEYFILE, then the name listed. A missing list is
// created. A name that has a key, or a file with no usable byte or that cannot be read, is refused with nothing
// changed. The name is checked as for add.
#include "CliCommand.h"
#include "CorrespondentFiles.h"
#include "DataDirectory.h"
#include "Errors.h"
#include "OwnFiles.h"
#include "TerminalText.h"

#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qbcli {

namespace {

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
    int error = qb::nameCode(path) != 0 ? ENOENT : place.locate(path, "", qb::systemFileOperations());
    if (error == 0)
        error = place.openStream(O_RDONLY, file, info);
    if (error != 0)
        throw FileError(shownName, fileErrorText(error));
    return file;
}

void importCorrespondent(qb::Session& session, const CliOptions& options)
{
    const std::string& name = options.operands[0];
    const std::string& keyFile = options.operands[1];
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

} // namespace

const CliCommand kImportCommand = {
    "import",
    2,
    2,
    0,
    CliCommand::Operand::NewCorrespondent,
    "import NAME KEYFILE",
    {"register NAME with a copy of the key in KEYFILE (up to its first byte", "26, where a key ends)"},
    nullptr,
    importCorrespondent,
};

} // namespace qbcli
