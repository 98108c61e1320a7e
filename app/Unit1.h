#pragma once

#include "Session.h"
#include "Ticker.h"
#include "Ui.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class TForm2;
class TForm3;
class TForm4;

namespace qb {
class ListBoxWidget;
class StatusLine;
class EditCommands;
class KeyCommands;
class MessageCipher;
class MessageFiles;
class CorrespondentCommands;
enum class ToolbarPicture;
} // namespace qb

// The main window Form1: menu, tool bar with the path field, the editor, the recipient list with the
// progress bar, and the status-line ticker. It binds the core's commands and runs each through runCommand.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kOuterWidth = 583;
    static constexpr int kOuterHeight = 361;
    static constexpr int kEdit2Left = 248;
    static constexpr int kTickerInterval = 300;

    // Creates the window: captures the data directory (EDataDirectory when it is gone or cannot be listed), then
    // FormCreate loads the recipient list and starts the ticker.
    explicit TForm1(qb::Session& session, QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows created after this one. Without a welcome window, showing this one shows nothing first.
    void attachForms(TForm2* form2, TForm4* form4);
    // The About window, made by `build` when first asked for: nobody sees it at start, and building it
    // would hold the welcome window back.
    void attachAboutBox(std::function<TForm3*()> build);
    // The windows that come after this one, as the program has them: the welcome and Mail Programs windows now, the
    // About window when first asked for.
    void createForms(qb::ProcessStarter& starter);

    // The window as the core's commands see it.
    qb::MainView& view();
    const qb::Ticker& ticker() const { return m_ticker; }

    void Memo1Change();
    void ListBox1Click();
    void Timer1Timer();

    void NewMail1Click();
    void Open1Click();
    void SaveAs1Click();
    void Save1Click();
    void NewKey1Click();
    void NewRecipiantFile1Click();
    void ImportKey1Click();
    void KeyFingerprint1Click();
    void ExportKey1Click();
    void Exit1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void SelectAll1Click();
    void CopyAsMailText1Click();
    void Encrypt1Click();
    void Decrypt1Click();
    void StrongEncryption1Click();
    void RunProgram1Click();
    void AddProgram1Click();
    void NewMailProgramFile1Click();
    void About1Click();

    // The first showing runs FormShow (the welcome window, modal) before this window appears.
    void setVisible(bool visible) override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class View;
    struct CommandEntry;

    void FormCreate();
    void FormShow();
    void FormResize();
    // The classic outer size, centred on the screen.
    void placeOnScreen();
    void placeOnceFrameKnown();

    // Builders, each with one job (Unit1Layout.cpp).
    void buildActions();
    void buildMenu();
    void buildToolBar();
    void buildClientArea();
    void buildStatusBar();
    QAction* makeAction(const CommandEntry& entry);
    QAction* action(const char* name) const;
    // Checks and enables Strong Encryption as the selected correspondent's setting says.
    void showStrongEncryptionSetting();

    TForm3* aboutBox();
    // Runs one command; errors reach the standard error box. True when it ran to its end.
    bool run(const std::function<void()>& command);

    qb::Session& m_session;
    QPlainTextEdit* m_memo1 = nullptr;
    QLineEdit* m_edit2 = nullptr;
    qb::ListBoxWidget* m_listBox1 = nullptr;
    QProgressBar* m_progressBar3 = nullptr;
    QTimer* m_timer1 = nullptr;
    qb::StatusLine* m_statusLine = nullptr;
    TForm2* m_form2 = nullptr;
    TForm3* m_form3 = nullptr;
    std::function<TForm3*()> m_buildForm3;
    TForm4* m_form4 = nullptr;
    bool m_placed = false;
    bool m_framePlaced = false;

    std::unique_ptr<View> m_view;
    qb::Ticker m_ticker;
    std::unique_ptr<qb::MessageCipher> m_cipher;
    std::unique_ptr<qb::CorrespondentCommands> m_correspondents;
    std::unique_ptr<qb::KeyCommands> m_keyCommands;
    std::unique_ptr<qb::MessageFiles> m_files;
    std::unique_ptr<qb::EditCommands> m_editCommands;
};
