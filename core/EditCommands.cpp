#include "EditCommands.h"

#include "MailText.h"

namespace qb {

EditCommands::EditCommands(MainView& view) : m_view(view) {}

void EditCommands::CopyAsMailText1Click()
{
    const Editor& editor = m_view.memo1();
    if (editor.isEmpty())
        return;
    editor.readText([this](std::string_view bytes) { m_view.clipboard().setText(armorMailText(bytes)); });
    m_view.showStatusMessage("Mail text copied to the clipboard.");
}

} // namespace qb
