#pragma once

#include "Session.h"
#include "Ui.h"

#include <optional>

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
    // Encrypt/Decrypt > Strong Encryption: turns strong encryption on for the selected correspondent, offering a new
    // key first (a key that carried classic messages may be known to whoever read them), or back off.
    void StrongEncryption1Click();
    // Whether the menu item is checked; std::nullopt, and the item disabled, with no correspondent selected.
    std::optional<bool> strongEncryptionChecked();

private:
    // Ends the command with "Please select a Recipiant/Sender!" unless `hasKey` and a correspondent is selected.
    void requireSelectedKey(bool hasKey);

    Session& m_session;
    MainView& m_view;
};

} // namespace qb
