#include "ModalScript.h"

#include "QtDialogs.h"

#include "Errors.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

Q_DECLARE_METATYPE(qb::MessageKind)
Q_DECLARE_METATYPE(qb::MessageButtons)
Q_DECLARE_METATYPE(qb::Answer)

namespace {

using qb::Answer;
using qb::MessageButtons;
using qb::MessageKind;

// How the box was closed: a button by its text, "<Esc>", or "<close>" for the title-bar close.
Answer answerBox(qb::QtDialogs& dialogs, MessageKind kind, MessageButtons buttons, const QString& how,
                 qbtest::SeenBox& seen)
{
    qbtest::ModalScript modal;
    modal.then([&seen, how](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY(box);
        seen = qbtest::describeBox(*box);
        if (how == QStringLiteral("<Esc>")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (how == QStringLiteral("<close>")) {
            box->close();
        } else {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == how)
                    button->click();
            }
        }
    });
    const Answer answer = dialogs.messageBox("Proceed?", kind, buttons);
    if (!modal.unexpected().isEmpty())
        qWarning() << modal.unexpected();
    return answer;
}

// The width a window manager's title bar needs for `caption` in a bold face, with an icon and three buttons.
int captionRoom(const QString& caption)
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(caption) + 4 * 24;
}

} // namespace

class QtDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(qbtest::visibleTopLevelWindows(), QStringList()); }
    void messageBoxLooksAndAnswers_data();
    void messageBoxLooksAndAnswers();
    void messageBoxUnderlinesAfterASingleAmpersand();
    void errorBoxCarriesTheApplicationTitle();
    void inputBoxReturnsTypedTextOrTheDefault_data();
    void inputBoxReturnsTypedTextOrTheDefault();
    void inputBoxRefusesCharactersTheCodePageLacks();
    void openDialogHasTitleFiltersAndRemembersTheLastName();
    void fileDialogLeavesNoCompletionBehind();
};

void QtDialogsTest::messageBoxLooksAndAnswers_data()
{
    QTest::addColumn<MessageKind>("kind");
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("defaultButton");
    QTest::addColumn<Answer>("answer");

    const int warning = QMessageBox::Warning;
    const int information = QMessageBox::Information;
    const int question = QMessageBox::Question;
    const QStringList ok{"OK"};
    const QStringList yesNo{"&No", "&Yes"};
    const QStringList yesNoCancel{"&No", "&Yes", "Cancel"};

    QTest::newRow("warning, OK") << MessageKind::Warning << MessageButtons::Ok << "OK"
                                 << "Warning" << warning << ok << "OK" << Answer::Ok;
    QTest::newRow("information, Esc") << MessageKind::Information << MessageButtons::Ok << "<Esc>"
                                      << "Information" << information << ok << "OK" << Answer::Ok;
    QTest::newRow("information, close") << MessageKind::Information << MessageButtons::Ok << "<close>"
                                        << "Information" << information << ok << "OK" << Answer::Cancel;
    QTest::newRow("confirm Yes/No, Yes") << MessageKind::Confirmation << MessageButtons::YesNo << "&Yes"
                                         << "Confirm" << question << yesNo << "&Yes" << Answer::Yes;
    QTest::newRow("confirm Yes/No, Esc") << MessageKind::Confirmation << MessageButtons::YesNo << "<Esc>"
                                         << "Confirm" << question << yesNo << "&Yes" << Answer::No;
    QTest::newRow("confirm Yes/No, close") << MessageKind::Confirmation << MessageButtons::YesNo << "<close>"
                                           << "Confirm" << question << yesNo << "&Yes" << Answer::Cancel;
    QTest::newRow("confirm Yes/No/Cancel, No") << MessageKind::Confirmation << MessageButtons::YesNoCancel << "&No"
                                               << "Confirm" << question << yesNoCancel << "&Yes" << Answer::No;
    QTest::newRow("confirm Yes/No/Cancel, Cancel")
        << MessageKind::Confirmation << MessageButtons::YesNoCancel << "Cancel"
        << "Confirm" << question << yesNoCancel << "&Yes" << Answer::Cancel;
    QTest::newRow("confirm Yes/No/Cancel, Esc") << MessageKind::Confirmation << MessageButtons::YesNoCancel << "<Esc>"
                                                << "Confirm" << question << yesNoCancel << "&Yes" << Answer::Cancel;
}

void QtDialogsTest::messageBoxLooksAndAnswers()
{
    QFETCH(MessageKind, kind);
    QFETCH(MessageButtons, buttons);
    QFETCH(QString, how);
    QFETCH(QString, caption);
    QFETCH(int, icon);
    QFETCH(QStringList, shown);
    QFETCH(QString, defaultButton);
    QFETCH(Answer, answer);

    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    qbtest::SeenBox seen;
    QCOMPARE(answerBox(dialogs, kind, buttons, how, seen), answer);
    QCOMPARE(seen.caption, caption);
    QCOMPARE(seen.text, QStringLiteral("Proceed?"));
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.buttons, shown);
    QCOMPARE(seen.defaultButton, defaultButton);
}

void QtDialogsTest::messageBoxUnderlinesAfterASingleAmpersand()
{
    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    qbtest::ModalScript modal;
    modal.clickBox(QStringLiteral("OK"));
    dialogs.messageBox("Tom & Jerry &<b>", MessageKind::Information, MessageButtons::Ok);
    QVERIFY(modal.done());
    QCOMPARE(modal.boxes().at(0).text, QStringLiteral("<p style=\"white-space:pre-wrap\">Tom <u> </u>Jerry "
                                                      "<u>&lt;</u>b&gt;</p>"));

    Qt::TextFormat format = Qt::RichText;
    QCOMPARE(qb::mnemonicText(QStringLiteral("a&&b"), format), QStringLiteral("<p style=\"white-space:pre-wrap\">"
                                                                              "a&amp;b</p>"));
    QCOMPARE(qb::mnemonicText(QStringLiteral("<plain>"), format), QStringLiteral("<plain>"));
    QCOMPARE(format, Qt::PlainText);
}

void QtDialogsTest::errorBoxCarriesTheApplicationTitle()
{
    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    qbtest::ModalScript modal;
    modal.then([](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY(box);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    modal.clickBox(QStringLiteral("OK"));
    dialogs.showErrorBox("Cannot open file a&b.");
    dialogs.showErrorBox("File not found.");
    QVERIFY(modal.done());
    const qbtest::SeenBox& box = modal.boxes().at(0);
    QCOMPARE(box.caption, QStringLiteral("Quillbox 97"));
    QCOMPARE(box.text, QStringLiteral("File not found."));
    QVERIFY2(box.width >= captionRoom(box.caption), qPrintable(QString::number(box.width)));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QStringList({"OK"}));
    QCOMPARE(box.defaultButton, QStringLiteral("OK"));
}

void QtDialogsTest::inputBoxReturnsTypedTextOrTheDefault_data()
{
    QTest::addColumn<QString>("how"); // "type:<text>", "<Esc>", "<close>" or "Cancel"
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("OK keeps blanks") << "type:  bob  " << QByteArray("  bob  ");
    QTest::newRow("windows-1252 bytes") << QString::fromUtf8("type:M\u00FCller \u20AC") << QByteArray("M\xFCller \x80");
    QTest::newRow("Cancel") << "Cancel" << QByteArray("preset");
    QTest::newRow("Esc") << "<Esc>" << QByteArray("preset");
    QTest::newRow("close") << "<close>" << QByteArray("preset");
}

void QtDialogsTest::inputBoxReturnsTypedTextOrTheDefault()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, result);
    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    int maxLength = 0;
    int width = 0;
    QString caption;
    QString prompt;
    qbtest::ModalScript modal;
    modal.then([&](QWidget* widget) {
        auto* dialog = qobject_cast<QInputDialog*>(widget);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        prompt = dialog->labelText();
        width = dialog->width();
        auto* edit = dialog->findChild<QLineEdit*>();
        QVERIFY(edit);
        maxLength = edit->maxLength();
        if (how.startsWith(QStringLiteral("type:"))) {
            edit->clear();
            edit->insert(how.mid(5));
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (how == QStringLiteral("<Esc>")) {
            QTest::keyClick(edit, Qt::Key_Escape);
        } else if (how == QStringLiteral("<close>")) {
            dialog->close();
        } else {
            dialog->reject();
        }
    });
    const std::string answer =
        dialogs.inputBox("Add a new mail program to database", "Type in a name for the new mail program", "preset");
    QCOMPARE(QByteArray::fromStdString(answer), result);
    QCOMPARE(maxLength, 255);
    QCOMPARE(caption, QStringLiteral("Add a new mail program to database"));
    QCOMPARE(prompt, QStringLiteral("Type in a name for the new mail program"));
    QVERIFY2(width >= captionRoom(caption), qPrintable(QString::number(width)));
}

void QtDialogsTest::inputBoxRefusesCharactersTheCodePageLacks()
{
    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    qbtest::ModalScript modal;
    modal.enterText(QString::fromUtf8("Zh\u00E0ng \u4E2D"));
    try {
        dialogs.inputBox("Import New Key", "Enter a name for person", "");
        QFAIL("no error");
    } catch (const qb::Error& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("The text holds a character that cannot be saved: "
                                                                 "U+4E2D"));
    }
}

void QtDialogsTest::openDialogHasTitleFiltersAndRemembersTheLastName()
{
    QTemporaryDir dir;
    const QString chosen = dir.path() + "/friend.key";
    QFile(chosen).open(QIODevice::WriteOnly);
    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    QCOMPARE(dialogs.openDialogFileName(), std::string());

    QString title;
    QStringList filters;
    QStringList shownFilters;
    QString selectedFilter;
    QString offered;
    QString keptFilter;
    qbtest::ModalScript modal;
    modal.then([&](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        QVERIFY(dialog);
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        selectedFilter = types->currentText();
        for (int index = 0; index < types->count(); ++index)
            shownFilters << types->itemText(index);
        dialog->selectNameFilter(filters.value(2));
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    modal.then([&](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        QVERIFY(dialog);
        offered = dialog->selectedFiles().value(0);
        keptFilter = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        dialog->reject();
    });
    QVERIFY(dialogs.executeOpenDialog());
    QCOMPARE(dialogs.openDialogFileName(), chosen.toStdString());
    QVERIFY(!dialogs.executeOpenDialog());
    QVERIFY(modal.done());
    QCOMPARE(dialogs.openDialogFileName(), chosen.toStdString());
    QCOMPARE(offered, chosen);
    QCOMPARE(title, QStringLiteral("Open File"));
    QCOMPARE(shownFilters, QStringList({"All Files[*.*]", "Key Files[*.key]", "Text Files[*.txt]"}));
    QCOMPARE(filters, QStringList({"All Files[*.*] (*)", "Key Files[*.key] (*.key)", "Text Files[*.txt] (*.txt)"}));
    QCOMPARE(selectedFilter, shownFilters.value(0));
    QCOMPARE(keptFilter, shownFilters.value(2));
    // The save dialog is a dialog of its own: nothing accepted there yet.
    QCOMPARE(dialogs.saveDialogFileName(), std::string());
}

void QtDialogsTest::fileDialogLeavesNoCompletionBehind()
{
    QTemporaryDir dir;
    for (const char* name : {"friend.key", "friendly.txt"})
        QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    QWidget parent;
    qb::QtDialogs dialogs(&parent);
    qbtest::ModalScript modal;
    modal.then([&](QWidget* widget) {
        auto* edit = widget->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, dir.filePath(QStringLiteral("frie")));
        QTest::keyClick(edit, Qt::Key_Return);
        if (widget->isVisible())
            static_cast<QDialog*>(widget)->reject();
    });
    dialogs.executeOpenDialog();
    QVERIFY(modal.done());
    // The list may come up late, once the folder it completes from has loaded.
    QTest::qWait(200);
    QCOMPARE(qbtest::visibleTopLevelWindows(), QStringList());
}

QTEST_MAIN(QtDialogsTest)
#include "tst_qt_dialogs.moc"
