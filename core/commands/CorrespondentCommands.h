#pragma once

#include "CorrespondentFiles.h"
#include "ListFollower.h"
#include "Session.h"
#include "Ui.h"

#include <optional>
#include <string>

namespace qb {

// The recipient list users.cfg, one folder per correspondent and its key file: the main window's
// commands New Recipiant, New Recipiant File and Import Key, and the reload of the on-screen list.
// Errors leave as exceptions; the caller runs each command through runCommand.
class CorrespondentCommands
{
public:
    CorrespondentCommands(Session& session, MainView& view);

    // Reloads the recipient list control from users.cfg (empty when the file cannot be opened).
    void updateusers();
    // Creates users.cfg, or empties it after confirmation.
    void newrecipiantfile();
    // File > New Recipiant: registers a name with a freshly generated key.
    void NewKey1Click();
    // File > Import Key: registers a name whose key is copied from a file the user picks.
    void ImportKey1Click();
    // A click on the list: the entry chosen becomes the correspondent the commands work with, the path field names
    // its working message, and the caption names it.
    void ListBox1Click();
    // What accepting the open dialog during Import Key runs; the import itself reads the chosen name.
    void openkey() {}

private:
    // Asks for a name; an empty answer (or a cancelled box) ends the command, and one that cannot be registered
    // raises "Invalid filename" before anything is touched.
    CorrespondentPaths askName(const std::string& caption, const std::string& prompt) const;
    // Shows the open dialog for the file to import; stops silently unless a file is chosen.
    std::string chooseKeySource();
    // Copies the chosen file (its name in `sourcePath`), text-mode, into the correspondent's new key file; stops,
    // leaving no key file and no new folder, when no file is chosen, it cannot be read, or it holds no usable byte
    // (with a warning). std::nullopt when another running copy gave the name a key meanwhile.
    std::optional<ImportedKey> importKeyFile(const CorrespondentPaths& correspondent, std::string& sourcePath);
    // Asks whether the name's key is to be replaced; stops silently unless the answer is Yes.
    void requireRekeyConsent(const std::string& name);
    // Lists the name whose key stays, says the file was not imported, and stops.
    [[noreturn]] void keepKey(const std::string& name, const std::string& sourcePath);
    // Selects `name` in the list as a click would, when it is listed.
    void select(const std::string& name);
    // Appends the name to users.cfg unless listed; the list on screen then takes what was appended alone.
    void listName(const std::string& name);
    void inform(const std::string& text);
    void warn(const std::string& text);

    Session& m_session;
    MainView& m_view;
    CorrespondentFiles m_files;
    ListFollower m_shownList;
};

} // namespace qb
