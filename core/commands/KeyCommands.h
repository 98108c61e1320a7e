#pragma once

#include "Session.h"
#include "Ui.h"

namespace qb {

// The main window's commands on the selected correspondent's key, for handing it over and checking it: Key
// Fingerprint and Export Key. Errors leave as exceptions; the caller runs each command through runCommand.
class KeyCommands
{
public:
    KeyCommands(Session& session, MainView& view) : m_session(session), m_view(view) {}

    // File > Key Fingerprint...: the key's fingerprint, to compare with the one the correspondent sees.
    void KeyFingerprint1Click();
    // File > Export Key...: a copy of the key file, whole and private to its owner, under a name the user picks.
    void ExportKey1Click();

private:
    // Ends the command with "Please select a Recipiant/Sender!" unless `hasKey` and a correspondent is selected.
    void requireSelectedKey(bool hasKey);

    Session& m_session;
    MainView& m_view;
};

} // namespace qb
