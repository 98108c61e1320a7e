#include "AppTestSupport.h"
#include "ScriptedUi.h"

#include "LetterTiles.h"
#include "ProductInfo.h"
#include "QtProcessStarter.h"
#include "Session.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

using Texts = std::vector<std::string>;

using qbtest::child;
using qbtest::RecordingProcessStarter;
using qbtest::ScriptedDialogs;

// Positions in the window, and sizes where given, of named children.
void checkPlacements(const QWidget& window, const std::vector<std::pair<QString, QRect>>& placements)
{
    for (const auto& [name, geometry] : placements) {
        const QWidget* widget = child(window, name);
        QCOMPARE(widget->mapTo(&window, QPoint(0, 0)), geometry.topLeft());
        if (!geometry.size().isEmpty())
            QCOMPARE(widget->size(), geometry.size());
    }
}

void checkFixedDialogFrame(const QWidget& window, const QString& caption, QSize client)
{
    QCOMPARE(window.windowTitle(), caption);
    QCOMPARE(window.size(), client);
    QCOMPARE(window.maximumSize(), client);
    QCOMPARE(window.windowFlags(),
             Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

// Runs `whileShown` once the window's modal showing has started; true when exec() then ended on its own.
bool execWith(QDialog& dialog, const std::function<void(QWidget*)>& whileShown)
{
    QTimer::singleShot(0, &dialog, [&] { whileShown(QApplication::activeModalWidget()); });
    // Only a guard against a hang: a window left open fails the test instead of blocking it.
    QTimer::singleShot(10000, &dialog, [&] { dialog.done(-1); });
    return dialog.exec() != -1;
}

void click(QWidget* shown, const char* button)
{
    QVERIFY(shown);
    QTest::mouseClick(child<QPushButton>(*shown, QString::fromLatin1(button)), Qt::LeftButton);
}

} // namespace

class SecondaryWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void welcomeWindow()
    {
        TForm2 form2;
        checkFixedDialogFrame(form2, QStringLiteral("Welcome!"), QSize(341, 159));
        QCOMPARE(form2.palette().color(QPalette::Window), QColor(Qt::white));
        checkPlacements(form2, {{"Label1", QRect(80, 40, 0, 0)},
                                {"Label3", QRect(96, 64, 0, 0)},
                                {"ProductName", QRect(8, 0, 325, 41)},
                                {"Button1", QRect(120, 128, 105, 25)},
                                {"Memo1", QRect(344, 56, 185, 89)}});
        QCOMPARE(form2.pictures().place(0), QRect(8, 112, 33, 33));
        QCOMPARE(form2.pictures().place(1), QRect(296, 112, 33, 33));
        const qb::PaintedPictures& tiles = child<qb::LetterTiles>(form2, "ProductName")->tiles();
        for (int index = 0; index < 8; ++index)
            QCOMPARE(tiles.place(index), QRect(40 * index, 0, 45, 41));
        QCOMPARE(child<QLabel>(form2, "Label1")->text(), QStringLiteral("Security System for Internet E-mail"));
        QCOMPARE(child<QLabel>(form2, "Label3")->text(), QStringLiteral("32-bit for Windows 95/NT"));
        QCOMPARE(child<QPushButton>(form2, "Button1")->text(), QStringLiteral("Enter Quillbox!"));
        // The tiles spell QUILLBOX: the two L tiles are alike, the Q is not.
        const QImage firstL = tiles.picture(3, 1.0).toImage();
        QCOMPARE(firstL.size(), QSize(45, 35));
        QCOMPARE(tiles.picture(4, 1.0).toImage(), firstL);
        QVERIFY(tiles.picture(0, 1.0).toImage() != firstL);

        // Tab never reaches the memo outside the client area.
        form2.show();
        QVERIFY(QTest::qWaitForWindowActive(&form2));
        auto* button1 = child(form2, "Button1");
        QTRY_COMPARE(QApplication::focusWidget(), button1);
        QTest::keyClick(button1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), button1);
        form2.hide();

        // "Enter Quillbox!", Esc or the title-bar close ends its modal showing.
        QVERIFY(execWith(form2, [](QWidget* shown) { click(shown, "Button1"); }));
        QVERIFY(execWith(form2, [](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); }));
        QVERIFY(execWith(form2, [](QWidget* shown) { shown->close(); }));
        QVERIFY(!form2.isVisible());
    }

    // The welcome window is white whatever the palette, so its text must stay dark under a dark palette.
    void welcomeTextStaysDarkUnderADarkPalette()
    {
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(45, 45, 48));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        QApplication::setPalette(dark);
        const TForm2 form2;
        QCOMPARE(form2.palette().color(QPalette::Window), QColor(Qt::white));
        for (const char* label : {"Label1", "Label3"})
            QVERIFY2(child(form2, label)->palette().color(QPalette::WindowText).lightness() < 64, label);
    }

    void aboutWindow()
    {
        ScriptedDialogs dialogs;
        RecordingProcessStarter starter;
        TForm3 form3(dialogs, starter);
        checkFixedDialogFrame(form3, QStringLiteral("About"), QSize(374, 204));
        QCOMPARE(form3.pictures().place(0), QRect(8, 8, 32, 32));
        std::vector<std::pair<QString, QRect>> placements = {
            {"ProductName", QRect(40, 8, 0, 0)},  {"Label9", QRect(40, 48, 0, 0)},
            {"Label11", QRect(40, 64, 0, 0)},     {"Label3", QRect(40, 80, 0, 0)},
            {"Label1", QRect(64, 104, 0, 0)},     {"Label7", QRect(168, 104, 0, 0)},
            {"Label6", QRect(64, 128, 0, 0)},     {"Label8", QRect(168, 128, 0, 0)},
            {"Label4", QRect(16, 168, 0, 0)},     {"Label5", QRect(16, 184, 0, 0)},
            {"Button2", QRect(272, 112, 83, 25)}, {"Button1", QRect(272, 152, 83, 25)}};
        checkPlacements(form3, placements);

        const std::pair<const char*, QString> texts[] = {{"Label9", "Security System for Internet E-mail"},
                                                         {"Label11", "32-bit for Windows 95/NT"},
                                                         {"Label3", QStringLiteral("Written By: ") + qb::kAuthorName},
                                                         {"Label1", "Pysical Memory"},
                                                         {"Label6", "Memory Used"},
                                                         {"Label4", "Please send your comments and suggestions to:"},
                                                         {"Label5", qb::kAuthorEmail}};
        for (const auto& [name, text] : texts)
            QCOMPARE(child<QLabel>(form3, name)->text(), text);
        QCOMPARE(child<QPushButton>(form3, "Button2")->text(), QStringLiteral("Goto My Page!"));
        QCOMPARE(child<QPushButton>(form3, "Button1")->text(), QStringLiteral("&Close"));
        const QPalette label5 = child(form3, "Label5")->palette();
        QCOMPARE(label5.color(QPalette::Window), QColor(0, 0, 128));
        QCOMPARE(label5.color(QPalette::WindowText), QColor(Qt::white));
        // The texts fit the fixed layout: inside the window and clear of the buttons.
        for (const QLabel* label : form3.findChildren<QLabel*>()) {
            const QRect placed(label->mapTo(&form3, QPoint(0, 0)), label->size());
            QVERIFY(form3.rect().contains(placed));
            for (const char* button : {"Button1", "Button2"})
                QVERIFY2(!placed.intersects(child(form3, button)->geometry()), qPrintable(label->objectName()));
        }

        // "&Close", Esc, and a click on the bare background (not on a label or a picture), close it.
        QVERIFY(execWith(form3, [](QWidget* shown) { click(shown, "Button1"); }));
        QVERIFY(execWith(form3, [](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); }));
        // Only a left click does, when the button comes up inside the window.
        QVERIFY(execWith(form3, [](QWidget* shown) {
            QTest::mouseClick(child(*shown, "Label1"), Qt::LeftButton);
            QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(20, 20));
            QTest::mouseClick(child(*shown, "ProductName"), Qt::LeftButton);
            QTest::mouseClick(shown, Qt::RightButton, {}, QPoint(8, 150));
            QTest::mousePress(shown, Qt::LeftButton, {}, QPoint(8, 150));
            QVERIFY(shown->isVisible());
            QTest::mouseRelease(shown, Qt::LeftButton, {}, QPoint(-5, 150));
            QVERIFY(shown->isVisible());
            QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(8, 150));
        }));
        QVERIFY(!form3.isVisible());
    }

    void aboutMemoryFigures()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ScriptedDialogs dialogs;
        RecordingProcessStarter starter;
        TForm3 form3(dialogs, starter);
        // Filled at creation from this machine.
        QVERIFY(QRegularExpression("^\\d{1,3}(,\\d{3})* KB$").match(child<QLabel>(form3, "Label7")->text()).hasMatch());
        QVERIFY(QRegularExpression("^\\d{1,3} %$").match(child<QLabel>(form3, "Label8")->text()).hasMatch());

        const std::pair<std::uint64_t, QString> totals[] = {
            {8ull << 30, "8,388,608 KB"}, {999 * 1024ull, "999 KB"}, {1023, "1 KB"}, {511, " KB"}, {0, " KB"}};
        for (const auto& [bytes, text] : totals)
            QCOMPARE(TForm3::formatTotalMemory(bytes), text);
        form3.showMemoryStatus({64ull << 20, 0, 42});
        QCOMPARE(child<QLabel>(form3, "Label7")->text(), QStringLiteral("65,536 KB"));
        QCOMPARE(child<QLabel>(form3, "Label8")->text(), QStringLiteral("42 %"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(TForm3::formatTotalMemory(64ull << 20), QStringLiteral("65.536 KB"));
        QLocale::setDefault(QLocale::c());
    }

    // An executable file at `path`, for a start to find.
    static std::string makeProgram(const QString& path)
    {
        qbtest::writeFile(path, "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return QFile::encodeName(path).toStdString();
    }

    void aboutGotoMyPage()
    {
        const std::string url = qb::kHomePage;
        // Browsers that are there, so that they start; one with a blank in its path.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("web browser")));
        const std::string browser = makeProgram(dir.filePath(QStringLiteral("web browser/run")));
        const std::string lynx = makeProgram(dir.filePath(QStringLiteral("lynx")));
        struct Row
        {
            qb::Answer answer;
            std::string earlierChoice; // left in the shared dialog by an earlier accepted choice
            std::string choice;        // empty: the dialog is cancelled
            Texts started;
            int openShown;
            Texts opened; // in the default browser
        };
        const Row rows[] = {
            {qb::Answer::Yes, "", "", {}, 0, {url}},
            {qb::Answer::No, "", browser, {browser + " " + url}, 1, {}},
            {qb::Answer::Cancel, "", lynx, {lynx + " " + url}, 1, {}},
            // A cancelled choice starts nothing, not even a file chosen earlier for something else.
            {qb::Answer::No, "/home/me/secret.key", "", {}, 1, {}},
        };
        for (const Row& row : rows) {
            ScriptedDialogs dialogs;
            RecordingProcessStarter starter;
            TForm3 form3(dialogs, starter);
            form3.show();
            dialogs.answerMessage(row.answer).keepOpenFileName(row.earlierChoice);
            if (row.openShown > 0)
                row.choice.empty() ? dialogs.cancelOpen() : dialogs.acceptOpen(row.choice);
            click(&form3, "Button2");
            QCOMPARE(dialogs.boxes().size(), std::size_t(1));
            QCOMPARE(dialogs.boxes()[0].text, "My Web Page is best viewed in Netscape. If you installed Netscape in "
                                              "it's default directory click YES else click NO");
            QCOMPARE(dialogs.boxes()[0].kind, qb::MessageKind::Confirmation);
            QCOMPARE(dialogs.boxes()[0].buttons, qb::MessageButtons::YesNo);
            QCOMPARE(starter.started, row.started);
            QCOMPARE(starter.opened, row.opened);
            QCOMPARE(dialogs.openDialogsShown(), row.openShown);
            QCOMPARE(qbtest::qStrings(dialogs.problems()), QStringList());
            QVERIFY(form3.isVisible());
            form3.hide();
        }
    }

    void mailProgramsWindow()
    {
        QTemporaryDir dir;
        const std::string pine = makeProgram(dir.filePath(QStringLiteral("pine")));
        const std::string cafe = makeProgram(dir.filePath(QStringLiteral("cafe")));
        const std::string elm = makeProgram(dir.filePath(QStringLiteral("elm")));
        // Loaded in file order and sorted once loading ends; names are windows-1252 bytes.
        qbtest::writeFile(dir.filePath("mail.cfg"), QByteArray::fromStdString("Pine\r\n" + pine + "\r\nCaf\xe9\r\n" +
                                                                              cafe + "\r\nElm\r\n" + elm + "\r\n"));
        qb::Session session;
        session.currentdirectory = QFile::encodeName(dir.path()).toStdString();
        ScriptedDialogs dialogs;
        RecordingProcessStarter starter;
        TForm4 form4(session, dialogs, starter);
        checkFixedDialogFrame(form4, QStringLiteral("Mail Programs"), QSize(241, 180));
        checkPlacements(form4, {{"ListBox1", QRect(8, 8, 225, 137)},
                                {"Button1", QRect(32, 152, 75, 25)},
                                {"Button2", QRect(136, 152, 75, 25)}});
        QCOMPARE(child<QPushButton>(form4, "Button1")->text(), QStringLiteral("&Run"));
        QCOMPARE(child<QPushButton>(form4, "Button2")->text(), QStringLiteral("&Close"));
        auto* list = child<qb::ListBoxWidget>(form4, "ListBox1");
        QCOMPARE(qbtest::entries(*list), (QStringList{QStringLiteral("Caf\u00e9"), "Elm", "Pine"}));

        // Run with nothing selected: the list-index error, and the window stays until Esc.
        QVERIFY(execWith(form4, [](QWidget* shown) {
            click(shown, "Button1");
            QVERIFY(shown->isVisible());
            QTest::keyClick(shown, Qt::Key_Escape);
        }));
        QCOMPARE(dialogs.errors(), Texts{"List index out of bounds (-1)"});
        QVERIFY(starter.started.empty());

        QVERIFY(execWith(form4, [list](QWidget* shown) {
            list->setCurrentRow(0);
            click(shown, "Button1");
        }));
        QVERIFY(execWith(form4, [list](QWidget*) {
            const QPoint onPine = list->rowRect(2).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onPine);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onPine);
        }));
        // A click on blank space or a Ctrl+click on the selected entry leaves the selection for "&Run".
        QVERIFY(execWith(form4, [list](QWidget* shown) {
            const QPoint onElm = list->rowRect(1).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onElm);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, onElm);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->viewport()->rect().bottomLeft() + QPoint(5, -5));
            click(shown, "Button1");
        }));
        QCOMPARE(starter.started, (Texts{cafe, pine, elm}));
        QCOMPARE(qbtest::qStrings(dialogs.problems()), QStringList());
    }

    void processStarterRunsProgramsWithBlanksInTheirPath()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("My Programs/mail tool")));
        const QString script = dir.filePath(QStringLiteral("My Programs/mail tool/record args"));
        const QByteArray record = QFile::encodeName(dir.filePath(QStringLiteral("arguments.txt")));
        // Written under another name and moved, so the file appears complete.
        qbtest::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" + record + ".part\"\nmv \"" + record +
                                      ".part\" \"" + record + "\"\n");
        QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner));

        const std::pair<std::vector<std::string>, QByteArray> rows[] = {
            {{qb::kHomePage, "second"}, QByteArray("2\n") + qb::kHomePage + "\nsecond\n"}, {{}, "0\n"}};
        for (const auto& [arguments, recorded] : rows) {
            QCOMPARE(qb::QtProcessStarter().start({QFile::encodeName(script).toStdString(), arguments}), std::string());
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 20000);
            QCOMPARE(qbtest::readFile(record), recorded);
            QVERIFY(QFile::remove(record));
        }
    }
};

QTEST_MAIN(SecondaryWindowsTest)
#include "tst_secondary_windows.moc"
