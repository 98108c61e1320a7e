#pragma once

#include "MailPrograms.h"
#include "Session.h"
#include "Ui.h"

#include "FixedDialog.h"

#include <memory>

class QPushButton;

namespace qb {
class ListBoxWidget;
} // namespace qb

// The Mail Programs window Form4: the registered mail programs, and "&Run" to start one.
class TForm4 : public FixedDialog, public qb::MailProgramsView
{
    Q_OBJECT

public:
    TForm4(qb::Session& session, qb::Dialogs& mainDialogs, qb::ProcessStarter& starter, QWidget* parent = nullptr);
    ~TForm4() override;

    // The list commands; the main window runs newprogramfile and AddProgram1Click through it.
    qb::MailPrograms& programs() { return m_programs; }

    // MailProgramsView
    qb::ListControl& listBox1() override;
    void close() override;

    void Button1Click();
    void Button2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();

    qb::Dialogs& m_mainDialogs;
    qb::ListBoxWidget* m_listBox1 = nullptr;
    std::unique_ptr<qb::ListControl> m_list;
    qb::MailPrograms m_programs;
};
