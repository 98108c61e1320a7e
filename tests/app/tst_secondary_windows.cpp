#include "ProductInfo.h"
#include "QtProcessStarter.h"
#include "Session.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

// Answers the windows' dialogs from queues and records what was shown.
class TestDialogs : public qb::Dialogs
{
public:
    qb::Answer messageBox(const std::string& text, qb::MessageKind kind, qb::MessageButtons buttons) override
    {
        boxes.push_back(text);
        kinds.push_back(kind);
        buttonSets.push_back(buttons);
        if (answers.empty())
            return qb::Answer::Cancel;
        const qb::Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string inputBox(const std::string&, const std::string&, const std::string& defaultText) override
    {
        if (inputs.empty())
            return defaultText;
        const std::string text = inputs.front();
        inputs.pop_front();
        return text;
    }
    bool executeOpenDialog() override
    {
        ++openShown;
        if (openAnswers.empty())
            return false;
        const std::string answer = openAnswers.front();
        openAnswers.pop_front();
        if (answer.empty())
            return false;
        openName = answer;
        return true;
    }
    std::string openDialogFileName() const override { return openName; }
    bool executeSaveDialog() override { return false; }
    std::string saveDialogFileName() const override { return {}; }
    void showErrorBox(const std::string& text) override { errors.push_back(text); }

    std::deque<qb::Answer> answers;
    std::deque<std::string> inputs;
    // An empty entry cancels the dialog.
    std::deque<std::string> openAnswers;
    std::string openName;
    int openShown = 0;
    Texts boxes;
    std::vector<qb::MessageKind> kinds;
    std::vector<qb::MessageButtons> buttonSets;
    Texts errors;
};

class RecordingStarter : public qb::ProcessStarter
{
public:
    void start(const std::string& commandLine) override { started.push_back(commandLine); }
    Texts started;
};

struct Placement
{
    const char* name;
    QRect geometry; // an empty size checks the position only
};

void checkPlacements(const QWidget& window, const std::vector<Placement>& placements)
{
    for (const Placement& placement : placements) {
        const auto* widget = window.findChild<QWidget*>(QString::fromLatin1(placement.name));
        QVERIFY2(widget, placement.name);
        if (placement.geometry.size().isEmpty())
            QCOMPARE(widget->pos(), placement.geometry.topLeft());
        else
            QCOMPARE(widget->geometry(), placement.geometry);
    }
}

QString labelText(const QWidget& window, const char* name)
{
    const auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
}

// Runs `whileShown` on the window once its modal showing has started; true when exec() then returned.
bool execWith(QDialog& dialog, const std::function<void(QWidget*)>& whileShown)
{
    bool returned = false;
    QTimer::singleShot(0, &dialog, [&] { whileShown(QApplication::activeModalWidget()); });
    // Only a guard against a hang: a window left open fails the test instead of blocking it.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&] { dialog.done(-1); });
    guard.start(10000);
    returned = dialog.exec() != -1;
    return returned;
}

void checkFixedDialogFrame(const QWidget& window, QSize client)
{
    QCOMPARE(window.size(), client);
    QCOMPARE(window.minimumSize(), client);
    QCOMPARE(window.maximumSize(), client);
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags.testFlag(Qt::Dialog));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList shownEntries(const QListWidget& list)
{
    QStringList entries;
    for (int row = 0; row < list.count(); ++row)
        entries << list.item(row)->text();
    return entries;
}

} // namespace

class SecondaryWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void welcomeWindowLayout();
    void welcomeTabOrderReachesTheHiddenMemo();
    void welcomeClosesOnEnterOrTitleBarOnly();
    void aboutWindowLayout();
    void aboutMemoryFigures();
    void aboutClosesOnCloseOrBackgroundClick();
    void aboutGotoMyPage();
    void mailProgramsWindowListsAndRuns();
    void mailProgramsRunWithoutSelection();
    void mailProgramsDoubleClickRuns();
    void mailProgramsRefreshAfterAdd();
    void processStarterRunsProgramsWithBlanksInTheirPath();
    // Each test leaves no window behind.
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }
};

void SecondaryWindowsTest::welcomeWindowLayout()
{
    TForm2 form2;
    QCOMPARE(form2.windowTitle(), QStringLiteral("Welcome!"));
    checkFixedDialogFrame(form2, QSize(341, 159));
    QVERIFY(!form2.windowIcon().isNull());
    QCOMPARE(form2.palette().color(QPalette::Window), QColor(Qt::white));

    std::vector<Placement> placements = {
        {"Label1", QRect(80, 40, 0, 0)},     {"Label3", QRect(96, 64, 0, 0)},       {"Image1", QRect(8, 112, 33, 33)},
        {"Image2", QRect(296, 112, 33, 33)}, {"Button1", QRect(120, 128, 105, 25)}, {"Memo1", QRect(344, 56, 185, 89)},
    };
    static const char* const tiles[] = {"Image3", "Image4", "Image5", "Image6",
                                        "Image7", "Image8", "Image9", "Image10"};
    for (int index = 0; index < 8; ++index)
        placements.push_back({tiles[index], QRect(8 + 40 * index, 0, 45, 41)});
    checkPlacements(form2, placements);

    QCOMPARE(labelText(form2, "Label1"), QStringLiteral("Security System for Internet E-mail"));
    QCOMPARE(labelText(form2, "Label3"), QStringLiteral("32-bit for Windows 95/NT"));
    QCOMPARE(form2.findChild<QPushButton*>("Button1")->text(), QStringLiteral("Enter Quillbox!"));
    QCOMPARE(form2.findChild<QPlainTextEdit*>("Memo1")->toPlainText(), QStringLiteral("Memo1"));
    for (const char* tile : tiles) {
        const QPixmap picture = form2.findChild<QLabel*>(tile)->pixmap();
        QCOMPARE(picture.size(), QSize(45, 35));
    }
    // The tiles spell a word, so two tiles show the same letter (the two L's) and others differ.
    const QImage firstL = form2.findChild<QLabel*>("Image6")->pixmap().toImage();
    QCOMPARE(form2.findChild<QLabel*>("Image7")->pixmap().toImage(), firstL);
    QVERIFY(form2.findChild<QLabel*>("Image3")->pixmap().toImage() != firstL);
}

void SecondaryWindowsTest::welcomeTabOrderReachesTheHiddenMemo()
{
    TForm2 form2;
    form2.show();
    QVERIFY(QTest::qWaitForWindowActive(&form2));
    auto* button1 = form2.findChild<QPushButton*>("Button1");
    auto* memo1 = form2.findChild<QPlainTextEdit*>("Memo1");
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(button1));
    QTest::keyClick(button1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(memo1));
    QTest::keyClick(memo1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(button1));
    QCOMPARE(memo1->toPlainText(), QStringLiteral("Memo1"));
    form2.hide();
}

void SecondaryWindowsTest::welcomeClosesOnEnterOrTitleBarOnly()
{
    TForm2 form2;
    QVERIFY(execWith(form2, [](QWidget* shown) {
        QVERIFY(shown);
        // Esc leaves the window open; "Enter Quillbox!" ends it.
        QTest::keyClick(shown, Qt::Key_Escape);
        QVERIFY(shown->isVisible());
        QTest::mouseClick(shown->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    }));
    QVERIFY(!form2.isVisible());

    // The welcome window appears at every start, and the title-bar close also lets the program go on.
    QVERIFY(execWith(form2, [](QWidget* shown) {
        QVERIFY(shown);
        shown->close();
    }));
    QVERIFY(!form2.isVisible());
}

void SecondaryWindowsTest::aboutWindowLayout()
{
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm3 form3(dialogs, starter);
    QCOMPARE(form3.windowTitle(), QStringLiteral("About"));
    checkFixedDialogFrame(form3, QSize(374, 204));
    QVERIFY(!form3.windowIcon().isNull());

    std::vector<Placement> placements = {
        {"Image1", QRect(8, 8, 0, 0)},    {"Label9", QRect(40, 48, 0, 0)},      {"Label11", QRect(40, 64, 0, 0)},
        {"Label3", QRect(40, 80, 0, 0)},  {"Label1", QRect(64, 104, 0, 0)},     {"Label7", QRect(168, 104, 0, 0)},
        {"Label6", QRect(64, 128, 0, 0)}, {"Label8", QRect(168, 128, 0, 0)},    {"Label4", QRect(16, 168, 0, 0)},
        {"Label5", QRect(16, 184, 0, 0)}, {"Button2", QRect(272, 112, 83, 25)}, {"Button1", QRect(272, 152, 83, 25)},
    };
    checkPlacements(form3, placements);
    for (int index = 0; index < 8; ++index) {
        const auto* tile = form3.findChild<QLabel*>(QStringLiteral("Image%1").arg(index + 3));
        QVERIFY(tile);
        QCOMPARE(tile->pos(), QPoint(40 + 40 * index, 8));
    }

    const std::pair<const char*, QString> texts[] = {
        {"Label9", QStringLiteral("Security System for Internet E-mail")},
        {"Label11", QStringLiteral("32-bit for Windows 95/NT")},
        {"Label3", QStringLiteral("Written By: ") + QString::fromUtf8(qb::kAuthorName)},
        {"Label1", QStringLiteral("Pysical Memory")},
        {"Label6", QStringLiteral("Memory Used")},
        {"Label4", QStringLiteral("Please send your comments and suggestions to:")},
        {"Label5", QString::fromUtf8(qb::kAuthorEmail)},
    };
    for (const auto& [name, text] : texts)
        QCOMPARE(labelText(form3, name), text);
    QCOMPARE(form3.findChild<QPushButton*>("Button2")->text(), QStringLiteral("Goto My Page!"));
    QCOMPARE(form3.findChild<QPushButton*>("Button1")->text(), QStringLiteral("&Close"));

    const QLabel* label5 = form3.findChild<QLabel*>("Label5");
    QVERIFY(label5->autoFillBackground());
    QCOMPARE(label5->palette().color(QPalette::Window), QColor(0, 0, 128));
    QCOMPARE(label5->palette().color(QPalette::WindowText), QColor(Qt::white));
    // Every label fits inside the fixed client area and clear of the buttons; the button captions fit.
    const auto* button1 = form3.findChild<QPushButton*>("Button1");
    const auto* button2 = form3.findChild<QPushButton*>("Button2");
    for (const QLabel* label : form3.findChildren<QLabel*>()) {
        QVERIFY2(QRect(QPoint(0, 0), form3.size()).contains(label->geometry()), qPrintable(label->objectName()));
        QVERIFY2(!label->geometry().intersects(button1->geometry()), qPrintable(label->objectName()));
        QVERIFY2(!label->geometry().intersects(button2->geometry()), qPrintable(label->objectName()));
    }
    for (const QPushButton* button : {button1, button2})
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < button->width());
}

void SecondaryWindowsTest::aboutMemoryFigures()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm3 form3(dialogs, starter);

    // Filled at creation from this machine.
    QVERIFY(labelText(form3, "Label7").endsWith(QStringLiteral(" KB")));
    QVERIFY(labelText(form3, "Label7").size() > 3);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{1,3} %$")).match(labelText(form3, "Label8")).hasMatch());

    const std::pair<std::uint64_t, QString> totals[] = {
        {64ull << 20, QStringLiteral("65,536 KB")},
        {8ull << 30, QStringLiteral("8,388,608 KB")},
        {1000 * 1024ull, QStringLiteral("1,000 KB")},
        {999 * 1024ull, QStringLiteral("999 KB")},
        {1023, QStringLiteral("1 KB")},
        {511, QStringLiteral(" KB")},
        {0, QStringLiteral(" KB")},
    };
    for (const auto& [bytes, text] : totals)
        QCOMPARE(TForm3::formatTotalMemory(bytes), text);

    qb::MemoryStatus status;
    status.totalBytes = 64ull << 20;
    status.memoryLoad = 42;
    form3.showMemoryStatus(status);
    QCOMPARE(labelText(form3, "Label7"), QStringLiteral("65,536 KB"));
    QCOMPARE(labelText(form3, "Label8"), QStringLiteral("42 %"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(TForm3::formatTotalMemory(64ull << 20), QStringLiteral("65.536 KB"));
    QLocale::setDefault(previous);
}

void SecondaryWindowsTest::aboutClosesOnCloseOrBackgroundClick()
{
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm3 form3(dialogs, starter);

    QVERIFY(execWith(form3, [](QWidget* shown) {
        QVERIFY(shown);
        QTest::mouseClick(shown->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    }));
    QVERIFY(!form3.isVisible());

    QVERIFY(execWith(form3, [](QWidget* shown) {
        QVERIFY(shown);
        // A click on a label is not a click on the window; a click on the bare background closes it.
        QTest::mouseClick(shown->findChild<QLabel*>("Label1"), Qt::LeftButton);
        QVERIFY(shown->isVisible());
        QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(8, 150));
    }));
    QVERIFY(!form3.isVisible());
}

void SecondaryWindowsTest::aboutGotoMyPage()
{
    const std::string url = qb::kHomePage;
    const std::string question = "My Web Page is best viewed in Netscape. If you installed Netscape in it's default "
                                 "directory click YES else click NO";
    struct Row
    {
        qb::Answer answer;
        std::string earlierChoice; // the name left in the shared dialog by an earlier accepted choice
        std::deque<std::string> openAnswers;
        Texts started;
        int openShown;
    };
    const Row rows[] = {
        {qb::Answer::Yes, "", {}, {"/usr/local/netscape/netscape " + url}, 0},
        {qb::Answer::No, "", {"/opt/web browser/run"}, {"/opt/web browser/run " + url}, 1},
        // Closing the box takes the No path.
        {qb::Answer::Cancel, "", {"/usr/bin/lynx"}, {"/usr/bin/lynx " + url}, 1},
        // A cancelled choice starts nothing, not even an earlier name left in the shared dialog.
        {qb::Answer::No, "/home/me/secret.key", {""}, {}, 1},
        {qb::Answer::No, "", {""}, {}, 1},
    };
    for (const Row& row : rows) {
        TestDialogs dialogs;
        RecordingStarter starter;
        TForm3 form3(dialogs, starter);
        form3.show();
        dialogs.openName = row.earlierChoice;
        dialogs.openAnswers = row.openAnswers;
        dialogs.answers.push_back(row.answer);

        QTest::mouseClick(form3.findChild<QPushButton*>("Button2"), Qt::LeftButton);
        QCOMPARE(dialogs.boxes, Texts{question});
        QCOMPARE(dialogs.kinds.at(0), qb::MessageKind::Confirmation);
        QCOMPARE(dialogs.buttonSets.at(0), qb::MessageButtons::YesNo);
        QCOMPARE(starter.started, row.started);
        QCOMPARE(dialogs.openShown, row.openShown);
        QVERIFY(dialogs.errors.empty());
        QVERIFY(form3.isVisible());
        form3.hide();
    }
}

void SecondaryWindowsTest::mailProgramsWindowListsAndRuns()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Loaded in file order, sorted once loading ends; names are windows-1252 bytes.
    writeFile(dir.filePath("mail.cfg"),
              "Pine\r\n/usr/bin/pine\r\nCaf\xe9 Mail\r\n/opt/cafe\r\nElm\r\n/usr/bin/elm\r\n");
    qb::Session session;
    session.currentdirectory = QFile::encodeName(dir.path()).toStdString();
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm4 form4(session, dialogs, starter);

    QCOMPARE(form4.windowTitle(), QStringLiteral("Mail Programs"));
    checkFixedDialogFrame(form4, QSize(241, 180));
    checkPlacements(form4, {{"ListBox1", QRect(8, 8, 225, 137)},
                            {"Button1", QRect(32, 152, 75, 25)},
                            {"Button2", QRect(136, 152, 75, 25)}});
    QCOMPARE(form4.findChild<QPushButton*>("Button1")->text(), QStringLiteral("&Run"));
    QCOMPARE(form4.findChild<QPushButton*>("Button2")->text(), QStringLiteral("&Close"));

    auto* list = form4.findChild<QListWidget*>("ListBox1");
    QCOMPARE(shownEntries(*list), (QStringList{QStringLiteral("Caf\u00e9 Mail"), "Elm", "Pine"}));

    QVERIFY(execWith(form4, [list](QWidget* shown) {
        QVERIFY(shown);
        list->setCurrentRow(0);
        QTest::mouseClick(shown->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    }));
    QCOMPARE(starter.started, Texts{"/opt/cafe"});
    QVERIFY(!form4.isVisible());

    QVERIFY(execWith(form4, [](QWidget* shown) {
        QVERIFY(shown);
        QTest::mouseClick(shown->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    }));
    QCOMPARE(starter.started.size(), std::size_t(1));
    QVERIFY(dialogs.errors.empty());
}

void SecondaryWindowsTest::mailProgramsRunWithoutSelection()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("mail.cfg"), "Pine\r\n/usr/bin/pine\r\n");
    qb::Session session;
    session.currentdirectory = QFile::encodeName(dir.path()).toStdString();
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm4 form4(session, dialogs, starter);
    form4.show();
    QTest::mouseClick(form4.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    QCOMPARE(dialogs.errors, Texts{"List index out of bounds (-1)"});
    QVERIFY(starter.started.empty());
    QVERIFY(form4.isVisible());
    form4.hide();
}

void SecondaryWindowsTest::mailProgramsDoubleClickRuns()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("mail.cfg"), "Zed\r\n/z\r\nAlpha\r\n/a\r\n");
    qb::Session session;
    session.currentdirectory = QFile::encodeName(dir.path()).toStdString();
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm4 form4(session, dialogs, starter);
    auto* list = form4.findChild<QListWidget*>("ListBox1");
    QCOMPARE(shownEntries(*list), (QStringList{"Alpha", "Zed"}));

    QVERIFY(execWith(form4, [list](QWidget* shown) {
        QVERIFY(shown);
        const QPoint onZed = list->visualItemRect(list->item(1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onZed);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onZed);
    }));
    QCOMPARE(starter.started, Texts{"/z"});
}

void SecondaryWindowsTest::mailProgramsRefreshAfterAdd()
{
    QTemporaryDir dir;
    qb::Session session;
    session.currentdirectory = QFile::encodeName(dir.path()).toStdString();
    TestDialogs dialogs;
    RecordingStarter starter;
    TForm4 form4(session, dialogs, starter);
    auto* list = form4.findChild<QListWidget*>("ListBox1");
    // No mail.cfg: an empty list and no message.
    QCOMPARE(list->count(), 0);
    QVERIFY(dialogs.boxes.empty());

    dialogs.answers = {qb::Answer::Ok};
    form4.programs().newprogramfile();
    QCOMPARE(shownEntries(*list), QStringList{QString()});

    dialogs.inputs = {"Mutt", "Elm"};
    dialogs.openAnswers = {"/usr/bin/mutt", "/usr/bin/elm"};
    dialogs.answers = {qb::Answer::Ok, qb::Answer::Ok};
    form4.programs().AddProgram1Click();
    form4.programs().AddProgram1Click();
    // Appended to the empty file, the records replace its one empty entry.
    QCOMPARE(shownEntries(*list), (QStringList{"Elm", "Mutt"}));
}

void SecondaryWindowsTest::processStarterRunsProgramsWithBlanksInTheirPath()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("My Programs/mail tool")));
    const QString script = dir.filePath(QStringLiteral("My Programs/mail tool/record args"));
    const QString record = dir.filePath(QStringLiteral("arguments.txt"));
    writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" + QFile::encodeName(record) + ".part\"\nmv \"" +
                          QFile::encodeName(record) + ".part\" \"" + QFile::encodeName(record) + "\"\n");
    QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner));

    qb::QtProcessStarter starter;
    starter.start(QFile::encodeName(script).toStdString() + " " + qb::kHomePage + " second");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 20000);
    QFile recorded(record);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QCOMPARE(recorded.readAll(), QByteArray("2\n") + qb::kHomePage + "\nsecond\n");
    recorded.close();
    QVERIFY(QFile::remove(record));

    // A registered program is a bare path with blanks and no arguments.
    starter.start(QFile::encodeName(script).toStdString());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 20000);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QCOMPARE(recorded.readAll(), QByteArray("0\n"));
}

QTEST_MAIN(SecondaryWindowsTest)
#include "tst_secondary_windows.moc"
