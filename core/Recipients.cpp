#include "Recipients.h"

#include "Errors.h"
#include "IoCodes.h"
#include "ListFiles.h"
#include "StoredFiles.h"
#include "TextFile.h"

#include <cstdio>
#include <utility>

namespace qb {

void requireRecipientName(const std::string& name)
{
    // "/" and NUL cannot stand in one folder name; CR, LF and 26 would split the users.cfg line into
    // several entries or end the list early.
    static const std::string refused("/\r\n\x1a\0", 5);
    const bool unusable = name == "." || name == ".." || name.find_first_of(refused) != std::string::npos;
    if (unusable)
        throw EInOutError(IoCode::PathNotFound);
}

void requireRecipientFiles(const Session& session, const std::string& name)
{
    // Every file the name gives must be nameable: a path the file system would refuse, or cut, could make two of
    // them one (the key and the message).
    const std::string message = session.messageFilePath(name);
    for (const std::string& path : {session.keyFilePath(name), message, tempPathFor(message)}) {
        if (!fitsPathLimits(path))
            throw EInOutError(IoCode::PathNotFound);
    }
}

Recipients::Recipients(Session& session, MainView& view, Clock& clock)
    : m_session(session), m_view(view), m_keys(clock), m_files(session)
{
}

void Recipients::updateusers()
{
    ListControl& list = m_view.listBox1();
    // The correspondent chosen before the reload is the one the commands still work with, so it stays chosen.
    const int chosen = list.itemIndex();
    const std::string current = chosen >= 0 ? list.item(chosen) : std::string();
    list.clear();
    m_files.readNames([&list](const std::string& line) { list.add(line); });
    if (chosen < 0)
        return;
    for (int index = 0; index < list.count(); ++index) {
        if (list.item(index) == current) {
            list.setItemIndex(index);
            return;
        }
    }
}

void Recipients::newrecipiantfile()
{
    IoContext& io = m_session.io;
    const std::string path = m_session.usersFilePath();
    if (resetProbe(io, path) != 0)
        requireListMissing(io, path);
    else if (m_view.dialogs().messageBox("Are you sure you want to overwrite the old one?", MessageKind::Confirmation,
                                         MessageButtons::YesNoCancel) != Answer::Yes)
        return;
    m_files.createUsersFile();
    inform("New User File created!");
    updateusers();
}

void Recipients::NewKey1Click()
{
    const std::string name = askName("New Recipiant/Sender", "Name of Person");
    if (!m_files.usersFileReady()) {
        Dialogs& dialogs = m_view.dialogs();
        if (dialogs.messageBox("Users file does not exist do you want to create one?", MessageKind::Confirmation,
                               MessageButtons::YesNoCancel) != Answer::Yes) {
            dialogs.messageBox("You chose not to create a new user file. You will not be able to send or recieve "
                               "from " +
                                   name + " until you do!",
                               MessageKind::Warning, MessageButtons::Ok);
            Abort();
        }
        newrecipiantfile();
    }
    // The key is complete on disk before the name is listed, so a listed name always has a whole key; a re-keyed
    // name keeps its old key until the new one is whole.
    m_files.makeFolder(name);
    m_files.writeGeneratedKey(name, m_keys);
    m_files.list(name);
    inform("New Directory and Key has been created for " + name);
    m_view.memo1().setModified(false);
    updateusers();
}

void Recipients::ImportKey1Click()
{
    const std::string name = askName("Import New Key", "Enter a name for person");
    if (!m_files.usersFileReady())
        newrecipiantfile();
    m_files.makeFolder(name);
    if (m_files.hasKey(name)) {
        m_files.list(name);
        inform("A new Directory and key has been imported for " + name);
        updateusers();
        Abort();
    }
    // Listed only once its key is whole: a cancel or a failure leaves the list as it was.
    importKeyFile(name);
    m_files.list(name);
    inform("A new Directory and key has been imported for " + name);
    updateusers();
}

std::string Recipients::askName(const std::string& caption, const std::string& prompt) const
{
    const std::string name = m_view.dialogs().inputBox(caption, prompt, "");
    if (name.empty())
        Abort();
    // Refused before users.cfg, a folder or a key is touched.
    m_files.requireUsableName(name);
    return name;
}

void Recipients::importKeyFile(const std::string& name)
{
    // The new key replaces nothing until it is complete: a command that stops first leaves no partial key.
    KeyImport import(m_session, name);
    Dialogs& dialogs = m_view.dialogs();
    // A cancelled dialog still holds the name last accepted for some other purpose; it is not a key.
    if (!dialogs.executeOpenDialog())
        Abort();
    openkey();
    const std::string sourcePath = dialogs.openDialogFileName();
    if (sourcePath.empty() || !import.openSource(sourcePath))
        Abort();
    import.copyAndFinish();
}

void Recipients::inform(const std::string& text)
{
    m_view.dialogs().messageBox(text, MessageKind::Information, MessageButtons::Ok);
}

} // namespace qb
