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

    // Saves the editor to the path field's file, encrypts that file into its ".tmp" file, renames that over it once
    // whole on disk, and shows the ciphertext in the editor.
    void Encrypt1Click();
    // Decrypts the path field's file in memory (for "Untitled" the editor is saved there first),
    // rewrites it and shows the result in the editor. A message that holds mail text is decrypted from the mail text's
    // bytes.
    void Decrypt1Click();

private:
    // The path field's text; an empty one names no file, so the user is asked to pick a correspondent.
    std::string requireMessagePath();
    // Saves the untitled message to "Untitled": the bytes of the mail text it holds, else its text. True for mail
    // text.
    bool saveUntitled(Editor& editor);

    Session& m_session;
    MainView& m_view;
};

} // namespace qb
