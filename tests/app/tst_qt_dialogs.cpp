#include "AppTestSupport.h"
#include "ModalScript.h"

#include "QtDialogs.h"

#include "Errors.h"

#include <QComboBox>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWidget>

#include <tuple>

namespace {

using qb::Answer;
using qb::MessageButtons;
using qb::MessageKind;

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
    // What the file dialogs remember goes to Qt's test folders, never into the user's own settings.
    void initTestCase() { QVERIFY(QStandardPaths::isTestModeEnabled()); }
    void cleanup() { QCOMPARE(qbtest::visibleTopLevelWindows(), QStringList()); }

    void messageBoxLooksAndAnswers()
    {
        const auto warning = MessageKind::Warning;
        const auto information = MessageKind::Information;
        const auto confirm = MessageKind::Confirmation;
        const QStringList ok{"OK"};
        const QStringList yesNo{"&No", "&Yes"};
        const QStringList yesNoCancel{"&No", "&Yes", "Cancel"};
        // Kind, buttons, how it is closed (a button's text, "<Esc>", or "<close>" for the title-bar close), then
        // caption, icon, buttons and default button shown, and the answer.
        using Row =
            std::tuple<MessageKind, MessageButtons, QString, QString, QMessageBox::Icon, QStringList, QString, Answer>;
        // clang-format off
        const Row rows[] = {
            {warning, MessageButtons::Ok, "OK", "Warning", QMessageBox::Warning, ok, "OK", Answer::Ok},
            {information, MessageButtons::Ok, "<Esc>", "Information", QMessageBox::Information, ok, "OK", Answer::Ok},
            {information, MessageButtons::Ok, "<close>", "Information", QMessageBox::Information, ok, "OK",
             Answer::Cancel},
            {confirm, MessageButtons::YesNo, "&Yes", "Confirm", QMessageBox::Question, yesNo, "&Yes", Answer::Yes},
            {confirm, MessageButtons::YesNo, "<Esc>", "Confirm", QMessageBox::Question, yesNo, "&Yes", Answer::No},
            {confirm, MessageButtons::YesNo, "<close>", "Confirm", QMessageBox::Question, yesNo, "&Yes", Answer::Cancel},
            {confirm, MessageButtons::YesNoCancel, "&No", "Confirm", QMessageBox::Question, yesNoCancel, "&Yes",
             Answer::No},
            {confirm, MessageButtons::YesNoCancel, "Cancel", "Confirm", QMessageBox::Question, yesNoCancel, "&Yes",
             Answer::Cancel},
            {confirm, MessageButtons::YesNoCancel, "<Esc>", "Confirm", QMessageBox::Question, yesNoCancel, "&Yes",
             Answer::Cancel}};
        // clang-format on
        QWidget parent;
        qb::QtDialogs dialogs(&parent);
        for (const auto& [kind, buttons, how, caption, icon, shown, defaultButton, answer] : rows) {
            const qbtest::RowTrace trace(caption + " " + shown.join('/') + ", " + how);
            qbtest::SeenBox seen;
            qbtest::ModalScript modal;
            modal.then([&seen, how = how](QWidget* widget) {
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
            QCOMPARE(dialogs.messageBox("Proceed?", kind, buttons), answer);
            QCOMPARE(modal.unexpected(), QStringList());
            QCOMPARE(seen.caption, caption);
            QCOMPARE(seen.text, QStringLiteral("Proceed?"));
            QCOMPARE(seen.icon, icon);
            QCOMPARE(seen.buttons, shown);
            QCOMPARE(seen.defaultButton, defaultButton);
        }
    }

    void returnKeepsTheDataInADestroyingConfirmation()
    {
        QWidget parent;
        qb::QtDialogs dialogs(&parent);
        qbtest::SeenBox seen;
        qbtest::ModalScript modal;
        modal.then([&seen](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            QVERIFY(box);
            seen = qbtest::describeBox(*box);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(dialogs.confirmDestroying("Replace it?", MessageButtons::YesNo), Answer::No);
        QCOMPARE(seen.defaultButton, QStringLiteral("&No"));
    }

    void messageBoxUnderlinesAfterASingleAmpersand()
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

    void errorBoxCarriesTheApplicationTitle()
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

    void inputBoxReturnsTypedTextOrTheDefaultAndRefusesWhatTheCodePageLacks()
    {
        // How the box is closed ("type:<text>", "<Esc>", "<close>" or "Cancel"), and the text it returns or the error.
        const std::pair<QString, QByteArray> rows[] = {
            {"type:  bob  ", "  bob  "},
            {QString::fromUtf8("type:Zh\u00E0ng \u4E2D"), "The text holds a character that cannot be saved: U+4E2D"},
            {QString::fromUtf8("type:M\u00FCller \u20AC"), "M\xFCller \x80"},
            {"Cancel", "preset"},
            {"<Esc>", "preset"},
            {"<close>", "preset"}};
        QWidget parent;
        qb::QtDialogs dialogs(&parent);
        for (const auto& [how, result] : rows) {
            const qbtest::RowTrace trace(how);
            int maxLength = 0;
            int width = 0;
            QString caption;
            QString prompt;
            qbtest::ModalScript modal;
            modal.then([&, how = how](QWidget* widget) {
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
            std::string answer;
            const QString error = qbtest::errorFrom([&dialogs, &answer] {
                answer = dialogs.inputBox("Add a new mail program to database",
                                          "Type in a name for the new mail program", "preset");
            });
            QCOMPARE(error == "<no error>" ? QByteArray::fromStdString(answer) : error.toUtf8(), result);
            QCOMPARE(maxLength, 255);
            QCOMPARE(caption, QStringLiteral("Add a new mail program to database"));
            QCOMPARE(prompt, QStringLiteral("Type in a name for the new mail program"));
            QVERIFY2(width >= captionRoom(caption), qPrintable(QString::number(width)));
        }
    }

    void openDialogHasTitleFiltersAndRemembersTheLastName()
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

    void fileDialogShowsEveryColumnWhole()
    {
        QTemporaryDir dir;
        qbtest::writeFile(dir.filePath("letter.txt"), QByteArray(24600, 'x'));
        qbtest::writeFile(dir.filePath("friend.key"), "k");
        QWidget parent;
        qb::QtDialogs dialogs(&parent);
        qbtest::ModalScript modal;
        modal.then([&](QWidget* widget) {
            static_cast<QFileDialog*>(widget)->setDirectory(dir.path());
            // Through the base, where the size a column wants is public.
            const QAbstractItemView* view = widget->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(view);
            // Each column as "column: width wanted > width shown" where it is cut.
            const auto cutColumns = [view] {
                QStringList cut;
                const QHeaderView* header = static_cast<const QTreeView*>(view)->header();
                for (int column = 0; column < header->count(); ++column) {
                    const int wanted = view->sizeHintForColumn(column);
                    const int shown = header->sectionSize(column);
                    if (wanted > shown)
                        cut << QStringLiteral("%1: %2 > %3").arg(column).arg(wanted).arg(shown);
                }
                return cut;
            };
            QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 2);
            QTRY_COMPARE(cutColumns(), QStringList());
            static_cast<QDialog*>(widget)->reject();
        });
        dialogs.executeOpenDialog();
        QVERIFY(modal.done());
        QCOMPARE(modal.unexpected(), QStringList());
    }

    void fileDialogLeavesNoCompletionBehind()
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
        // The list may come up late, once the folder it completes from has loaded; it must go with the dialog.
        QTRY_COMPARE(qbtest::visibleTopLevelWindows(), QStringList());
    }
};

QTEST_MAIN(QtDialogsTest)
#include "tst_qt_dialogs.moc"
