// quillbox-cli programs: the mail programs of mail.cfg, name, a tab and command line, one a line, in its order.
#include "CliCommand.h"
#include "ListFiles.h"
#include "OutputTarget.h"
#include "OwnFiles.h"
#include "StoredFiles.h"

#include <optional>

namespace qbcli {

namespace {

void listMailPrograms(qb::Session& session, const CliOptions&)
{
    LinePrinter printer(session.io);
    // Records of two lines: the name, then the command line that starts it.
    std::optional<std::string> name;
    qb::removeOthersAccess(session.io, session.mailFilePath());
    // A missing list has no programs; one that cannot be read (a link, a FIFO, a folder) says why, as the window does.
    onOwnFile(
        session, session.mailFilePath(), [] { throw qb::Error("mail.cfg is in use by another Quillbox"); },
        [&] {
            const int code = qb::readListFile(session.io, session.mailFilePath(), [&](const std::string& line) {
                if (!name) {
                    name = line;
                    return;
                }
                printer.print(*name + "\t" + line);
                name.reset();
            });
            if (code != 0 && code != qb::IoCode::FileNotFound)
                throw qb::EInOutError(code);
        });
    // An empty list reads as one empty line; a name without its command line is shown as the window shows it.
    if (name && !name->empty())
        printer.print(*name + "\t");
}

} // namespace

const CliCommand kProgramsCommand = {
    "programs",
    0,
    0,
    0,
    CliCommand::Operand::Other,
    "programs",
    {"list the mail programs: name, a tab, command line"},
    nullptr,
    listMailPrograms,
};

} // namespace qbcli
