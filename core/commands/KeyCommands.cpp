#include "KeyCommands.h"

#include "CorrespondentFiles.h"
#include "CorrespondentKey.h"
#include "Errors.h"
#include "KeyExport.h"
#include "StoredFiles.h"

#include <optional>

namespace qb {

void KeyCommands::KeyFingerprint1Click()
{
    const std::string& name = m_session.currentuser;
    const CorrespondentFiles files(m_session);
    const std::optional<std::string> fingerprint = files.keyFingerprint(name);
    requireSelectedKey(fingerprint.has_value());
    const bool strong = files.cipherOf(m_session.correspondent(name)).cipher == Cipher::Strong;
    m_view.dialogs().messageBox(name + "'s key fingerprint:\n" + *fingerprint + "\nIt matches when " + name +
                                    " sees the same fingerprint for your key.\nEncrypt uses " +
                                    (strong ? "strong encryption" : "the classic cipher") + " for " + name + ".",
                                MessageKind::Information, MessageButtons::Ok);
}

void KeyCommands::StrongEncryption1Click()
{
    const std::string& name = m_session.currentuser;
    const CorrespondentFiles files(m_session);
    const CorrespondentPaths correspondent = m_session.correspondent(name);
    requireSelectedKey(!name.empty() && files.hasKey(correspondent));
    if (files.cipherOf(correspondent).cipher == Cipher::Strong) {
        files.setCipher(correspondent, Cipher::Classic);
        m_view.showStatusMessage("Encrypt uses the classic cipher for " + name + " again.");
        return;
    }
    // The classic cipher's messages can give the key away, and the Key line then checks guesses for the rest.
    const Answer answer = m_view.dialogs().messageBox(
        "Strong encryption is only as safe as a key that never carried classic messages. Make a new key for " + name +
            " now? Give " + name + " the new key with Export Key, as you did the first.",
        MessageKind::Confirmation, MessageButtons::YesNoCancel);
    if (answer == Answer::Cancel)
        Abort();
    if (answer == Answer::Yes)
        files.writeGeneratedKey(correspondent, true);
    files.setCipher(correspondent, Cipher::Strong);
    m_view.showStatusMessage("Strong encryption is on for " + name +
                             (answer == Answer::Yes ? ", with a new key." : "."));
    if (answer == Answer::Yes)
        ExportKey1Click();
}

std::optional<bool> KeyCommands::strongEncryptionChecked()
{
    const std::string& name = m_session.currentuser;
    if (name.empty())
        return std::nullopt;
    return CorrespondentFiles(m_session).cipherOf(m_session.correspondent(name)).cipher == Cipher::Strong;
}

void KeyCommands::ExportKey1Click()
{
    const std::string& name = m_session.currentuser;
    KeyExport copy(m_session.io, m_session.correspondent(name));
    requireSelectedKey(copy.isOpen());
    Dialogs& dialogs = m_view.dialogs();
    const std::string target = dialogs.chooseExportFile(name + ".key");
    if (target.empty())
        Abort();
    if (fileExists(m_session.io, target) &&
        dialogs.confirmDestroying("OK to overwrite " + target, MessageButtons::YesNoCancel) != Answer::Yes)
        Abort();
    copy.writeTo(target);
    m_view.showStatusMessage("Key exported to " + target + ".");
}

void KeyCommands::requireSelectedKey(bool hasKey)
{
    if (hasKey && !m_session.currentuser.empty())
        return;
    m_view.dialogs().messageBox(kSelectCorrespondentWarning, MessageKind::Warning, MessageButtons::Ok);
    Abort();
}

} // namespace qb
