#include "CorrespondentCommands.h"

#include "Errors.h"
#include "ListFiles.h"
#include "ProductInfo.h"
#include "StoredFiles.h"

namespace qb {

CorrespondentCommands::CorrespondentCommands(Session& session, MainView& view)
    : m_session(session), m_view(view), m_files(session)
{
}

void CorrespondentCommands::updateusers()
{
    ListControl& list = m_view.listBox1();
    // The correspondent chosen before the reload is the one the commands still work with, so it stays chosen.
    const int chosen = list.itemIndex();
    const std::string current = chosen >= 0 ? list.item(chosen) : std::string();
    removeOthersAccess(m_session.io, m_session.usersFilePath());
    ListLines names;
    bool whole = true;
    try {
        m_shownList.read(m_session.io, m_session.usersFilePath(), names, whole);
    } catch (...) {
        // A list that could not be read shows nothing of it.
        list.clear();
        throw;
    }
    if (whole) {
        list.clear();
        list.addAll(std::move(names));
    } else {
        list.addMore(std::move(names));
    }
    if (chosen < 0)
        return;
    // A list that took the new names alone kept its selection.
    if (const int kept = list.itemIndex(); kept >= 0 && list.item(kept) == current)
        return;
    for (int index = 0; index < list.count(); ++index) {
        if (list.item(index) == current) {
            list.setItemIndex(index);
            return;
        }
    }
}

void CorrespondentCommands::newrecipiantfile()
{
    if (listReady(m_session.io, m_session.usersFilePath(), Probe::Reset) &&
        m_view.dialogs().confirmDestroying("Are you sure you want to overwrite the old one?",
                                           MessageButtons::YesNoCancel) != Answer::Yes)
        return;
    m_files.createUsersFile();
    inform("New User File created!");
    updateusers();
}

void CorrespondentCommands::NewKey1Click()
{
    const CorrespondentPaths correspondent = askName("New Recipiant/Sender", "Name of Person");
    const std::string& name = correspondent.name();
    const bool replacing = m_files.hasKey(correspondent);
    if (replacing)
        requireRekeyConsent(name);
    if (!m_files.usersFileReady()) {
        Dialogs& dialogs = m_view.dialogs();
        if (dialogs.messageBox("Users file does not exist do you want to create one?", MessageKind::Confirmation,
                               MessageButtons::YesNoCancel) != Answer::Yes) {
            warn("You chose not to create a new user file. You will not be able to send or recieve from " + name +
                 " until you do!");
            Abort();
        }
        newrecipiantfile();
    }
    // The key is complete on disk before the name is listed, so a listed name always has a whole key; a re-keyed
    // name keeps its old key until the new one is whole.
    m_files.makeFolder(correspondent);
    if (!m_files.writeGeneratedKey(correspondent, replacing)) {
        // Another running copy gave the name a key meanwhile: it is replaced only as one that was there would be.
        requireRekeyConsent(name);
        m_files.writeGeneratedKey(correspondent, true);
    }
    listName(name);
    inform("New Directory and Key has been created for " + name);
    m_view.memo1().setModified(false);
    updateusers();
    select(name);
}

void CorrespondentCommands::ImportKey1Click()
{
    const CorrespondentPaths correspondent = askName("Import New Key", "Enter a name for person");
    const std::string& name = correspondent.name();
    if (!m_files.usersFileReady())
        newrecipiantfile();
    if (m_files.hasKey(correspondent)) {
        // The key there stays, and no file is asked for only to be thrown away.
        m_files.makeFolder(correspondent);
        listName(name);
        warn(name + " already has a key. It was kept.");
        updateusers();
        select(name);
        Abort();
    }
    // Listed only once its key is whole: a cancel or a failure leaves the list as it was.
    std::string sourcePath;
    const std::optional<ImportedKey> kept = importKeyFile(correspondent, sourcePath);
    if (!kept)
        keepKey(name, sourcePath);
    listName(name);
    std::string announcement = "A new Directory and key has been imported for " + name;
    if (kept->cutAtMark)
        announcement += "\n" + keptPartText(kept->length);
    inform(announcement);
    updateusers();
    select(name);
}

void CorrespondentCommands::ListBox1Click()
{
    ListControl& list = m_view.listBox1();
    const std::string name = list.item(list.itemIndex());
    m_session.currentuser = name;
    m_view.edit2().setText(m_session.correspondent(name).messageFile());
    m_view.window().setCaption(std::string(kApplicationTitle) + " - [" + name + "]");
}

void CorrespondentCommands::select(const std::string& name)
{
    ListControl& list = m_view.listBox1();
    for (int index = 0; index < list.count(); ++index) {
        if (list.item(index) == name) {
            list.setItemIndex(index);
            ListBox1Click();
            return;
        }
    }
}

void CorrespondentCommands::requireRekeyConsent(const std::string& name)
{
    // A new key makes every message under the old one, and the correspondent's copy of it, useless.
    if (m_view.dialogs().confirmDestroying(name + " already has a key. Replace it? Messages encrypted with the old key "
                                                  "can no longer be decrypted.",
                                           MessageButtons::YesNo) != Answer::Yes)
        Abort();
}

void CorrespondentCommands::keepKey(const std::string& name, const std::string& sourcePath)
{
    listName(name);
    warn(keyKeptText(name, sourcePath));
    updateusers();
    Abort();
}

CorrespondentPaths CorrespondentCommands::askName(const std::string& caption, const std::string& prompt) const
{
    const std::string name = m_view.dialogs().inputBox(caption, prompt, "");
    if (name.empty())
        Abort();
    // Refused before users.cfg, a folder or a key is touched.
    CorrespondentPaths correspondent = m_session.correspondent(name);
    correspondent.requireRegistrable();
    return correspondent;
}

std::string CorrespondentCommands::chooseKeySource()
{
    Dialogs& dialogs = m_view.dialogs();
    // A cancelled dialog still holds the name last accepted for some other purpose; it is not a key.
    if (!dialogs.executeOpenDialog())
        Abort();
    openkey();
    const std::string sourcePath = dialogs.openDialogFileName();
    if (sourcePath.empty())
        Abort();
    return sourcePath;
}

std::optional<ImportedKey> CorrespondentCommands::importKeyFile(const CorrespondentPaths& correspondent,
                                                                std::string& sourcePath)
{
    // The new key replaces nothing until it is complete: a command that stops first leaves no partial key.
    KeyImport import(m_session.io, correspondent);
    sourcePath = chooseKeySource();
    if (!import.openSource(sourcePath))
        Abort();
    if (!import.sourceIsUsable()) {
        warn(noUsableKeyText(sourcePath));
        Abort();
    }
    // Made only for a key that is written: a cancelled, refused or failed import leaves no folder behind.
    m_files.makeFolder(correspondent);
    return import.copyAndFinish();
}

void CorrespondentCommands::listName(const std::string& name)
{
    m_shownList.appendedTo(m_files.list(name));
}

void CorrespondentCommands::inform(const std::string& text)
{
    m_view.dialogs().messageBox(text, MessageKind::Information, MessageButtons::Ok);
}

void CorrespondentCommands::warn(const std::string& text)
{
    m_view.dialogs().messageBox(text, MessageKind::Warning, MessageButtons::Ok);
}

} // namespace qb
