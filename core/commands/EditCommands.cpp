#include "EditCommands.h"

#include "MailText.h"
#include "ShownMessage.h"

namespace qb {

EditCommands::EditCommands(MainView& view, const ShownMessage& shown) : m_view(view), m_shown(shown) {}

void EditCommands::CopyAsMailText1Click()
{
    const Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        return;
    // Only Encrypt's own result, unchanged, is known to be ciphertext, and of which key. Anything else would go out
    // looking like an encrypted message.
    const std::optional<std::string> shownKey = m_shown.ciphertextKey(editor);
    if (!shownKey && m_view.dialogs().confirmDestroying("The message is not encrypted. Copy it as mail text anyway?",
                                                        MessageButtons::YesNo) != Answer::Yes)
        return;
    const std::string keyFingerprint = shownKey.value_or("");
    editor.readText([this, &keyFingerprint](std::string_view bytes) {
        m_view.clipboard().setText(armorMailText(bytes, keyFingerprint));
    });
    m_view.showStatusMessage("Mail text copied to the clipboard.");
}

} // namespace qb
