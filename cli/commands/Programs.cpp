// quillbox-cli programs: the mail programs of mail.cfg, name, a tab and command line, one a line, in its order.
#include "CliCommand.h"
#include "ListFiles.h"
#include "OutputTarget.h"

#include <optional>

namespace qbcli {

namespace {

void listMailPrograms(qb::Session& session, const CliOptions&)
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
