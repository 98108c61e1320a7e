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
    const std::optional<std::string> fingerprint = CorrespondentFiles(m_session).keyFingerprint(name);
    requireSelectedKey(fingerprint.has_value());
    m_view.dialogs().messageBox(name + "'s key fingerprint:\n" + *fingerprint + "\nIt matches when " + name +
                                    " sees the same fingerprint for your key.",
                                MessageKind::Information, MessageButtons::Ok);
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
