#include "QtControls.h"

#include "Errors.h"
#include "FileOps.h"
#include "IoContext.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Every byte but 0, CR and LF, in lines of 16 separated by CR LF.
QByteArray everyTextByte()
{
    QByteArray bytes;
    for (int value = 1; value < 256; ++value) {
        if (value == '\r' || value == '\n')
            continue;
        bytes += char(value);
        if (value % 16 == 0)
            bytes += "\r\n";
    }
    return bytes;
}

class CountingWindow : public qb::Window
{
public:
    void setCaption(const std::string&) override {}
    void repaintNow() override { ++repaints; }
    int repaints = 0;
};

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

QStringList shownEntries(const QListWidget& list)
{
    QStringList shown;
    for (int row = 0; row < list.count(); ++row)
        shown << list.item(row)->text();
    return shown;
}

} // namespace

class QtControlsTest : public QObject
{
    Q_OBJECT

private slots:
    // The collation is the locale's; fix one so the expected orders hold on any machine.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void everyTextByteSurvivesLoadAndSave();
    void everyTextByteSurvivesTheClipboard();
    void editorTextHasCrLfBetweenLines();
    void setTextNotifiesOnceAndClearDoesNot();
    void setTextReplacesWhatWasThere_data();
    void setTextReplacesWhatWasThere();
    void textTheCodePageCannotHoldIsAnError();
    void heldTextFollowsEveryChange();
    void listSortsAsPeopleExpect_data();
    void listSortsAsPeopleExpect();
    void listKeepsEntryBytesAndRefusesBadIndexes();
    void listClickNeverLosesTheSelection_data();
    void listClickNeverLosesTheSelection();
    void progressRepaintsOnlyWhenTheBarChanges_data();
    void progressRepaintsOnlyWhenTheBarChanges();
    void pathFieldKeepsItsBytesUntilEdited();
};

void QtControlsTest::everyTextByteSurvivesLoadAndSave()
{
    QTemporaryDir dir;
    const QString source = dir.path() + "/all.txt";
    const QString target = dir.path() + "/again.txt";
    writeFile(source, everyTextByte());

    QPlainTextEdit widget;
    qb::QtEditor editor(&widget);
    qb::IoContext io;
    qb::loadEditorFromFile(io, editor, source.toStdString());
    // U+00A0 is byte 160 and must not turn into a blank; byte 0x81 has no character but keeps its control.
    QVERIFY(widget.document()->toRawText().contains(QChar(0x00A0)));
    QVERIFY(widget.document()->toRawText().contains(QChar(0x0081)));
    QVERIFY(widget.document()->toRawText().contains(QChar(0x20AC)));
    qb::saveEditorToFile(io, editor, target.toStdString());
    QCOMPARE(readFile(target), everyTextByte());
}

void QtControlsTest::everyTextByteSurvivesTheClipboard()
{
    qb::MemoEdit from;
    qb::MemoEdit to;
    qb::QtEditor source(&from);
    qb::QtEditor destination(&to);
    source.setText(everyTextByte().toStdString());
    from.selectAll();
    from.copy();
    to.paste();
    QCOMPARE(QByteArray::fromStdString(destination.text()), everyTextByte());
    QCOMPARE(QApplication::clipboard()->text().size(), from.document()->toRawText().size());
}

void QtControlsTest::editorTextHasCrLfBetweenLines()
{
    qb::MemoEdit widget;
    qb::QtEditor editor(&widget);
    editor.setText("one\r\ntwo\r\n\r\n");
    QCOMPARE(widget.blockCount(), 4);
    QCOMPARE(editor.text(), std::string("one\r\ntwo\r\n\r\n"));
    widget.moveCursor(QTextCursor::End);
    QTest::keyClicks(&widget, QStringLiteral("x\ty"));
    QTest::keyClick(&widget, Qt::Key_Return);
    // Every Enter is a paragraph break, whatever the modifiers; a pasted line separator saves as one too.
    QTest::keyClick(&widget, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(&widget, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    QTest::keyClick(&widget, Qt::Key_Return, Qt::ControlModifier);
    widget.insertPlainText(QStringLiteral("a\u2028b"));
    QCOMPARE(widget.blockCount(), 8);
    QCOMPARE(editor.text(), std::string("one\r\ntwo\r\n\r\nx\ty\r\n\r\n\r\n\r\na\r\nb"));
}

void QtControlsTest::setTextNotifiesOnceAndClearDoesNot()
{
    QPlainTextEdit widget;
    qb::QtEditor editor(&widget);
    QSignalSpy changes(&widget, &QPlainTextEdit::textChanged);
    QVERIFY(editor.isEmpty());

    editor.setText("line\r\nline");
    QCOMPARE(changes.count(), 1);
    QVERIFY(!editor.isEmpty());

    editor.setModified(true);
    editor.clear();
    QCOMPARE(changes.count(), 1);
    QVERIFY(editor.isEmpty());
    QVERIFY(!editor.isModified());
    editor.setModified(true);
    QVERIFY(widget.document()->isModified());
}

void QtControlsTest::setTextReplacesWhatWasThere_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("lines") << QByteArray("one\r\ntwo") << 2 << QByteArray("one\r\ntwo");
    QTest::newRow("lone breaks") << QByteArray("a\rb\nc") << 3 << QByteArray("a\r\nb\r\nc");
    QTest::newRow("break at the end") << QByteArray("x\r\n") << 2 << QByteArray("x\r\n");
    QTest::newRow("empty") << QByteArray() << 1 << QByteArray();
    const QByteArray words = QByteArray("wrap me ").repeated(2000);
    QTest::newRow("one long line") << words << 1 << words;
    const QByteArray solid = QByteArray("ciphertext").repeated(2000);
    QTest::newRow("one long word") << solid << 1 << solid;
}

void QtControlsTest::setTextReplacesWhatWasThere()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, blocks);
    QFETCH(QByteArray, text);
    // Typed text with an undo step, scrolled to its end, the caret there.
    const auto prepare = [](QPlainTextEdit& widget) {
        widget.resize(300, 200);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        widget.insertPlainText(QStringLiteral("typed\n").repeated(200));
        widget.verticalScrollBar()->setValue(widget.verticalScrollBar()->maximum());
        QVERIFY(widget.document()->isUndoAvailable());
    };
    QPlainTextEdit widget;
    prepare(widget);
    qb::QtEditor editor(&widget);
    editor.setText(bytes.toStdString());
    QCOMPARE(QByteArray::fromStdString(editor.text()), text);
    QCOMPARE(widget.blockCount(), blocks);
    QCOMPARE(editor.isEmpty(), text.isEmpty());
    QVERIFY(!editor.isModified());
    QVERIFY(!widget.document()->isUndoAvailable());
    QCOMPARE(widget.textCursor().position(), 0);
    QCOMPARE(widget.verticalScrollBar()->value(), 0);

    // Shown as the widget's own setPlainText shows it: the same scroll range, the same lines.
    QPlainTextEdit reference;
    prepare(reference);
    reference.setPlainText(qb::textFromCp1252(bytes.toStdString()));
    // Scroll bars settle through the event loop.
    QApplication::processEvents();
    QCOMPARE(widget.document()->toRawText(), reference.document()->toRawText());
    QCOMPARE(widget.verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());
    QCOMPARE(widget.viewport()->width(), reference.viewport()->width());
    const QTextBlock shown = widget.document()->firstBlock();
    const QTextBlock expected = reference.document()->firstBlock();
    QCOMPARE(shown.layout()->lineCount(), expected.layout()->lineCount());
    if (bytes.size() > 1000)
        QVERIFY(shown.layout()->lineCount() > 1);
    for (int line = 0; line < shown.layout()->lineCount(); ++line)
        QCOMPARE(shown.layout()->lineAt(line).textLength(), expected.layout()->lineAt(line).textLength());
}

void QtControlsTest::textTheCodePageCannotHoldIsAnError()
{
    QPlainTextEdit widget;
    qb::QtEditor editor(&widget);
    widget.setPlainText(QString::fromUtf8("ok\nthen \U0001F600"));
    try {
        static_cast<void>(editor.text());
        QFAIL("no error");
    } catch (const qb::Error& error) {
        QCOMPARE(QString::fromUtf8(error.what()),
                 QStringLiteral("The message holds a character that cannot be saved: U+1F600"));
    }
}

void QtControlsTest::heldTextFollowsEveryChange()
{
    QPlainTextEdit widget;
    qb::QtEditor editor(&widget);
    editor.setText("first");
    // The text as each of the three readers sees it; they must agree.
    const auto read = [&editor] {
        std::string seen;
        editor.readText([&seen](std::string_view text) { seen = text; });
        if (editor.text() != seen || editor.textSize() != seen.size())
            return std::string("<readers disagree>");
        return seen;
    };
    {
        const qb::QtEditor::Hold hold(editor);
        QCOMPARE(read(), std::string("first"));
        widget.moveCursor(QTextCursor::End);
        widget.insertPlainText(QStringLiteral("\u20AC"));
        QCOMPARE(read(), std::string("first\x80"));
        {
            const qb::QtEditor::Hold inner(editor);
            editor.setText("second\r\nline");
            QCOMPARE(read(), std::string("second\r\nline"));
        }
        QCOMPARE(read(), std::string("second\r\nline"));
        editor.clear();
        QCOMPARE(read(), std::string());
        widget.undo();
        widget.insertPlainText(QStringLiteral("typed"));
        QCOMPARE(read(), std::string("typed"));
    }
    QCOMPARE(read(), std::string("typed"));

    // A hold converts at once, so it fails where text() would.
    widget.insertPlainText(QStringLiteral(" \u4E2D"));
    QVERIFY_THROWS_EXCEPTION(qb::Error, qb::QtEditor::Hold{editor});
}

void QtControlsTest::listSortsAsPeopleExpect_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("case does not split the alphabet")
        << QStringList{"Zed", "alice", "Bob"} << QStringList{"alice", "Bob", "Zed"};
    QTest::newRow("equal entries keep their order")
        << QStringList{"bob", "Bob", "BOB", "al"} << QStringList{"al", "bob", "Bob", "BOB"};
    QTest::newRow("empty entry first") << QStringList{"x", ""} << QStringList{"", "x"};
    QTest::newRow("accented letters among their base letters")
        << QStringList{"Zoe", QString::fromUtf8("\u00C9mile"), "Eva", "Fay"}
        << QStringList{QString::fromUtf8("\u00C9mile"), "Eva", "Fay", "Zoe"};
}

void QtControlsTest::listSortsAsPeopleExpect()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, shown);
    // Added unsorted, then sorted, and added one by one into a sorted list: the same order both ways.
    QListWidget lateWidget;
    qb::QtListControl late(&lateWidget);
    QListWidget sortedWidget;
    qb::QtListControl sorted(&sortedWidget);
    sorted.setSorted(true);
    for (const QString& entry : added) {
        const std::string bytes = qb::cp1252FromText(entry, "entry");
        late.add(bytes);
        sorted.add(bytes);
    }
    QCOMPARE(shownEntries(lateWidget), added);
    late.setSorted(true);
    QCOMPARE(shownEntries(lateWidget), shown);
    QCOMPARE(shownEntries(sortedWidget), shown);
    QCOMPARE(sorted.count(), added.size());
}

void QtControlsTest::listKeepsEntryBytesAndRefusesBadIndexes()
{
    QListWidget widget;
    qb::QtListControl list(&widget);
    list.setSorted(true);
    list.add("M\xFCller");
    list.add("abc");
    QCOMPARE(widget.item(1)->text(), QString::fromUtf8("M\u00FCller"));
    QCOMPARE(list.item(1), std::string("M\xFCller"));
    QCOMPARE(list.itemIndex(), -1);
    widget.setCurrentRow(1);
    QCOMPARE(list.itemIndex(), 1);

    for (const int index : {-1, 2}) {
        try {
            static_cast<void>(list.item(index));
            QFAIL("no error");
        } catch (const qb::EListError& error) {
            QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("List index out of bounds (%1)").arg(index));
        }
    }
    list.clear();
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.itemIndex(), -1);
}

void QtControlsTest::listClickNeverLosesTheSelection_data()
{
    QTest::addColumn<int>("clickedRow"); // -1: blank space below the entries
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("selected");
    QTest::newRow("another entry") << 2 << int(Qt::NoModifier) << 2;
    QTest::newRow("the selected entry") << 1 << int(Qt::NoModifier) << 1;
    QTest::newRow("Ctrl, the selected entry") << 1 << int(Qt::ControlModifier) << 1;
    QTest::newRow("Ctrl, another entry") << 0 << int(Qt::ControlModifier) << 0;
    QTest::newRow("blank space") << -1 << int(Qt::NoModifier) << 1;
    QTest::newRow("Ctrl, blank space") << -1 << int(Qt::ControlModifier) << 1;
}

void QtControlsTest::listClickNeverLosesTheSelection()
{
    QFETCH(int, clickedRow);
    QFETCH(int, modifiers);
    QFETCH(int, selected);
    qb::ListBoxWidget widget;
    widget.resize(100, 150);
    qb::QtListControl list(&widget);
    for (const char* entry : {"a", "b", "c"})
        list.add(entry);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.setCurrentRow(1);
    const QRect last = widget.visualItemRect(widget.item(2));
    const QPoint at = clickedRow < 0 ? QPoint(last.center().x(), last.bottom() + 20)
                                     : widget.visualItemRect(widget.item(clickedRow)).center();
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers), at);
    QCOMPARE(list.itemIndex(), selected);
}

void QtControlsTest::progressRepaintsOnlyWhenTheBarChanges_data()
{
    QTest::addColumn<int>("millisecondsPerTenSteps");
    QTest::addColumn<int>("windowPaintsMin");
    QTest::addColumn<int>("windowPaintsMax");
    // A slow run paints the window for every pixel the bar grows by; a fast one once per 16 ms frame.
    QTest::newRow("slow run") << 20 << 90 << 100;
    QTest::newRow("fast run") << 1 << 15 << 20;
    QTest::newRow("instant run") << 0 << 1 << 1;
}

void QtControlsTest::progressRepaintsOnlyWhenTheBarChanges()
{
    QFETCH(int, millisecondsPerTenSteps);
    QFETCH(int, windowPaintsMin);
    QFETCH(int, windowPaintsMax);
    QProgressBar bar;
    bar.resize(100, 16);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    PaintCounter barPaints;
    bar.installEventFilter(&barPaints);
    CountingWindow window;
    std::int64_t now = 1000;
    qb::QtProgressControl progress(&bar, window, [&now] { return now; });

    const std::int64_t total = 3'000'000'000; // beyond 32 bits
    progress.setMaximum(total);
    // 3000 steps, about 30 to a pixel.
    for (std::int64_t first = 0; first < total; first += 1'000'000) {
        progress.stepPositions(first, first + 999'999);
        if (first % 10'000'000 == 0)
            now += millisecondsPerTenSteps;
    }
    QVERIFY2(window.repaints >= windowPaintsMin && window.repaints <= windowPaintsMax,
             qPrintable(QString::number(window.repaints)));
    // Every pixel the bar grew by was painted, by the window or by the bar itself.
    QVERIFY2(window.repaints + barPaints.paints >= 90, qPrintable(QString::number(barPaints.paints)));
    QCOMPARE(bar.value(), 9999); // position N-1 of N
    QCOMPARE(progress.position(), total - 1);

    progress.setPosition(0);
    QCOMPARE(bar.value(), 0);
    progress.setMaximum(0);
    progress.stepPositions(0, 5);
    QCOMPARE(bar.value(), 0);
}

void QtControlsTest::pathFieldKeepsItsBytesUntilEdited()
{
    QLineEdit widget;
    qb::QtLineEdit field(&widget);
    field.setText("/data/M\xFCller/newmail.txt");
    QCOMPARE(widget.text(), QString::fromUtf8("/data/M\u00FCller/newmail.txt"));
    QCOMPARE(field.text(), std::string("/data/M\xFCller/newmail.txt"));

    field.setText("/data/Zo\xC3\xAB.txt");
    QCOMPARE(widget.text(), QString::fromUtf8("/data/Zo\u00EB.txt"));

    widget.setText(QString::fromUtf8("/data/Ren\u00E9e.txt"));
    QCOMPARE(field.text(), std::string("/data/Ren\xC3\xA9"
                                       "e.txt"));
}

QTEST_MAIN(QtControlsTest)
#include "tst_qt_controls.moc"
