#pragma once

#include "Session.h"
#include "Ui.h"

#include <string>

namespace qb {

// The mail program list mail.cfg (records of two CR LF lines: display name, command line) and the
// commands that create it, add to it, show it in the Mail Programs window and start its programs.
class MailPrograms
{
public:
    MailPrograms(Session& session, Dialogs& dialogs, MailProgramsView& view, ProcessStarter& starter);

    // Creates mail.cfg, or empties it after confirmation, then refreshes the list.
    void newprogramfile();
    // Asks for a name and a program file and appends them as one record, then refreshes the list.
    void AddProgram1Click();
    // Reloads the window's list from the names (odd lines) of mail.cfg.
    void updateprograms();
    // Starts the command line recorded after the selected name, then closes the window.
    void Button1Click();

private:
    // Creates or truncates mail.cfg; on failure shows `failureWarning` instead.
    void createEmptyFile(const char* failureWarning);

    Session& m_session;
    Dialogs& m_dialogs;
    MailProgramsView& m_view;
    ProcessStarter& m_starter;
};

} // namespace qb
