// quillbox-cli export: a copy of a listed correspondent's key file to OUT, or to standard output (never a terminal).
#include "CliCommand.h"
#include "Errors.h"
#include "KeyExport.h"
#include "ListedKey.h"
#include "OutputTarget.h"
#include "OwnFiles.h"

namespace qbcli {

namespace {

void exportKey(qb::Session& session, const CliOptions& options)
{
    const std::string& name = options.operands[0];
    const std::string& output = options.output;
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

} // namespace

const CliCommand kExportCommand = {
    "export",
    1,
    1,
    kOutputOption,
    CliCommand::Operand::Correspondent,
    "export NAME [-o OUT]",
    {"copy NAME's key file, to give NAME; standard output only when it is", "not a terminal"},
    nullptr,
    exportKey,
};

} // namespace qbcli
