#pragma once

#include "Session.h"
#include "Ui.h"

#include <string>

namespace qb {

// Encrypt and Decrypt of the main window: the message file combined by exclusive-or with the selected
// correspondent's key file, the key restarting from its first byte whenever it runs out.
class MessageCipher
{
public:
    MessageCipher(Session& session, MainView& view);

    // Saves the editor to the path field's file, encrypts that file through its ".tmp" file, copies the
    // result back and reloads the editor.
    void Encrypt1Click();
    // Decrypts the path field's file in memory (for "Untitled" the editor is saved there first),
    // rewrites it and reloads the editor.
    void Decrypt1Click();

private:
    // The path field's text; an empty one names no file, so the user is asked to pick a correspondent.
    std::string requireMessagePath();
    // `storage`: memory the load may read the file into (see loadEditorFromFile).
    void reloadEditor(const std::string& path, std::string&& storage = std::string());

    Session& m_session;
    MainView& m_view;
};

} // namespace qb
