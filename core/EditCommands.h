#pragma once

#include "Ui.h"

namespace qb {

// The Edit menu's command of the core; Cut, Copy, Paste and Select All are the editor's own.
class EditCommands
{
public:
    explicit EditCommands(MainView& view);

    // Puts the mail text of the editor's bytes (as a save would write them) on the clipboard; saves nothing.
    // An empty editor does nothing.
    void CopyAsMailText1Click();

private:
    MainView& m_view;
};

} // namespace qb
