#include "AppTestSupport.h"
#include "ModalScript.h"
#include "ScriptedUi.h"

#include "ProductInfo.h"
#include "Session.h"
#include "StatusLine.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyleOptionGroupBox>
#include <QToolBar>
#include <QToolButton>

#include <map>
#include <memory>
#include <tuple>

namespace {

using Files = std::map<QString, QByteArray>;
using qbtest::readFile;

// A data directory with the given files, the working directory while the main window is created in it.
// The ticker is stopped so that tests drive it themselves.
struct MainWindowFixture
{
    explicit MainWindowFixture(const Files& files = {})
    {
        for (const auto& [name, bytes] : files)
            qbtest::writeFile(path(name), bytes);
        form = std::make_unique<TForm1>(session);
        child<QTimer>("Timer1")->stop();
    }

    QString dirPath() const { return QFile::decodeName(dir.path().c_str()); }
    QString path(const QString& relative) const { return dirPath() + "/" + relative; }
    template <typename T = QWidget> T* child(const char* name) const
    {
        return qbtest::child<T>(*form, QString::fromLatin1(name));
    }
    QPlainTextEdit* memo1() const { return child<QPlainTextEdit>("Memo1"); }
    QLineEdit* edit2() const { return child<QLineEdit>("Edit2"); }
    qb::ListBoxWidget* listBox1() const { return child<qb::ListBoxWidget>("ListBox1"); }
    void trigger(const char* action) const { child<QAction>(action)->trigger(); }
    void select(const QString& name) const
    {
        const int row = static_cast<int>(qbtest::entries(*listBox1()).indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name));
        listBox1()->setCurrentRow(row);
    }
    void show() const
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    // The user the session holds, the caption, and the path field's bytes (byte for byte, as Latin-1).
    QString selection() const
    {
        return QString::fromLatin1(session.currentuser.c_str()) + " | " + form->windowTitle() + " | " +
               QString::fromLatin1(form->view().edit2().text().c_str());
    }

    qbtest::TempDir dir;
    // Declared after the folder and before the window: the window goes first, then the folder is left.
    qbtest::ScopedWorkingDirectory workingDirectory{dir.path()};
    qb::Session session;
    std::unique_ptr<TForm1> form;
};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(qbtest::visibleTopLevelWindows(), QStringList()); }

    void startsWithCaptionSizeAndSortedCorrespondents()
    {
        MainWindowFixture f(Files{{"users.cfg", "Zed\r\nbob\r\nalice\r\nBob\r\n"}});
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97"));
        QCOMPARE(f.session.currentdirectory, QDir(f.dirPath()).canonicalPath().toStdString());
        QCOMPARE(f.edit2()->text(), QString());
        // Case-insensitive, and the two spellings of bob in the order the file lists them.
        QCOMPARE(qbtest::entries(*f.listBox1()), QStringList({"alice", "bob", "Bob", "Zed"}));
        QCOMPARE(f.listBox1()->selectedRow(), -1);
        QCOMPARE(f.listBox1()->toolTip(), QStringLiteral("Recipants"));
        QCOMPARE(f.child<QTimer>("Timer1")->interval(), 300);
        QCOMPARE(f.child<QGroupBox>("GroupBox2")->title(), QStringLiteral("Recipient/Sender"));
        QVERIFY(f.child<QProgressBar>("ProgressBar3"));
        QCOMPARE(f.form->statusBar()->objectName(), QStringLiteral("StatusBar1"));
        QVERIFY(!f.memo1()->tabChangesFocus());
        QCOMPARE(f.memo1()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(f.memo1()->tabStopDistance(), QFontMetricsF(f.memo1()->font()).horizontalAdvance(u' ') * 8);
    }

    // Started in a folder removed since, the window is not created: no path may fall back to the root.
    void refusesToStartInARemovedFolder()
    {
        QTemporaryDir dir;
        const QString gone = dir.path() + "/gone";
        const QString previous = QDir::currentPath();
        QVERIFY(QDir().mkdir(gone) && QDir::setCurrent(gone) && QDir().rmdir(gone));
        qb::Session session;
        const QString error = qbtest::errorFrom<qb::EDataDirectory>([&] { TForm1 form(session); });
        QDir::setCurrent(previous);
        QCOMPARE(error,
                 QStringLiteral("The folder the program was started in cannot be read: No such file or directory"));
        QVERIFY(session.currentdirectory.empty());
    }

    // The list is as wide as the box allows and shows whole rows only, as many as fit above the progress bar, which
    // keeps to the box's bottom; the caption ends inside the box.
    void correspondentBoxShowsWholeRowsAboveTheProgressBar()
    {
        struct Row
        {
            const char* name;
            int windowHeight;
            const char* lastName;
            bool scrollBar; // across the list's bottom, for a name wider than the list
        };
        const Row rows[] = {{"usual height", 361, "Zed", false},
                            {"taller", 437, "Zed", false},
                            {"with a scroll bar", 400, "Maximilian-Alexander", true}};
        for (const Row& row : rows) {
            const qbtest::RowTrace trace(row.name);
            QByteArray users;
            for (int index = 0; index < 40; ++index)
                users += "user" + QByteArray::number(index) + "\r\n";
            MainWindowFixture f(Files{{"users.cfg", users + row.lastName + "\r\n"}});
            f.show();
            f.form->resize(f.form->width(), row.windowHeight - (f.form->frameGeometry().height() - f.form->height()));
            const auto* box = f.child<QGroupBox>("GroupBox2");
            const qb::ListBoxWidget* list = f.listBox1();
            const auto* bar = f.child<QProgressBar>("ProgressBar3");
            QTRY_COMPARE(list->horizontalScrollBar()->isVisible(), row.scrollBar);

            QCOMPARE(list->width(), 93);
            QCOMPARE(list->viewport()->height() % list->sizeHintForRow(0), 0);
            QCOMPARE(bar->geometry(), QRect(list->x(), box->contentsRect().bottom() - 16, 93, 16));
            // No room for another row between the list and the bar.
            QVERIFY(bar->y() - list->geometry().bottom() <= list->sizeHintForRow(0));
            QVERIFY(list->geometry().bottom() < bar->y());

            QStyleOptionGroupBox caption;
            caption.initFrom(box);
            caption.text = box->title();
            caption.textAlignment = box->alignment();
            caption.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect label =
                box->style()->subControlRect(QStyle::CC_GroupBox, &caption, QStyle::SC_GroupBoxLabel, box);
            QVERIFY2(label.right() < box->width() - 4, qPrintable(QString::number(label.right())));
            f.form->hide();
        }
    }

    void screenReadersHearEachControlByName()
    {
        MainWindowFixture f;
        qbtest::RecordingProcessStarter starter;
        const TForm2 form2;
        const TForm3 form3(f.form->view().dialogs(), starter);
        const TForm4 form4(f.session, f.form->view().dialogs(), starter);
        struct Row
        {
            const QWidget* window;
            const char* objectName;
            const char* spoken;
        };
        const Row rows[] = {
            {f.form.get(), "Memo1", "Message"},       {f.form.get(), "Edit2", "Message file"},
            {f.form.get(), "ListBox1", "Recipients"}, {f.form.get(), "ProgressBar3", "Progress"},
            {f.form.get(), "ToolBar1", "Tool bar"},   {&form4, "ListBox1", "Mail programs"},
            {&form2, "ProductName", "Quillbox"},      {&form3, "ProductName", "Quillbox"},
            {f.form.get(), "StatusBar1", "Status"},   {f.form.get(), "qt_toolbar_ext_button", "More tools"},
        };
        for (const Row& row : rows) {
            const qbtest::RowTrace trace(row.window->objectName() + " " + row.objectName);
            QWidget* widget = qbtest::child(*row.window, QString::fromLatin1(row.objectName));
            QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(spoken);
            QCOMPARE(spoken->text(QAccessible::Name), QString::fromLatin1(row.spoken));
        }
        // Pictures are decoration: nothing in the windows is an image without a name.
        for (const QWidget* window : {static_cast<const QWidget*>(f.form.get()), static_cast<const QWidget*>(&form2),
                                      static_cast<const QWidget*>(&form3)}) {
            for (QWidget* widget : window->findChildren<QWidget*>()) {
                const QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(spoken->role() != QAccessible::Graphic || !spoken->text(QAccessible::Name).isEmpty(),
                         qPrintable(widget->objectName()));
            }
        }
    }

    void menuBarHoldsMenusAndItemsInOrder()
    {
        MainWindowFixture f;
        const QMenuBar* bar = f.form->menuBar();
        QStringList shown; // a menu and its items as "name caption[ shortcut]", a separator as "name -"
        for (const QAction* entry : bar->actions()) {
            const QMenu* menu = entry->menu();
            QString line =
                menu ? menu->objectName() + " " + menu->title() + ":" : entry->objectName() + " " + entry->text();
            for (const QAction* action : menu ? menu->actions() : QList<QAction*>()) {
                line += " " + action->objectName() + " " + (action->isSeparator() ? "-" : action->text());
                if (!action->shortcut().isEmpty())
                    line += " " + action->shortcut().toString();
            }
            shown << line;
            if (menu)
                QCOMPARE(menu->font(), bar->font());
        }
        // About is a command of its own; no Save item anywhere (only the tool button saves).
        QCOMPARE(shown, QStringList(
                            {"File1 &File: NewMail1 &New.. Ctrl+N Open1 &Open Ctrl+O SaveAs1 Save &As.. N1 - "
                             "NewKey1 New &Recipiant NewRecipiantFile1 New Recipiant &File ImportKey1 &Import Key "
                             "KeyFingerprint1 &Key Fingerprint... ExportKey1 &Export Key... N2 - Exit1 E&xit Ctrl+Q",
                             "Edit1 &Edit: Cut1 C&ut Ctrl+X Copy1 &Copy Ctrl+C Paste1 &Paste Ctrl+V "
                             "SelectAll1 &Select All N3 - CopyAsMailText1 Copy as &Mail Text Ctrl+Shift+C",
                             "EncryptDecrypt1 &Encrypt/Decrypt: Encrypt1 &Encrypt Ctrl+E Decrypt1 &Decrypt Ctrl+D N4 - "
                             "StrongEncryption1 &Strong Encryption",
                             "MailProgram1 &Mail Programs: StartProgram1 &Start Program AddProgram1 &Add "
                             "Program NewMailProgramFile1 &New Mail Program File",
                             "About1 &About"}));
        QCOMPARE(bar->findChildren<QMenu*>().size(), 4);
    }

    void toolBarHoldsButtonsInOrderWithHints()
    {
        MainWindowFixture f;
        const auto* toolBar = f.child<QToolBar>("ToolBar1");
        QStringList shown;
        for (QAction* action : toolBar->actions()) {
            const QWidget* widget = toolBar->widgetForAction(action);
            if (action->isSeparator()) {
                shown << QStringLiteral("%1 separator %2").arg(widget->objectName()).arg(widget->width());
            } else if (const auto* button = qobject_cast<const QToolButton*>(widget)) {
                QCOMPARE(action->icon().pixmap(16, 16).size(), QSize(16, 16));
                QCOMPARE(action->icon().pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
                shown << QStringLiteral("%1 %2 \"%3\"")
                             .arg(widget->objectName(), action->objectName(), button->toolTip());
            } else {
                shown << widget->objectName();
            }
        }
        QCOMPARE(shown, QStringList({"ToolButton10 NewMail1 \"New Message\"", "ToolButton1 Open1 \"Open File\"",
                                     "ToolButton2 Save1 \"Save current\"", "ToolButton8 separator 19",
                                     "ToolButton3 Copy1 \"Copy\"", "ToolButton4 Cut1 \"Cut\"",
                                     "ToolButton5 Paste1 \"Paste\"", "ToolButton11 SelectAll1 \"Select All Text\"",
                                     "ToolButton6 separator 22", "ToolButton7 Encrypt1 \"Encrypt Message\"",
                                     "ToolButton9 Decrypt1 \"Decrypt Message\"", "Edit2"}));
    }

    void selectingACorrespondentSetsPathCaptionAndUser()
    {
        MainWindowFixture f(Files{{"users.cfg", "alice\r\nM\xFCller\r\n\r\n"}});
        const QString dir = QDir(f.dirPath()).canonicalPath();
        f.select(QStringLiteral("alice"));
        QCOMPARE(f.selection(), "alice | Quillbox 97 - [alice] | " + dir + "/alice/newmail.txt");
        QCOMPARE(f.edit2()->text(), dir + "/alice/newmail.txt");

        // By keyboard, to a name that is windows-1252 in the file: the bytes stay as the file has them.
        f.listBox1()->setFocus();
        QTest::keyClick(f.listBox1(), Qt::Key_Down);
        const QString mueller = QString::fromUtf8("M\u00FCller | Quillbox 97 - [M\u00FCller] | ") + dir +
                                QString::fromUtf8("/M\u00FCller/newmail.txt");
        QCOMPARE(f.selection(), mueller);

        // Neither a Ctrl+click on the selected entry nor a click on blank space takes the selection away.
        f.show();
        qbtest::ModalScript modal;
        qb::ListBoxWidget* list = f.listBox1();
        const QRect selected = list->rowRect(list->selectedRow());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, selected.center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->viewport()->rect().bottomLeft() + QPoint(5, -5));
        QCOMPARE(list->selectedRow(), list->currentIndex().row());
        QCOMPARE(f.selection(), mueller);
        QCOMPARE(modal.unexpected(), QStringList());
        f.form->hide();

        // The empty entry of the trailing empty line sorts first.
        f.listBox1()->setCurrentRow(0);
        QCOMPARE(f.selection().section(" | ", 0, 1), QStringLiteral(" | Quillbox 97 - []"));
    }

    void tickerGrowsStandsClearsAndStartsAgain()
    {
        MainWindowFixture f;
        const QString line = QStringLiteral("Visit My Web Site at ") + QString::fromLatin1(qb::kHomePage);
        const auto* bar = f.child<qb::StatusLine>("StatusBar1");
        // The line grows a character a tick, stands complete for one tick, is cleared, then starts again.
        for (int tick = 1; tick <= line.size() + 2; ++tick) {
            f.form->Timer1Timer();
            QCOMPARE(bar->tickerText(), tick <= line.size() ? line.left(tick) : line.left(tick - line.size() - 1));
        }
        // Hovering a menu item must not blank the line.
        QStatusTipEvent tip(QString{});
        QApplication::sendEvent(f.form.get(), &tip);
        QCOMPARE(bar->tickerText(), line.left(1));
        QVERIFY(bar->currentMessage().isEmpty());
    }

    // A command's notice stands in the ticker's place for a while, and a screen reader hears it once; the ticker
    // waits meanwhile and then goes on from where it was.
    void noticeReplacesTheTickerForAWhile()
    {
        MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}, {"bob/bob.key", "k"}});
        f.show();
        auto* bar = f.child<qb::StatusLine>("StatusBar1");
        const auto spokenName = [bar] { return QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Name); };
        f.form->Timer1Timer();
        f.form->Timer1Timer();
        QCOMPARE(spokenName(), QStringLiteral("Status"));
        f.select(QStringLiteral("bob"));
        f.memo1()->insertPlainText(QStringLiteral("Hi"));
        f.trigger("Encrypt1");
        const QString notice = QStringLiteral(
            "Encrypted with bob's key. Copy as Mail Text (Ctrl+Shift+C) to send it. Classic: anyone holding several "
            "such messages can read them without the key; see Encrypt/Decrypt > Strong Encryption.");
        QCOMPARE(bar->currentMessage(), notice);
        QCOMPARE(spokenName(), notice);
        // Heard once: the bar announces its new message itself, and no name is set on it that would say it again.
        QVERIFY(bar->accessibleName().isEmpty());
        f.form->Timer1Timer();
        QCOMPARE(bar->tickerText(), QStringLiteral("Vi"));
        QVERIFY(!f.child("Ticker")->isVisibleTo(bar));

        bar->clearMessage(); // as the notice's time running out does
        QVERIFY(f.child("Ticker")->isVisibleTo(bar));
        f.form->Timer1Timer();
        QCOMPARE(bar->tickerText(), QStringLiteral("Vis"));
        QCOMPARE(spokenName(), QStringLiteral("Status"));
        f.form->hide();
    }

    // Tab types a Tab in the editor; Ctrl+Tab leaves it, and the editor, the path field and the list form a cycle.
    void focusCyclesThroughEditorPathFieldAndList()
    {
        MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}});
        f.show();
        QWidget* memo = f.memo1();
        QTRY_COMPARE(QApplication::focusWidget(), memo);
        const auto press = [](int key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
            return QApplication::focusWidget()->objectName();
        };
        QCOMPARE(press(Qt::Key_Tab), QStringLiteral("Memo1"));
        QCOMPARE(f.memo1()->toPlainText(), QStringLiteral("\t"));
        QCOMPARE(press(Qt::Key_Tab, Qt::ControlModifier), QStringLiteral("Edit2"));
        QCOMPARE(press(Qt::Key_Tab), QStringLiteral("ListBox1"));
        QCOMPARE(press(Qt::Key_Tab), QStringLiteral("Memo1"));
        QCOMPARE(press(Qt::Key_Backtab, Qt::ShiftModifier), QStringLiteral("ListBox1"));
        QCOMPARE(press(Qt::Key_Backtab, Qt::ShiftModifier), QStringLiteral("Edit2"));
        QCOMPARE(press(Qt::Key_Backtab, Qt::ShiftModifier), QStringLiteral("Memo1"));
        QCOMPARE(press(Qt::Key_Backtab, Qt::ShiftModifier | Qt::ControlModifier), QStringLiteral("ListBox1"));
        QCOMPARE(f.memo1()->toPlainText(), QStringLiteral("\t"));
        f.form->hide();
    }

    void pathFieldFollowsTheWindowWidth()
    {
        MainWindowFixture f;
        f.show();
        QCOMPARE(f.form->frameGeometry().size(), QSize(583, 361));
        const int frameWidth = f.form->frameGeometry().width() - f.form->width();
        // Window width, path field width: the field takes what the buttons leave.
        for (const auto& [width, fieldWidth] : {std::pair{583, 325}, {800, 542}, {200, 0}}) {
            f.form->resize(width - frameWidth, f.form->height());
            QCOMPARE(f.form->frameGeometry().width(), width);
            QCOMPARE(f.edit2()->width(), fieldWidth);
        }
    }

    // New and Exit ask to save only a changed message, and Cancel keeps everything as it was.
    void unsavedChangesAreAskedAbout()
    {
        // Name, command, typed text, answer (empty: no box expected), closes, then the memo, path and caption left.
        const std::tuple<const char*, const char*, QString, QString, bool, QString, QString, QString> rows[] = {
            {"New, unchanged", "NewMail1", "", "", false, "", "Untitled", "Quillbox 97 - [Untitled]"},
            {"New, changed, Cancel", "NewMail1", "draft", "Cancel", false, "draft", "", "Quillbox 97"},
            {"Exit, unchanged", "Exit1", "", "", true, "", "", "Quillbox 97"},
            {"Exit, changed, No", "Exit1", "unsaved", "&No", true, "unsaved", "", "Quillbox 97"},
            {"Exit, changed, Cancel", "Exit1", "unsaved", "Cancel", false, "unsaved", "", "Quillbox 97"}};
        for (const auto& [name, command, typed, answer, closes, memo, path, caption] : rows) {
            const qbtest::RowTrace trace(name);
            MainWindowFixture f;
            f.show();
            QTest::keyClicks(f.memo1(), typed);
            qbtest::ModalScript modal;
            if (!answer.isEmpty())
                modal.clickBox(answer);
            f.trigger(command);
            QVERIFY(modal.done());
            QCOMPARE(modal.unexpected(), QStringList());
            QCOMPARE(modal.boxes().size(), std::size_t(answer.isEmpty() ? 0 : 1));
            for (const qbtest::SeenBox& box : modal.boxes())
                QCOMPARE(box.caption + ": " + box.text, QStringLiteral("Confirm: Save message?"));
            QCOMPARE(f.form->isVisible(), !closes);
            QCOMPARE(f.memo1()->toPlainText(), memo);
            QCOMPARE(f.memo1()->document()->isModified(), !memo.isEmpty());
            QCOMPARE(f.edit2()->text(), path);
            QCOMPARE(f.form->windowTitle(), caption);
            f.form->hide();
        }
    }

    void openLoadsTheFileAndNamesItInThePathField()
    {
        MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}, {"letter.txt", "Dear bob,\r\nhello\r\n"}});
        f.select(QStringLiteral("bob"));
        qbtest::ModalScript modal;
        modal.acceptFile(f.path("letter.txt"));
        f.trigger("Open1");
        QVERIFY(modal.done());
        QCOMPARE(modal.unexpected(), QStringList());
        QCOMPARE(modal.fileDialogs().at(0).title, QStringLiteral("Open File"));
        QCOMPARE(f.memo1()->toPlainText(), QStringLiteral("Dear bob,\nhello\n"));
        QCOMPARE(f.form->view().edit2().text(), f.path("letter.txt").toStdString());
        QVERIFY(!f.memo1()->document()->isModified());
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97 - [bob]"));
    }

    void saveAsCopiesTheMessageFileAndAsksBeforeOverwriting()
    {
        const QByteArray message("line one\r\n\x1A tail", 15);
        MainWindowFixture f(Files{{"message.txt", message}, {"kept.txt", "old"}});
        const auto saveAs = [&f](qbtest::ModalScript& modal) {
            f.form->view().edit2().setText(f.path("message.txt").toStdString());
            f.trigger("SaveAs1");
            QVERIFY(modal.done());
        };
        {
            qbtest::ModalScript modal;
            saveAs(modal.acceptFile(f.path("copy.txt")));
        }
        QCOMPARE(readFile(f.path("copy.txt")), message);
        QCOMPARE(f.edit2()->text(), f.path("copy.txt"));

        qbtest::ModalScript modal;
        saveAs(modal.acceptFile(f.path("kept.txt")).clickBox(QStringLiteral("&No")));
        QCOMPARE(modal.boxes().at(0).text, "OK to overwrite " + f.path("kept.txt"));
        QCOMPARE(modal.boxes().at(0).buttons, QStringList({"&No", "&Yes", "Cancel"}));
        QCOMPARE(readFile(f.path("kept.txt")), QByteArray("old"));
        // The dialog opens with the name it last accepted.
        QCOMPARE(modal.fileDialogs().at(0).offered.value(0), f.path("copy.txt"));
    }

    // A command that cannot go ahead says why in an OK box, and leaves what it would have written untouched.
    void failingCommandsSayWhyInAnOkBox()
    {
        // Name, files, user (empty: nobody selected), typed text, name saved as (empty: no file dialog), command,
        // the box's "caption: text" and icon, and a file (empty: none) with the bytes it must still hold.
        using Row = std::tuple<const char*, Files, QString, QString, QString, const char*, QString, QMessageBox::Icon,
                               QString, QByteArray>;
        // clang-format off
        const Row rows[] = {
            {"save text the code page lacks", {}, "", QString::fromUtf8("x \u4E2D"), "target.txt", "Save1",
             "Quillbox 97: The message holds a character that cannot be saved: U+4E2D.", QMessageBox::Critical,
             "target.txt", "<missing>"},
            {"encrypt without a key", {{"users.cfg", "carol\r\n"}, {"carol/newmail.txt", ""}}, "carol", "text", "",
             "Encrypt1", "Warning: Please select a Recipiant/Sender!", QMessageBox::Warning, "", ""},
            {"encrypt text the code page lacks", {{"users.cfg", "bob\r\n"}, {"bob/bob.key", "k"},
             {"bob/newmail.txt", "kept"}}, "bob", QString::fromUtf8("abc \u4E2D"), "", "Encrypt1",
             "Quillbox 97: The message holds a character that cannot be saved: U+4E2D.", QMessageBox::Critical,
             "bob/newmail.txt", "kept"}};
        // clang-format on
        for (const auto& [name, files, user, typed, savedAs, command, text, icon, file, bytes] : rows) {
            const qbtest::RowTrace trace(name);
            MainWindowFixture f(files);
            f.trigger("NewMail1");
            if (!user.isEmpty())
                f.select(user);
            f.memo1()->insertPlainText(typed);
            qbtest::ModalScript modal;
            if (!savedAs.isEmpty())
                modal.acceptFile(f.path(savedAs));
            modal.clickBox(QStringLiteral("OK"));
            f.trigger(command);
            QVERIFY(modal.done());
            const qbtest::SeenBox& box = modal.boxes().at(0);
            QCOMPARE(box.caption + ": " + box.text, text);
            QCOMPARE(box.icon, icon);
            QCOMPARE(box.buttons, QStringList({"OK"}));
            if (!file.isEmpty())
                QCOMPARE(readFile(f.path(file)), bytes);
        }
    }

    void typedMessageIsEncryptedAndDecryptedWithTheCorrespondentsKey()
    {
        MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}, {"bob/bob.key", QByteArray("\x01\x02", 2)}});
        f.select(QStringLiteral("bob"));
        f.memo1()->setFocus();
        QTest::keyClicks(f.memo1(), QStringLiteral("Hi"));
        QTest::keyClick(f.memo1(), Qt::Key_Return);
        QTest::keyClicks(f.memo1(), QStringLiteral("ok"));

        qbtest::ModalScript modal;
        f.trigger("Encrypt1");
        // "Hi\r\nok" with the key 01 02 01 02 01 02.
        QCOMPARE(readFile(f.path("bob/newmail.txt")), QByteArray("Ik\x0C\x08ni"));
        QVERIFY(!QFile::exists(f.path("bob/newmail.tmp")));
        QCOMPARE(f.form->view().memo1().text(), std::string("Ik\x0C\x08ni"));
        QVERIFY(f.memo1()->document()->isModified());

        f.trigger("Decrypt1");
        QCOMPARE(readFile(f.path("bob/newmail.txt")), QByteArray("Hi\r\nok"));
        QCOMPARE(f.memo1()->toPlainText(), QStringLiteral("Hi\nok"));
        QCOMPARE(modal.unexpected(), QStringList());
        QCOMPARE(f.child<QProgressBar>("ProgressBar3")->value(), 0);
    }

    void editMenuWorksOnTheEditor()
    {
        MainWindowFixture f;
        f.memo1()->setPlainText(QStringLiteral("caf\u00E9 \u20AC5"));
        f.trigger("SelectAll1");
        f.trigger("Cut1");
        QVERIFY(f.memo1()->document()->isEmpty());
        f.trigger("Paste1");
        f.trigger("Paste1");
        QCOMPARE(f.form->view().memo1().text(), std::string("caf\xE9 \x80"
                                                            "5caf\xE9 \x80"
                                                            "5"));
        f.trigger("SelectAll1");
        f.trigger("Copy1");
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("caf\u00E9 \u20AC5caf\u00E9 \u20AC5"));
    }

    // Ciphertext leaves through the clipboard, by the editor's own Copy or as mail text, and is pasted into a new
    // message: Decrypt of that untitled message gives the letter back, on screen and in its file.
    void ciphertextComesBackThroughTheClipboard()
    {
        // bob's key 00 01 .. 09 gives this letter a ciphertext with a byte 0, a lone CR and a lone LF.
        const QByteArray letter("Dear bob,\r\nthe keys\twith care:\r\nbye\r\n");
        const struct
        {
            const char* name;
            bool asMailText;      // else Select All and Copy
            QString begins, ends; // the clipboard's text
        } rows[] = {{"editor's Copy", false, QStringLiteral("Ddcq$gie$\u2404\u240A"), QStringLiteral("\u2408\u240C")},
                    {"mail text by its keys", true, "-----BEGIN QUILLBOX 97 MESSAGE-----\nKey: 1F82 5AA2 F002 0EF7\n\n",
                     "-----END QUILLBOX 97 MESSAGE-----\n"}};
        for (const auto& [name, asMailText, begins, ends] : rows) {
            const qbtest::RowTrace trace(name);
            MainWindowFixture f(
                Files{{"users.cfg", "bob\r\n"}, {"bob/bob.key", QByteArray("\0\1\2\3\4\5\6\7\b\t", 10)}});
            f.show();
            f.select(QStringLiteral("bob"));
            f.memo1()->insertPlainText(QString::fromLatin1(letter).remove(u'\r'));
            qbtest::ModalScript modal;
            f.trigger("Encrypt1");
            const QByteArray ciphertext = readFile(f.path("bob/newmail.txt"));
            QVERIFY(ciphertext.contains('\0') && ciphertext.contains("\r\x0B") && ciphertext.contains("\x04\n"));
            QCOMPARE(QByteArray::fromStdString(f.form->view().memo1().text()), ciphertext);

            QApplication::clipboard()->clear();
            if (asMailText) {
                f.memo1()->setFocus();
                QTest::keyClick(f.memo1(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
            } else {
                f.trigger("SelectAll1");
                f.trigger("Copy1");
            }
            const QString copied = QApplication::clipboard()->text();
            QVERIFY2(copied.startsWith(begins) && copied.endsWith(ends), qPrintable(copied));
            if (asMailText) {
                // Edited, the text is no longer known to be Encrypt's: copied only when confirmed, naming no key.
                QTest::keyClicks(f.memo1(), QStringLiteral("x"));
                QTest::keyClick(f.memo1(), Qt::Key_Backspace);
                modal.clickBox(QStringLiteral("&Yes"));
                QTest::keyClick(f.memo1(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
                QCOMPARE(modal.boxes().back().defaultButton, QStringLiteral("&No"));
                QCOMPARE(modal.boxes().back().text,
                         QStringLiteral("The message is not encrypted. Copy it as mail text anyway?"));
                QVERIFY(QApplication::clipboard()->text().startsWith("-----BEGIN QUILLBOX 97 MESSAGE-----\n\n"));
                QApplication::clipboard()->setText(copied);
            }

            modal.clickBox(QStringLiteral("&No"));
            f.trigger("NewMail1");
            QCOMPARE(f.edit2()->text(), QStringLiteral("Untitled"));
            f.trigger("Paste1");
            f.trigger("Decrypt1");
            QVERIFY(modal.done());
            QCOMPARE(modal.unexpected(), QStringList());
            QCOMPARE(f.memo1()->toPlainText(), QString::fromLatin1(letter).remove(u'\r'));
            QCOMPARE(readFile(f.path("Untitled")), letter);
            f.form->hide();
        }
    }

    void messageShortcutsWorkInEveryField()
    {
        // Field, command, keys, and whether the keys are first bound to the command. Which keys a line edit claims
        // depends on the platform's key scheme; Ctrl+A it claims on every one.
        const std::tuple<const char*, const char*, const char*, bool> rows[] = {
            {"Edit2", "Encrypt1", "Ctrl+E", false},
            {"Edit2", "Decrypt1", "Ctrl+D", false},
            {"Memo1", "Encrypt1", "Ctrl+E", false},
            {"Memo1", "Decrypt1", "Ctrl+D", false},
            {"Edit2", "CopyAsMailText1", "Ctrl+Shift+C", false},
            {"Edit2", "Encrypt1", "Ctrl+A", true}};
        MainWindowFixture f;
        f.show();
        for (const auto& [field, action, keys, rebound] : rows) {
            const qbtest::RowTrace trace(QString(field) + " " + keys);
            auto* focused = f.child(field);
            focused->setFocus();
            auto* command = f.child<QAction>(action);
            if (rebound)
                command->setShortcut(QKeySequence(keys));
            QSignalSpy triggered(command, &QAction::triggered);
            // Without a recipient the command ends in a box; that box is not what this test is about.
            qbtest::ModalScript modal;
            modal.reject();
            QTest::keySequence(focused, QKeySequence(keys));
            QCOMPARE(triggered.count(), 1);
        }
        f.form->hide();
    }

    void welcomeWindowComesBeforeTheMainWindow()
    {
        MainWindowFixture f;
        auto* form2 = new TForm2(f.form.get());
        f.form->attachForms(form2, nullptr);
        bool mainWindowShown = true;
        qbtest::ModalScript modal;
        modal.then([&](QWidget* widget) {
            QCOMPARE(widget, form2);
            mainWindowShown = f.form->isVisible();
            form2->Button1Click();
        });
        f.form->show();
        QVERIFY(modal.done());
        QVERIFY(!mainWindowShown);
        QVERIFY(f.form->isVisible());
        QVERIFY(!form2->isVisible());
        // The message editor has the keyboard, not the path field that comes first in the Tab order.
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        QTRY_COMPARE(QApplication::focusWidget(), f.memo1());
        f.form->hide();
    }

    void menuCommandsReachTheirWindowsAndBoxes()
    {
        MainWindowFixture f;
        qbtest::RecordingProcessStarter starter;
        auto* form4 = new TForm4(f.session, f.form->view().dialogs(), starter, f.form.get());
        f.form->attachForms(nullptr, form4);
        // As the program wires it: the About window is built when first asked for.
        f.form->attachAboutBox(TForm3::builtLater(f.form->view().dialogs(), starter, f.form.get()));
        QVERIFY(!f.form->findChild<TForm3*>());
        QStringList names;
        QStringList titles;
        qbtest::ModalScript modal;
        for (const char* command : {"About1", "StartProgram1", "AddProgram1", "NewKey1", "ImportKey1"}) {
            modal.then([&](QWidget* widget) {
                names << widget->objectName();
                titles << widget->windowTitle();
                static_cast<QDialog*>(widget)->reject();
            });
            f.trigger(command);
        }
        QVERIFY(modal.done());
        QCOMPARE(modal.unexpected(), QStringList());
        QCOMPARE(names.mid(0, 2), QStringList({"Form3", "Form4"}));
        QCOMPARE(titles, QStringList({"About", "Mail Programs", "Add a new mail program to database",
                                      "New Recipiant/Sender", "Import New Key"}));
    }

    void keyFingerprintAndExportWorkOnTheSelectedCorrespondent()
    {
        MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}, {"bob/bob.key", "abc"}});
        f.select("bob");
        qbtest::ModalScript modal;
        modal.clickBox(QStringLiteral("OK")).acceptFile(f.path("given.key"));
        f.trigger("KeyFingerprint1");
        f.trigger("ExportKey1");
        QVERIFY(modal.done());
        // SHA-256 of "abc", from Python's hashlib.
        QCOMPARE(
            modal.boxes().at(0).text,
            QStringLiteral("bob's key fingerprint:\nBA78 16BF 8F01 CFEA\nIt matches when "
                           "bob sees the same fingerprint for your key.\nEncrypt uses the classic cipher for bob."));
        QCOMPARE(modal.fileDialogs().at(0).title, QStringLiteral("Export Key"));
        QCOMPARE(QFileInfo(modal.fileDialogs().at(0).offered.value(0)).fileName(), QStringLiteral("bob.key"));
        QCOMPARE(readFile(f.path("given.key")), QByteArray("abc"));
    }

    void newRecipiantIsRegisteredAndListed()
    {
        MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}});
        qbtest::ModalScript modal;
        modal.enterText(QStringLiteral("Carol")).clickBox(QStringLiteral("OK"));
        f.trigger("NewKey1");
        QVERIFY(modal.done());
        QCOMPARE(modal.boxes().at(0).text, QStringLiteral("New Directory and Key has been created for Carol"));
        QCOMPARE(modal.boxes().at(0).caption, QStringLiteral("Information"));
        QCOMPARE(readFile(f.path("users.cfg")), QByteArray("bob\r\nCarol\r\n"));
        QCOMPARE(readFile(f.path("Carol/Carol.key")).size(), 1000);
        QCOMPARE(qbtest::entries(*f.listBox1()), QStringList({"bob", "Carol"}));

        // The name just registered is chosen, as a click on it would choose it.
        f.select(QStringLiteral("bob"));
        f.form->view().edit2().setText("letter.txt");
        modal.enterText(QStringLiteral("alice")).clickBox(QStringLiteral("OK"));
        f.trigger("NewKey1");
        QVERIFY(modal.done());
        QCOMPARE(f.listBox1()->text(f.listBox1()->selectedRow()), QStringLiteral("alice"));
        QCOMPARE(f.selection(), QStringLiteral("alice | Quillbox 97 - [alice] | ") + f.path("alice/newmail.txt"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
