#include "ModalScript.h"

#include "ProductInfo.h"
#include "Session.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <map>
#include <memory>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

using Files = std::map<QString, QByteArray>;

// A data directory with the given files, the working directory while the main window is created in it.
// The ticker is stopped so that tests drive it themselves.
struct MainWindowFixture
{
    explicit MainWindowFixture(const Files& files = {})
    {
        for (const auto& [name, bytes] : files)
            writeFile(path(name), bytes);
        QDir::setCurrent(dir.path());
        form = std::make_unique<TForm1>(session);
        form->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    }
    ~MainWindowFixture()
    {
        form.reset();
        QDir::setCurrent(previous);
    }

    QString path(const QString& relative) const { return dir.path() + "/" + relative; }
    template <typename T> T* child(const char* name) const { return form->findChild<T*>(QString::fromLatin1(name)); }
    QPlainTextEdit* memo1() const { return child<QPlainTextEdit>("Memo1"); }
    QLineEdit* edit2() const { return child<QLineEdit>("Edit2"); }
    QListWidget* listBox1() const { return child<QListWidget>("ListBox1"); }
    void trigger(const char* action) const { child<QAction>(action)->trigger(); }
    void select(const QString& name) const
    {
        const QList<QListWidgetItem*> found = listBox1()->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        listBox1()->setCurrentItem(found.first());
    }

    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    qb::Session session;
    std::unique_ptr<TForm1> form;
};

class NoProcesses : public qb::ProcessStarter
{
public:
    void start(const std::string&) override {}
};

const QByteArray kUsers = "Zed\r\nbob\r\nalice\r\nBob\r\n";

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(qbtest::visibleTopLevelWindows(), QStringList()); }
    void startsWithCaptionSizeAndSortedRecipients();
    void menusHoldTheirItemsInOrder_data();
    void menusHoldTheirItemsInOrder();
    void aboutIsACommandOnTheMenuBar();
    void toolBarHoldsButtonsInOrderWithHints();
    void selectingARecipientSetsPathCaptionAndUser();
    void tickerGrowsStandsClearsAndStartsAgain();
    void pathFieldFollowsTheWindowWidth_data();
    void pathFieldFollowsTheWindowWidth();
    void newMessageWithoutChangesAsksNothing();
    void newMessageCancelledKeepsEverything();
    void openLoadsTheFileAndNamesItInThePathField();
    void saveAsCopiesTheMessageFileAndAsksBeforeOverwriting();
    void saveOfAMissingFileShowsTheStandardErrorBox();
    void closingAsksAboutChanges_data();
    void closingAsksAboutChanges();
    void typedMessageIsEncryptedAndDecryptedWithTheRecipientsKey();
    void encryptWithoutKeyWarns();
    void encryptRefusesTextTheCodePageCannotHold();
    void editMenuWorksOnTheEditor();
    void cipherShortcutsWorkInEveryField_data();
    void cipherShortcutsWorkInEveryField();
    void welcomeWindowComesBeforeTheMainWindow();
    void menuCommandsReachTheirWindowsAndBoxes();
    void newRecipientIsRegisteredAndListed();
};

void MainWindowTest::startsWithCaptionSizeAndSortedRecipients()
{
    MainWindowFixture f(Files{{"users.cfg", kUsers}});
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97"));
    QCOMPARE(f.session.currentdirectory, QDir(f.dir.path()).canonicalPath().toStdString());
    QCOMPARE(f.edit2()->text(), QString());

    QStringList shown;
    for (int row = 0; row < f.listBox1()->count(); ++row)
        shown << f.listBox1()->item(row)->text();
    // Case-insensitive, and the two spellings of bob in the order the file lists them.
    QCOMPARE(shown, QStringList({"alice", "bob", "Bob", "Zed"}));
    QCOMPARE(f.listBox1()->selectedItems().size(), 0);
    QCOMPARE(f.listBox1()->toolTip(), QStringLiteral("Recipants"));

    const auto* timer = f.child<QTimer>("Timer1");
    QCOMPARE(timer->interval(), 300);
    const auto* groupBox = f.child<QGroupBox>("GroupBox2");
    QVERIFY(groupBox);
    QCOMPARE(groupBox->title(), QStringLiteral("Recipient/Sender"));
    QVERIFY(f.child<QProgressBar>("ProgressBar3"));
    QCOMPARE(f.form->statusBar()->objectName(), QStringLiteral("StatusBar1"));
    QCOMPARE(f.memo1()->focusPolicy(), Qt::ClickFocus);
    QVERIFY(!f.memo1()->tabChangesFocus());
    QCOMPARE(f.memo1()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

void MainWindowTest::menusHoldTheirItemsInOrder_data()
{
    QTest::addColumn<QString>("menuName");
    QTest::addColumn<QString>("title");
    // "name|caption|shortcut" per item; a separator is "name|-|".
    QTest::addColumn<QStringList>("items");

    QTest::newRow("File") << "File1"
                          << "&File"
                          << QStringList{"NewMail1|&New..|",
                                         "Open1|&Open|",
                                         "SaveAs1|Save &As..|",
                                         "N1|-|",
                                         "NewKey1|New &Recipiant|",
                                         "NewRecipiantFile1|New Recipiant &File|",
                                         "ImportKey1|&Import Key|",
                                         "N2|-|",
                                         "Exit1|E&xit|"};
    QTest::newRow("Edit") << "Edit1"
                          << "&Edit"
                          << QStringList{"Cut1|C&ut|Ctrl+X", "Copy1|&Copy|Ctrl+C", "Paste1|&Paste|Ctrl+V",
                                         "SelectAll1|&Select All|"};
    QTest::newRow("Encrypt/Decrypt") << "EncryptDecrypt1"
                                     << "&Encrypt/Decrypt"
                                     << QStringList{"Encrypt1|&Encrypt|Ctrl+E", "Decrypt1|&Decrypt|Ctrl+D"};
    QTest::newRow("Mail Programs") << "MailProgram1"
                                   << "&Mail Programs"
                                   << QStringList{"StartProgram1|&Start Program|", "AddProgram1|&Add Program|",
                                                  "NewMailProgramFile1|&New Mail Program File|"};
}

void MainWindowTest::menusHoldTheirItemsInOrder()
{
    QFETCH(QString, menuName);
    QFETCH(QString, title);
    QFETCH(QStringList, items);
    MainWindowFixture f;
    const auto* menu = f.form->findChild<QMenu*>(menuName);
    QVERIFY(menu);
    QCOMPARE(menu->title(), title);
    QCOMPARE(menu->font(), f.form->menuBar()->font());
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        shown << QStringLiteral("%1|%2|%3")
                     .arg(action->objectName(), action->isSeparator() ? "-" : action->text(),
                          action->shortcut().toString());
    }
    QCOMPARE(shown, items);
}

void MainWindowTest::aboutIsACommandOnTheMenuBar()
{
    MainWindowFixture f;
    QStringList titles;
    for (const QAction* action : f.form->menuBar()->actions())
        titles << action->text();
    QCOMPARE(titles, QStringList({"&File", "&Edit", "&Encrypt/Decrypt", "&Mail Programs", "&About"}));
    const QAction* about = f.form->menuBar()->actions().constLast();
    QCOMPARE(about->objectName(), QStringLiteral("About1"));
    QVERIFY(!about->menu());
    // No Save item anywhere in the menu: only the tool button saves.
    for (const QMenu* menu : f.form->menuBar()->findChildren<QMenu*>()) {
        for (const QAction* action : menu->actions())
            QVERIFY(action->objectName() != QStringLiteral("Save1"));
    }
}

void MainWindowTest::toolBarHoldsButtonsInOrderWithHints()
{
    MainWindowFixture f;
    const auto* toolBar = f.child<QToolBar>("ToolBar1");
    QVERIFY(toolBar);
    QStringList shown;
    for (QAction* action : toolBar->actions()) {
        const QWidget* widget = toolBar->widgetForAction(action);
        if (action->isSeparator()) {
            shown << QStringLiteral("%1 separator %2").arg(widget->objectName()).arg(widget->width());
        } else if (const auto* button = qobject_cast<const QToolButton*>(widget)) {
            QCOMPARE(action->icon().pixmap(16, 16).size(), QSize(16, 16));
            shown << QStringLiteral("%1 %2 \"%3\"").arg(widget->objectName(), action->objectName(), button->toolTip());
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

void MainWindowTest::selectingARecipientSetsPathCaptionAndUser()
{
    MainWindowFixture f(Files{{"users.cfg", "alice\r\nM\xFCller\r\n\r\n"}});
    const QString dir = QDir(f.dir.path()).canonicalPath();

    f.select(QStringLiteral("alice"));
    QCOMPARE(f.session.currentuser, std::string("alice"));
    QCOMPARE(f.edit2()->text(), dir + "/alice/newmail.txt");
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97 - [alice]"));
    QCOMPARE(f.form->view().edit2().text(), dir.toStdString() + "/alice/newmail.txt");

    // By keyboard, to a name that is windows-1252 in the file: the bytes stay as the file has them.
    f.listBox1()->setFocus();
    QTest::keyClick(f.listBox1(), Qt::Key_Down);
    QCOMPARE(f.session.currentuser, std::string("M\xFCller"));
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97 - [M\u00FCller]"));
    QCOMPARE(f.form->view().edit2().text(), dir.toStdString() + "/M\xFCller/newmail.txt");

    // Neither a Ctrl+click on the selected entry nor a click on blank space takes the selection away.
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    qbtest::ModalScript modal;
    QListWidget* list = f.listBox1();
    const QRect selected = list->visualItemRect(list->currentItem());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, selected.center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->viewport()->rect().bottomLeft() + QPoint(5, -5));
    QCOMPARE(list->selectedItems().value(0), list->currentItem());
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97 - [M\u00FCller]"));
    QCOMPARE(modal.unexpected(), QStringList());
    f.form->hide();

    // The empty entry of the trailing empty line sorts first.
    f.listBox1()->setCurrentRow(0);
    QCOMPARE(f.session.currentuser, std::string());
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97 - []"));
}

void MainWindowTest::tickerGrowsStandsClearsAndStartsAgain()
{
    MainWindowFixture f;
    const QString line = QStringLiteral("Visit My Web Site at ") + QString::fromLatin1(qb::kHomePage);
    QStatusBar* bar = f.form->statusBar();
    for (int tick = 1; tick <= line.size(); ++tick) {
        f.form->Timer1Timer();
        QCOMPARE(bar->currentMessage(), line.left(tick));
    }
    // The complete line stands for one tick, then the status bar is cleared, then it starts again.
    f.form->Timer1Timer();
    QCOMPARE(bar->currentMessage(), QString());
    f.form->Timer1Timer();
    QCOMPARE(bar->currentMessage(), line.left(1));

    // Hovering a menu item must not blank the line.
    QStatusTipEvent tip(QString{});
    QApplication::sendEvent(f.form.get(), &tip);
    QCOMPARE(bar->currentMessage(), line.left(1));
}

void MainWindowTest::pathFieldFollowsTheWindowWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("fieldWidth");
    QTest::newRow("initial") << 583 << 325;
    QTest::newRow("wider") << 800 << 542;
    QTest::newRow("narrower than the buttons") << 200 << 0;
}

void MainWindowTest::pathFieldFollowsTheWindowWidth()
{
    QFETCH(int, width);
    QFETCH(int, fieldWidth);
    MainWindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QCOMPARE(f.form->frameGeometry().size(), QSize(583, 361));
    const int frameWidth = f.form->frameGeometry().width() - f.form->width();
    f.form->resize(width - frameWidth, f.form->height());
    QCOMPARE(f.form->frameGeometry().width(), width);
    QCOMPARE(f.edit2()->width(), fieldWidth);
}

void MainWindowTest::newMessageWithoutChangesAsksNothing()
{
    MainWindowFixture f;
    qbtest::ModalScript modal;
    f.trigger("NewMail1");
    QCOMPARE(f.edit2()->text(), QStringLiteral("Untitled"));
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97 - [Untitled]"));
    QVERIFY(f.memo1()->document()->isEmpty());
    QVERIFY(!f.memo1()->document()->isModified());
    QCOMPARE(modal.unexpected(), QStringList());
    QCOMPARE(modal.boxes().size(), std::size_t(0));
}

void MainWindowTest::newMessageCancelledKeepsEverything()
{
    MainWindowFixture f;
    QTest::keyClicks(f.memo1(), QStringLiteral("draft"));
    QVERIFY(f.memo1()->document()->isModified());

    qbtest::ModalScript modal;
    modal.clickBox(QStringLiteral("Cancel"));
    f.trigger("NewMail1");
    QVERIFY(modal.done());
    QCOMPARE(modal.boxes().at(0).text, QStringLiteral("Save message?"));
    QCOMPARE(modal.boxes().at(0).caption, QStringLiteral("Confirm"));
    QCOMPARE(f.memo1()->toPlainText(), QStringLiteral("draft"));
    QCOMPARE(f.edit2()->text(), QString());
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillbox 97"));
}

void MainWindowTest::openLoadsTheFileAndNamesItInThePathField()
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

void MainWindowTest::saveAsCopiesTheMessageFileAndAsksBeforeOverwriting()
{
    MainWindowFixture f(Files{{"message.txt", QByteArray("line one\r\n\x1A tail", 15)}, {"kept.txt", "old"}});
    f.form->view().edit2().setText(f.path("message.txt").toStdString());
    {
        qbtest::ModalScript modal;
        modal.acceptFile(f.path("copy.txt"));
        f.trigger("SaveAs1");
        QVERIFY(modal.done());
    }
    QCOMPARE(readFile(f.path("copy.txt")), QByteArray("line one\r\n\x1A tail", 15));
    QCOMPARE(f.edit2()->text(), f.path("copy.txt"));

    f.form->view().edit2().setText(f.path("message.txt").toStdString());
    qbtest::ModalScript modal;
    modal.acceptFile(f.path("kept.txt")).clickBox(QStringLiteral("&No"));
    f.trigger("SaveAs1");
    QVERIFY(modal.done());
    QCOMPARE(modal.boxes().at(0).text, "OK to overwrite " + f.path("kept.txt"));
    QCOMPARE(modal.boxes().at(0).buttons, QStringList({"&No", "&Yes", "Cancel"}));
    QCOMPARE(readFile(f.path("kept.txt")), QByteArray("old"));
    // The dialog opens with the name it last accepted.
    QCOMPARE(modal.fileDialogs().at(0).offered.value(0), f.path("copy.txt"));
}

void MainWindowTest::saveOfAMissingFileShowsTheStandardErrorBox()
{
    MainWindowFixture f;
    f.trigger("NewMail1");
    QTest::keyClicks(f.memo1(), QStringLiteral("x"));
    qbtest::ModalScript modal;
    modal.acceptFile(f.path("target.txt")).clickBox(QStringLiteral("OK"));
    f.trigger("Save1");
    QVERIFY(modal.done());
    const qbtest::SeenBox& box = modal.boxes().at(0);
    QCOMPARE(box.caption, QStringLiteral("Quillbox 97"));
    QCOMPARE(box.text, QStringLiteral("File not found."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QStringList({"OK"}));
    QVERIFY(!QFile::exists(f.path("target.txt")));
}

void MainWindowTest::closingAsksAboutChanges_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("answer"); // empty: no box expected
    QTest::addColumn<bool>("closes");
    QTest::newRow("unchanged") << false << QString() << true;
    QTest::newRow("changed, No") << true << "&No" << true;
    QTest::newRow("changed, Cancel") << true << "Cancel" << false;
}

void MainWindowTest::closingAsksAboutChanges()
{
    QFETCH(bool, typed);
    QFETCH(QString, answer);
    QFETCH(bool, closes);
    MainWindowFixture f;
    f.form->show();
    if (typed)
        QTest::keyClicks(f.memo1(), QStringLiteral("unsaved"));
    qbtest::ModalScript modal;
    if (!answer.isEmpty())
        modal.clickBox(answer);
    f.trigger("Exit1");
    QVERIFY(modal.done());
    QCOMPARE(modal.unexpected(), QStringList());
    QCOMPARE(modal.boxes().size(), std::size_t(answer.isEmpty() ? 0 : 1));
    QCOMPARE(f.form->isVisible(), !closes);
}

void MainWindowTest::typedMessageIsEncryptedAndDecryptedWithTheRecipientsKey()
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

void MainWindowTest::encryptWithoutKeyWarns()
{
    MainWindowFixture f(Files{{"users.cfg", "carol\r\n"}, {"carol/newmail.txt", ""}});
    f.select(QStringLiteral("carol"));
    QTest::keyClicks(f.memo1(), QStringLiteral("text"));
    qbtest::ModalScript modal;
    modal.clickBox(QStringLiteral("OK"));
    f.trigger("Encrypt1");
    QVERIFY(modal.done());
    const qbtest::SeenBox& box = modal.boxes().at(0);
    QCOMPARE(box.caption, QStringLiteral("Warning"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.text, QStringLiteral("Please select a Recipiant/Sender!"));
}

void MainWindowTest::encryptRefusesTextTheCodePageCannotHold()
{
    MainWindowFixture f(Files{{"users.cfg", "bob\r\n"}, {"bob/bob.key", "k"}, {"bob/newmail.txt", "kept"}});
    f.select(QStringLiteral("bob"));
    f.memo1()->insertPlainText(QStringLiteral("abc \u4E2D"));
    qbtest::ModalScript modal;
    modal.clickBox(QStringLiteral("OK"));
    f.trigger("Encrypt1");
    QVERIFY(modal.done());
    QCOMPARE(modal.boxes().at(0).text, QStringLiteral("The message holds a character that cannot be saved: U+4E2D."));
    QCOMPARE(readFile(f.path("bob/newmail.txt")), QByteArray("kept"));
}

void MainWindowTest::editMenuWorksOnTheEditor()
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

void MainWindowTest::cipherShortcutsWorkInEveryField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<bool>("rebound");
    for (const char* field : {"Edit2", "Memo1"}) {
        QTest::addRow("%s Ctrl+E", field) << field << "Encrypt1" << QKeySequence("Ctrl+E") << false;
        QTest::addRow("%s Ctrl+D", field) << field << "Decrypt1" << QKeySequence("Ctrl+D") << false;
    }
    // Which keys a line edit claims depends on the platform's key scheme; Ctrl+A it claims on every one.
    QTest::newRow("Edit2, a key the field claims") << "Edit2"
                                                   << "Encrypt1" << QKeySequence("Ctrl+A") << true;
}

void MainWindowTest::cipherShortcutsWorkInEveryField()
{
    QFETCH(QString, field);
    QFETCH(QString, action);
    QFETCH(QKeySequence, keys);
    QFETCH(bool, rebound);
    MainWindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    auto* focused = f.form->findChild<QWidget*>(field);
    focused->setFocus();
    auto* command = f.form->findChild<QAction*>(action);
    if (rebound)
        command->setShortcut(keys);
    QSignalSpy triggered(command, &QAction::triggered);
    // Without a recipient the command ends in a box; that box is not what this test is about.
    qbtest::ModalScript modal;
    modal.reject();
    QTest::keySequence(focused, keys);
    QCOMPARE(triggered.count(), 1);
    f.form->hide();
}

void MainWindowTest::welcomeWindowComesBeforeTheMainWindow()
{
    MainWindowFixture f;
    auto* form2 = new TForm2(f.form.get());
    f.form->attachForms(form2, nullptr, nullptr);
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
    f.form->hide();
}

void MainWindowTest::menuCommandsReachTheirWindowsAndBoxes()
{
    MainWindowFixture f;
    NoProcesses starter;
    auto* form3 = new TForm3(f.form->view().dialogs(), starter, f.form.get());
    auto* form4 = new TForm4(f.session, f.form->view().dialogs(), starter, f.form.get());
    f.form->attachForms(nullptr, form3, form4);

    QStringList shown;
    const auto record = [&shown](QWidget* widget) {
        shown << widget->objectName() + " " + widget->windowTitle();
        static_cast<QDialog*>(widget)->reject();
    };
    qbtest::ModalScript modal;
    modal.then(record).then(record).then(record).then(record).then(record);
    for (const char* command : {"About1", "StartProgram1", "AddProgram1", "NewKey1", "ImportKey1"})
        f.trigger(command);
    QVERIFY(modal.done());
    QCOMPARE(modal.unexpected(), QStringList());
    QCOMPARE(shown.value(0), QStringLiteral("Form3 About"));
    QCOMPARE(shown.value(1), QStringLiteral("Form4 Mail Programs"));
    QCOMPARE(shown.value(2).section(' ', 1), QStringLiteral("Add a new mail program to database"));
    QCOMPARE(shown.value(3).section(' ', 1), QStringLiteral("New Recipiant/Sender"));
    QCOMPARE(shown.value(4).section(' ', 1), QStringLiteral("Import New Key"));
}

void MainWindowTest::newRecipientIsRegisteredAndListed()
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
    QCOMPARE(f.listBox1()->item(0)->text(), QStringLiteral("bob"));
    QCOMPARE(f.listBox1()->item(1)->text(), QStringLiteral("Carol"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
