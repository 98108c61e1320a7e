#include "Unit1.h"

#include "QtControls.h"
#include "QtDialogs.h"
#include "StatusLine.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include "CommandRunner.h"
#include "CorrespondentCommands.h"
#include "EditCommands.h"
#include "KeyCommands.h"
#include "MessageCipher.h"
#include "MessageFiles.h"
#include "ProductInfo.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <utility>

// The main window's controls as the core's commands see them.
class TForm1::View : public qb::MainView
{
public:
    explicit View(TForm1& form)
        : m_dialogs(&form), m_editor(form.m_memo1), m_pathField(form.m_edit2), m_correspondents(form.m_listBox1),
          m_window(&form), m_progress(form.m_progressBar3, m_window), m_statusLine(form.m_statusLine)
    {
        m_correspondents.setSorted(true);
    }

    qb::Dialogs& dialogs() override { return m_dialogs; }
    qb::Editor& memo1() override { return m_editor; }
    qb::LineEdit& edit2() override { return m_pathField; }
    qb::ListControl& listBox1() override { return m_correspondents; }
    qb::ProgressControl& progressBar3() override { return m_progress; }
    qb::Window& window() override { return m_window; }
    qb::Clipboard& clipboard() override { return m_clipboard; }
    void showStatusMessage(const std::string& text) override { m_statusLine->showNotice(qb::displayText(text)); }

private:
    qb::QtDialogs m_dialogs;
    qb::QtEditor m_editor;
    qb::QtLineEdit m_pathField;
    qb::QtListControl m_correspondents;
    qb::QtWindow m_window;
    qb::QtProgressControl m_progress;
    qb::QtClipboard m_clipboard;
    qb::StatusLine* m_statusLine;
};

TForm1::TForm1(qb::Session& session, QWidget* parent) : QMainWindow(parent), m_session(session)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(qb::kApplicationTitle));
    // The size of the classic 8-point dialog font, so the fixed-width group box holds its caption.
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    buildActions();
    buildMenu();
    buildToolBar();
    buildClientArea();
    buildStatusBar();
    m_edit2->installEventFilter(this);

    m_view = std::make_unique<View>(*this);
    m_cipher = std::make_unique<qb::MessageCipher>(m_session, *m_view);
    m_correspondents = std::make_unique<qb::CorrespondentCommands>(m_session, *m_view);
    m_keyCommands = std::make_unique<qb::KeyCommands>(m_session, *m_view);
    m_files = std::make_unique<qb::MessageFiles>(m_session, *m_view);
    m_editCommands = std::make_unique<qb::EditCommands>(*m_view, m_session.shownMessage);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kTickerInterval);
    connect(m_timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    resize(kOuterWidth, kOuterHeight);

    // Outside run: without its data directory the program cannot start, so EDataDirectory leaves the constructor.
    m_session.getcurrentdirectory();
    run([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::attachForms(TForm2* form2, TForm4* form4)
{
    m_form2 = form2;
    m_form4 = form4;
}

void TForm1::attachAboutBox(std::function<TForm3*()> build)
{
    m_buildForm3 = std::move(build);
}

void TForm1::createForms(qb::ProcessStarter& starter)
{
    auto* form2 = new TForm2(this);
    auto* form4 = new TForm4(m_session, view().dialogs(), starter, this);
    attachForms(form2, form4);
    attachAboutBox(TForm3::builtLater(view().dialogs(), starter, this));
}

TForm3* TForm1::aboutBox()
{
    if (!m_form3 && m_buildForm3)
        m_form3 = std::exchange(m_buildForm3, nullptr)();
    return m_form3;
}

qb::MainView& TForm1::view()
{
    return *m_view;
}

bool TForm1::run(const std::function<void()>& command)
{
    return qb::runCommand(m_view->dialogs(), command);
}

// ---- Window events

void TForm1::FormCreate()
{
    m_correspondents->updateusers();
    m_ticker.start();
    m_timer1->start();
}

void TForm1::FormShow()
{
    if (!m_form2)
        return;
    // The windows built so far ask to be styled as soon as events run, which would be before the welcome window is
    // painted; each is styled anyway before it is first shown.
    QCoreApplication::removePostedEvents(nullptr, QEvent::PolishRequest);
    run([this] { m_form2->exec(); });
}

void TForm1::FormResize()
{
    m_edit2->setFixedWidth(std::max(0, frameGeometry().width() - kEdit2Left - 10));
}

void TForm1::setVisible(bool visible)
{
    if (visible && !isVisible())
        FormShow();
    QMainWindow::setVisible(visible);
}

bool TForm1::event(QEvent* event)
{
    // The status bar's one simple text is the ticker; menu hovering must not blank it.
    if (event->type() == QEvent::StatusTip)
        return true;
    if (event->type() == QEvent::WindowActivate)
        placeOnceFrameKnown();
    return QMainWindow::event(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // The path field claims some control keys as editing keys (with the X11 key scheme Ctrl+E is end of line);
    // the commands that work on the message keep their shortcuts there. An override left unaccepted lets the
    // shortcut fire.
    if (watched == m_edit2 && event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<const QKeyEvent*>(event)->keyCombination());
        for (const char* name : {"Encrypt1", "Decrypt1", "CopyAsMailText1", "NewMail1", "Open1", "Exit1"}) {
            if (action(name)->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    m_framePlaced = frameGeometry().size() != size();
    placeOnScreen();
    // The message is what the user came to write, not the path field that comes first on the tool bar.
    m_memo1->setFocus(Qt::ActiveWindowFocusReason);
}

void TForm1::placeOnScreen()
{
    const QSize frame = frameGeometry().size() - size();
    resize(kOuterWidth - frame.width(), kOuterHeight - frame.height());
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - frameGeometry().center() + pos());
}

// Under a window manager the frame arrives after the first showing: place the window again, once, when it does.
void TForm1::placeOnceFrameKnown()
{
    if (!m_placed || m_framePlaced || frameGeometry().size() == size())
        return;
    m_framePlaced = true;
    placeOnScreen();
}

void TForm1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    placeOnceFrameKnown();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // FormCloseQuery: a save prompt answered Cancel, or a save that failed, keeps the window open.
    if (!run([this] { m_files->Checkfilesave(); })) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
    placeOnceFrameKnown();
}

void TForm1::Memo1Change()
{
    m_view->memo1().setModified(true);
}

void TForm1::ListBox1Click()
{
    run([this] { m_correspondents->ListBox1Click(); });
}

void TForm1::Timer1Timer()
{
    // A notice stands in the ticker's place; the ticker waits where it was until the notice ends.
    if (m_statusLine->showsNotice())
        return;
    run([this] {
        const std::string shown = qb::cp1252FromText(m_statusLine->tickerText(), "The status line");
        m_statusLine->setTickerText(qb::textFromCp1252(m_ticker.Timer1Timer(shown)));
    });
}

// ---- Commands

void TForm1::NewMail1Click()
{
    run([this] { m_files->NewMail1Click(); });
}

void TForm1::Open1Click()
{
    run([this] { m_files->Open1Click(); });
}

void TForm1::SaveAs1Click()
{
    run([this] { m_files->SaveAs1Click(); });
}

void TForm1::Save1Click()
{
    run([this] { m_files->Save1Click(); });
}

void TForm1::NewKey1Click()
{
    run([this] { m_correspondents->NewKey1Click(); });
}

void TForm1::NewRecipiantFile1Click()
{
    run([this] { m_correspondents->newrecipiantfile(); });
}

void TForm1::ImportKey1Click()
{
    run([this] { m_correspondents->ImportKey1Click(); });
}

void TForm1::KeyFingerprint1Click()
{
    run([this] { m_keyCommands->KeyFingerprint1Click(); });
}

void TForm1::ExportKey1Click()
{
    run([this] { m_keyCommands->ExportKey1Click(); });
}

void TForm1::Exit1Click()
{
    close();
}

void TForm1::Cut1Click()
{
    m_memo1->cut();
}

void TForm1::Copy1Click()
{
    m_memo1->copy();
}

void TForm1::Paste1Click()
{
    m_memo1->paste();
}

void TForm1::SelectAll1Click()
{
    m_memo1->selectAll();
}

void TForm1::CopyAsMailText1Click()
{
    run([this] { m_editCommands->CopyAsMailText1Click(); });
}

void TForm1::Encrypt1Click()
{
    run([this] { m_cipher->Encrypt1Click(); });
}

void TForm1::Decrypt1Click()
{
    run([this] { m_cipher->Decrypt1Click(); });
}

void TForm1::StrongEncryption1Click()
{
    run([this] { m_keyCommands->StrongEncryption1Click(); });
    showStrongEncryptionSetting();
}

void TForm1::showStrongEncryptionSetting()
{
    std::optional<bool> checked;
    run([&] { checked = m_keyCommands->strongEncryptionChecked(); });
    QAction* item = action("StrongEncryption1");
    item->setEnabled(checked.has_value());
    item->setChecked(checked.value_or(false));
}

void TForm1::RunProgram1Click()
{
    if (m_form4)
        m_form4->exec();
}

void TForm1::AddProgram1Click()
{
    if (m_form4)
        run([this] { m_form4->programs().AddProgram1Click(); });
}

void TForm1::NewMailProgramFile1Click()
{
    if (m_form4)
        run([this] { m_form4->programs().newprogramfile(); });
}

void TForm1::About1Click()
{
    if (TForm3* form3 = aboutBox())
        form3->exec();
}
