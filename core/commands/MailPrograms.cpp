#include "MailPrograms.h"

#include "CommandLine.h"
#include "Errors.h"
#include "ListFiles.h"
#include "StoredFiles.h"
#include "TextFile.h"

namespace qb {

namespace {

constexpr const char* kNoProgramsWarning = "No programs or none selected";

// Bytes that would split or cut a two-line record of mail.cfg: CR and LF end lines, 26 ends the data.
bool breaksRecord(const std::string& text)
{
    return text.find_first_of("\r\n\x1a") != std::string::npos;
}

} // namespace

MailPrograms::MailPrograms(Session& session, Dialogs& dialogs, MailProgramsView& view, ProcessStarter& starter)
    : m_session(session), m_dialogs(dialogs), m_view(view), m_starter(starter)
{
}

void MailPrograms::newprogramfile()
{
    if (!listReady(m_session.io, m_session.mailFilePath(), Probe::Reset)) {
        createEmptyFile("Please restart before using this function");
        return;
    }
    const Answer answer =
        m_dialogs.confirmDestroying("Are you sure you want to overwrite the old one?", MessageButtons::YesNoCancel);
    if (answer == Answer::Yes)
        createEmptyFile("Plase restart before using this function");
}

void MailPrograms::createEmptyFile(const char* failureWarning)
{
    IoContext& io = m_session.io;
    TextFile mailfile(io);
    mailfile.assign(m_session.mailFilePath());
    mailfile.rewrite();
    if (io.ioResult() != 0) {
        m_dialogs.messageBox(failureWarning, MessageKind::Warning, MessageButtons::Ok);
        return;
    }
    closeChecked(mailfile);
    m_dialogs.messageBox("New Mail program file created!", MessageKind::Information, MessageButtons::Ok);
    updateprograms();
}

void MailPrograms::AddProgram1Click()
{
    const std::string name =
        m_dialogs.inputBox("Add a new mail program to database", "Type in a name for the new mail program", "");
    if (name.empty())
        return;
    if (breaksRecord(name))
        throw EInOutError(IoCode::PathNotFound);

    IoContext& io = m_session.io;
    const std::string path = m_session.mailFilePath();
    if (!listReady(io, path, Probe::Append)) {
        const Answer answer = m_dialogs.messageBox("Mail Program File Does not exist. Do you want to create one?",
                                                   MessageKind::Confirmation, MessageButtons::YesNoCancel);
        if (answer != Answer::Yes) {
            m_dialogs.messageBox("You chose not to create a mail file. You will not be able to start " + name +
                                     " until you do!",
                                 MessageKind::Warning, MessageButtons::Ok);
            Abort();
        }
        newprogramfile();
    }

    TextFile mailfile(io);
    appendChecked(mailfile, path);
    if (m_dialogs.executeOpenDialog()) {
        const std::string program = m_dialogs.openDialogFileName();
        if (breaksRecord(program))
            throw EInOutError(IoCode::PathNotFound);
        mailfile.writeLine(name);
        io.check();
        mailfile.writeLine(program);
        io.check();
    }
    // The record reaches the file whole at the close, and the box announces it only once it is there.
    closeChecked(mailfile);
    m_dialogs.messageBox(name + " added to database!", MessageKind::Information, MessageButtons::Ok);
    updateprograms();
}

void MailPrograms::updateprograms()
{
    ListControl& list = m_view.listBox1();
    list.clear();
    // A list an older version left readable by others becomes its owner's the first time it is used.
    removeOthersAccess(m_session.io, m_session.mailFilePath());
    // Names stand on the odd lines, command lines on the even ones.
    bool oddLine = true;
    const bool loaded = 0 == readListFile(m_session.io, m_session.mailFilePath(), [&](const std::string& line) {
                            if (oddLine)
                                list.add(line);
                            oddLine = !oddLine;
                        });
    if (loaded)
        list.setSorted(true);
}

void MailPrograms::Button1Click()
{
    const ListControl& list = m_view.listBox1();
    const std::string selected = list.item(list.itemIndex());

    IoContext& io = m_session.io;
    TextFile mailfile(io);
    mailfile.assign(m_session.mailFilePath());
    mailfile.reset();
    if (io.ioResult() != 0) {
        m_dialogs.messageBox(kNoProgramsWarning, MessageKind::Warning, MessageButtons::Ok);
        return;
    }

    // Names and command lines alike are compared, so the first equal line in file order wins.
    for (;;) {
        const std::string line = mailfile.readLine();
        io.check();
        if (line == selected)
            break;
        // The file may have changed since the list was loaded: give up at its end.
        const bool atEnd = mailfile.eof();
        io.check();
        if (atEnd) {
            closeChecked(mailfile);
            m_dialogs.messageBox(kNoProgramsWarning, MessageKind::Warning, MessageButtons::Ok);
            return;
        }
    }
    const std::string commandLine = mailfile.readLine();
    io.check();
    closeChecked(mailfile);

    // A line that names nothing starts nothing; one that cannot start says why, and the window stays.
    if (const std::optional<CommandLine> command = splitCommandLine(commandLine)) {
        if (!startCommand(m_starter, m_dialogs, *command))
            return;
    }
    m_view.close();
}

} // namespace qb
