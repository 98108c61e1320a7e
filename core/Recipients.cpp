#include "Recipients.h"

#include "Errors.h"
#include "ListFiles.h"

namespace qb {

Recipients::Recipients(Session& session, MainView& view) : m_session(session), m_view(view), m_files(session) {}

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
    const CorrespondentPaths correspondent = askName("New Recipiant/Sender", "Name of Person");
    const std::string& name = correspondent.name();
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
    m_files.makeFolder(correspondent);
    m_files.writeGeneratedKey(correspondent);
    m_files.list(name);
    inform("New Directory and Key has been created for " + name);
    m_view.memo1().setModified(false);
    updateusers();
}

void Recipients::ImportKey1Click()
{
    const CorrespondentPaths correspondent = askName("Import New Key", "Enter a name for person");
    const std::string& name = correspondent.name();
    if (!m_files.usersFileReady())
        newrecipiantfile();
    m_files.makeFolder(correspondent);
    if (m_files.hasKey(correspondent)) {
        m_files.list(name);
        inform("A new Directory and key has been imported for " + name);
        updateusers();
        Abort();
    }
    // Listed only once its key is whole: a cancel or a failure leaves the list as it was.
    importKeyFile(correspondent);
    m_files.list(name);
    inform("A new Directory and key has been imported for " + name);
    updateusers();
}

CorrespondentPaths Recipients::askName(const std::string& caption, const std::string& prompt) const
{
    const std::string name = m_view.dialogs().inputBox(caption, prompt, "");
    if (name.empty())
        Abort();
    // Refused before users.cfg, a folder or a key is touched.
    CorrespondentPaths correspondent = m_session.correspondent(name);
    correspondent.requireRegistrable();
    return correspondent;
}

void Recipients::importKeyFile(const CorrespondentPaths& correspondent)
{
    // The new key replaces nothing until it is complete: a command that stops first leaves no partial key.
    KeyImport import(m_session.io, correspondent);
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
