#pragma once

#include <string>

namespace qb {

class MainView;
struct Session;

// The main window's message file commands: New, Open, Save and Save As, and the save prompt that
// guards unsaved changes. The editor and the path field together stand for the current message.
class MessageFiles
{
public:
    MessageFiles(Session& session, MainView& view);

    // Save prompt, then an empty untitled message.
    void NewMail1Click();
    // Open dialog, then openfile with the chosen name.
    void Open1Click();
    // Loads a file into the editor and makes it the message file.
    void openfile(const std::string& fileName);
    // Saves the message under a chosen name and makes that the message file: the editor's text when the user changed
    // it since a command last left it, else a copy of the message file. Returns quietly when the dialog or the
    // overwrite question is turned down.
    void SaveAs1Click();
    // SaveAs1Click, then clears the modified flag (also when nothing was saved).
    void Save1Click();
    // Asks whether to save a modified message. Cancel, or a save that did not happen after Yes, stops
    // the calling command silently.
    void Checkfilesave();

    // SaveAs1Click that reports whether the copy was made.
    bool saveMessageAs();

private:
    Session& m_session;
    MainView& m_view;
};

} // namespace qb
