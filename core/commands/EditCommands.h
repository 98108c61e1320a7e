#pragma once

#include "Ui.h"

namespace qb {

class ShownMessage;

// The Edit menu's command of the core; Cut, Copy, Paste and Select All are the editor's own.
class EditCommands
{
public:
    EditCommands(MainView& view, const ShownMessage& shown);

    // Puts the mail text of the editor's bytes (as a save would write them) on the clipboard; saves nothing. The
    // unchanged result of Encrypt carries a Key line naming its key; any other text is copied only when the user
    // confirms it. An empty editor does nothing.
    void CopyAsMailText1Click();

private:
    MainView& m_view;
    const ShownMessage& m_shown;
};

} // namespace qb
