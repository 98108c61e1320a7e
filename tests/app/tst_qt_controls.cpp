#include "AppTestSupport.h"
#include "ByteBox.h"
#include "PiecewiseFill.h"
#include "QtControls.h"
#include "ScriptedUi.h"

#include "EditorFile.h"
#include "EditorText.h"
#include "Errors.h"
#include "IoContext.h"
#include "StoredFiles.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include <functional>
#include <tuple>
#include <utility>

namespace {

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

// Typed text with an undo step, scrolled to its end, the caret there, is replaced by `bytes` set as one text.
void checkSetText(const QByteArray& bytes, int blocks, const QByteArray& text)
{
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

} // namespace

class QtControlsTest : public QObject
{
    Q_OBJECT

private slots:
    // The collation is the locale's; fix one so the expected orders hold on any machine.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void everyTextByteSurvivesLoadSaveAndTheClipboard()
    {
        QTemporaryDir dir;
        qbtest::writeFile(dir.filePath("all.txt"), everyTextByte());
        qb::MemoEdit from;
        qb::MemoEdit to;
        qb::QtEditor source(&from);
        qb::QtEditor destination(&to);
        qb::IoContext io;
        qb::loadEditorFromFile(io, source, dir.filePath("all.txt").toStdString());
        // U+00A0 is byte 160 and must not turn into a blank; byte 0x81 has no character but keeps its control.
        for (const char16_t kept : {u'\u00A0', u'\u0081', u'\u20AC'})
            QVERIFY(from.document()->toRawText().contains(QChar(kept)));
        qb::saveEditorPiecesAsFile(io, source, dir.filePath("again.txt").toStdString());
        QCOMPARE(qbtest::readFile(dir.filePath("again.txt")), everyTextByte());

        from.selectAll();
        from.copy();
        to.paste();
        QCOMPARE(QByteArray::fromStdString(destination.text()), everyTextByte());
        QCOMPARE(QApplication::clipboard()->text().size(), from.document()->toRawText().size());
    }

    // The editor's bytes are converted run by run where the document keeps its characters, typed in several edits
    // here; the whole text copied out and converted at once is the reference.
    void editorBytesMatchTheWholeTextConverted()
    {
        const QString large = QString(20000, u'w') + QStringLiteral("\u20AC\n") + QString(20000, u'\u2400');
        const std::pair<const char*, QString> rows[] = {
            {"empty", QString()},
            {"lines, a blank, a separator within a line", QStringLiteral("a\u00A0b\n\nc\u2028d\u2421\u0081\n")},
            {"long lines, in several pieces", large},
            {"a character the code page lacks, late", large + QStringLiteral("\u4E2D")},
        };
        for (const auto& [name, text] : rows) {
            const qbtest::RowTrace trace(name);
            qb::MemoEdit widget;
            qb::QtEditor editor(&widget);
            editor.takeAllBytes(std::string(1, 'x'));
            QTextCursor(widget.document()).insertText(text.left(text.size() / 2));
            widget.moveCursor(QTextCursor::End);
            widget.insertPlainText(text.mid(text.size() / 2));
            const QString raw = widget.document()->toRawText();
            std::string expected;
            const auto failure = qb::encodeEditorText(
                {reinterpret_cast<const char16_t*>(raw.utf16()), static_cast<std::size_t>(raw.size())}, expected);
            std::string converted;
            const QString error = qbtest::errorFrom([&] { converted = editor.text(); });
            QCOMPARE(error, failure ? QStringLiteral("The message holds a character that cannot be saved: U+4E2D")
                                    : QStringLiteral("<no error>"));
            if (failure)
                continue;
            QCOMPARE(converted, expected);
            // Counted, and given piece by piece, as converted whole.
            QCOMPARE(editor.textSize(), expected.size());
            std::string pieces;
            editor.readTextPieces([&pieces](std::string_view piece) { pieces += piece; });
            QCOMPARE(pieces, expected);
        }
    }

    void editorTextHasCrLfBetweenLines()
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

    void setTextNotifiesOnceAndClearDoesNot()
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

    void setTextReplacesWhatWasThere()
    {
        const QByteArray words = QByteArray("wrap me ").repeated(2000);
        const QByteArray solid = QByteArray("ciphertext").repeated(2000);
        // Name, bytes set, lines shown, text read back.
        const std::tuple<const char*, QByteArray, int, QByteArray> rows[] = {
            {"lines", "one\r\ntwo", 2, "one\r\ntwo"},  {"lone breaks", "a\rb\nc", 3, "a\r\nb\r\nc"},
            {"break at the end", "x\r\n", 2, "x\r\n"}, {"empty", "", 1, ""},
            {"one long line", words, 1, words},        {"one long word", solid, 1, solid}};
        for (const auto& [name, bytes, blocks, text] : rows) {
            const qbtest::RowTrace trace(name);
            checkSetText(bytes, blocks, text);
        }
    }

    // Long texts go into the document in pieces: no piece may split a CR LF pair or lose the bytes after it.
    void longTextsArriveWhole()
    {
        const std::size_t piece = qb::kFillPieceBytes;
        const std::string text =
            std::string(piece - 1, 'a') + "\r\n" + std::string(piece, 'b') + "\r\n" + std::string(piece, 'c');
        QPlainTextEdit widget;
        qb::QtEditor editor(&widget);
        editor.takeText(std::string(text));
        QCOMPARE(widget.blockCount(), 3);
        QVERIFY(editor.text() == text);

        std::string ciphertext = text;
        ciphertext[2 * piece] = '\r'; // a lone CR, shown as its picture, just before a piece would end
        editor.takeAllBytes(std::string(ciphertext));
        QCOMPARE(widget.blockCount(), 3);
        QVERIFY(editor.text() == ciphertext);
    }

    // A byte without a glyph gets one box whatever glyph lies under it: the box follows the line, not the cell.
    void byteBoxIsTheSameOverANarrowAndAWideGlyph()
    {
        const auto drawn = [](qreal cellWidth) {
            QImage image(30, 20, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            qb::drawByteBox(painter, QRectF(2, 2, cellWidth, 15), 0x81, Qt::white, Qt::black);
            return image;
        };
        QCOMPARE(drawn(4), drawn(14));
    }

    // Every byte drawn as a box reads as itself: the control bytes and the five the code page leaves unassigned look
    // unlike each other at 1x and at 2x, and a digit stands at least 7 pixels high at 1x.
    void byteBoxesTellEveryByteApartAtEitherScale()
    {
        std::vector<int> bytes{0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D};
        for (int byte = 0; byte < 0x20; ++byte)
            bytes.push_back(byte);
        for (const qreal ratio : {1.0, 2.0}) {
            std::vector<QImage> images;
            for (const int byte : bytes) {
                QImage image((QSizeF(40, 20) * ratio).toSize(), QImage::Format_RGB32);
                image.setDevicePixelRatio(ratio);
                image.fill(Qt::white);
                QPainter painter(&image);
                qb::drawByteBox(painter, QRectF(0, 0, 8, 17), static_cast<unsigned char>(byte), Qt::white, Qt::black);
                painter.end();
                images.push_back(image);
            }
            for (std::size_t i = 0; i < images.size(); ++i) {
                for (std::size_t j = i + 1; j < images.size(); ++j)
                    QVERIFY2(images[i] != images[j], qPrintable(QStringLiteral("%1 and %2 at %3x look alike")
                                                                    .arg(bytes[i], 2, 16, QLatin1Char('0'))
                                                                    .arg(bytes[j], 2, 16, QLatin1Char('0'))
                                                                    .arg(ratio)));
            }
            if (ratio != 1.0)
                continue;
            // The digits' rows: dark pixels inside the frame, which is the outermost dark row and column.
            const QImage& zero = images[6]; // byte 00
            int top = zero.height(), bottom = -1, left = zero.width(), right = -1;
            for (int y = 0; y < zero.height(); ++y) {
                for (int x = 0; x < zero.width(); ++x) {
                    if (qGray(zero.pixel(x, y)) < 128) {
                        top = std::min(top, y), bottom = std::max(bottom, y);
                        left = std::min(left, x), right = std::max(right, x);
                    }
                }
            }
            int inkTop = bottom, inkBottom = top;
            for (int y = top + 1; y < bottom; ++y) {
                for (int x = left + 1; x < right; ++x) {
                    if (qGray(zero.pixel(x, y)) < 128)
                        inkTop = std::min(inkTop, y), inkBottom = std::max(inkBottom, y);
                }
            }
            QVERIFY2(inkBottom - inkTop + 1 >= 7, qPrintable(QString::number(inkBottom - inkTop + 1)));
        }
    }

    // A screen reader reads each boxed byte as the hex the box shows, never as a control character, and the caret
    // where it stands in that reading.
    void screenReadersHearBoxedBytesAsTheirHex()
    {
        qb::MemoEdit widget;
        qb::QtEditor editor(&widget);
        editor.takeAllBytes(std::string("a\x01"
                                        "b\x81\r\nc",
                                        7));
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(&widget);
        QVERIFY(spoken && spoken->textInterface());
        QAccessibleTextInterface* text = spoken->textInterface();
        QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("ahex 01 bhex 81 \nc"));
        QTextCursor cursor = widget.textCursor();
        cursor.setPosition(3); // after "a", the box of 01 and "b"
        widget.setTextCursor(cursor);
        QCOMPARE(text->cursorPosition(), 9);
        text->setCursorPosition(12); // inside the reading of 81: its box
        QCOMPARE(widget.textCursor().position(), 3);
    }

    void textTheCodePageCannotHoldIsAnError()
    {
        QPlainTextEdit widget;
        qb::QtEditor editor(&widget);
        widget.setPlainText(QString::fromUtf8("ok\nthen \U0001F600"));
        QCOMPARE(qbtest::errorFrom([&editor] { static_cast<void>(editor.text()); }),
                 QStringLiteral("The message holds a character that cannot be saved: U+1F600"));
    }

    // The core knows what the editor shows only as long as the revision it noted stands: every change moves it.
    void revisionMovesWithEveryChangeOfTheText()
    {
        QPlainTextEdit widget;
        qb::QtEditor editor(&widget);
        editor.setText("first");
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        const std::pair<const char*, std::function<void()>> changes[] = {
            {"typing", [&] { widget.insertPlainText(QStringLiteral("\u20AC")); }},
            {"pasting", [&] { widget.paste(); }},
            {"undoing", [&] { widget.undo(); }},
            {"loading", [&] { editor.setText("second\r\nline"); }},
            {"loading every byte", [&] { editor.takeAllBytes(std::string("\x01\x02", 2)); }},
            {"clearing", [&] { editor.clear(); }},
        };
        for (const auto& [name, change] : changes) {
            const qbtest::RowTrace trace(name);
            const std::uint64_t before = editor.revision();
            static_cast<void>(editor.text());
            QCOMPARE(editor.revision(), before);
            change();
            QVERIFY(editor.revision() != before);
        }
        // Looking for mail text reads past what a save could not write.
        widget.setPlainText(QString::fromUtf8("ok \u4E2D then"));
        bool complete = true;
        QCOMPARE(editor.lenientText(complete), std::string("ok  then"));
        QVERIFY(!complete);
    }

    void listSortsAsPeopleExpect()
    {
        const QString emile = QString::fromUtf8("\u00C9mile");
        // Name, entries in the order added, entries as shown.
        const std::tuple<const char*, QStringList, QStringList> rows[] = {
            {"case does not split the alphabet", {"Zed", "alice", "Bob"}, {"alice", "Bob", "Zed"}},
            {"equal entries keep their order", {"bob", "Bob", "BOB", "al"}, {"al", "bob", "Bob", "BOB"}},
            {"empty entry first", {"x", ""}, {"", "x"}},
            {"accented letters among their base letters", {"Zoe", emile, "Eva", "Fay"}, {emile, "Eva", "Fay", "Zoe"}}};
        for (const auto& [name, added, shown] : rows) {
            const qbtest::RowTrace trace(name);
            // Added unsorted, then sorted; added one by one into a sorted list; and all at once: the same order.
            qb::ListBoxWidget lateWidget;
            qb::QtListControl late(&lateWidget);
            qb::ListBoxWidget sortedWidget;
            qb::QtListControl sorted(&sortedWidget);
            sorted.setSorted(true);
            qb::ListLines batch;
            for (const QString& entry : added) {
                late.add(qb::cp1252FromText(entry, "entry"));
                sorted.add(qb::cp1252FromText(entry, "entry"));
                batch.push_back(qb::cp1252FromText(entry, "entry"));
            }
            QCOMPARE(qbtest::entries(lateWidget), added);
            late.setSorted(true);
            QCOMPARE(qbtest::entries(lateWidget), shown);
            QCOMPARE(qbtest::entries(sortedWidget), shown);
            QCOMPARE(sorted.count(), added.size());
            sorted.clear();
            sorted.addAll(batch);
            QCOMPARE(qbtest::entries(sortedWidget), shown);
        }
    }

    // All at once, sorted by keys, and one by one into the sorted list, against a plain stable sort by the locale's
    // case-insensitive comparison: the same entries in the same order, under the C locale as under another.
    void listTakesManyEntriesAtOnceAsOneByOne()
    {
        std::vector<std::string> names;
        const char* const parts[] = {"al", "Al", "\xC9m", "em", "bo", "B-o", "z", "", "9", "_x", "\xE6", "a b"};
        for (unsigned index = 0; index < 600; ++index) {
            names.push_back(std::string(parts[index % 12]) + parts[(index * 7 + 3) % 12] + parts[index * 5 % 11]);
            // Past the 16 bytes a sort key holds of a name, and past the bytes sorted by keys at all.
            if (index % 9 == 0)
                names.back() = "Maximilian-Alexander " + names.back();
            if (index % 13 == 0)
                names.back() = std::string(70, 'x') + names.back();
        }
        const auto restore =
            qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); });
        for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedKingdom)}) {
            const qbtest::RowTrace trace(locale.name());
            QLocale::setDefault(locale);
            QStringList plain;
            for (const std::string& name : names)
                plain << qb::textFromCp1252(name);
            QCollator collator;
            collator.setCaseSensitivity(Qt::CaseInsensitive);
            std::stable_sort(plain.begin(), plain.end(),
                             [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

            qb::ListBoxWidget oneByOneWidget;
            qb::QtListControl oneByOne(&oneByOneWidget);
            oneByOne.setSorted(true);
            for (const std::string& name : names)
                oneByOne.add(name);
            QCOMPARE(qbtest::entries(oneByOneWidget), plain);
            qb::ListBoxWidget atOnceWidget;
            qb::QtListControl atOnce(&atOnceWidget);
            atOnce.setSorted(true);
            const auto linesOf = [](auto first, auto last) {
                qb::ListLines lines;
                for (; first != last; ++first)
                    lines.push_back(*first);
                return lines;
            };
            atOnce.addAll(linesOf(names.begin(), names.end() - 2));
            QCOMPARE(atOnce.count(), 598);
            // Reloaded with two names more, the list takes only those.
            atOnce.clear();
            atOnce.addAll(linesOf(names.begin(), names.end()));
            QCOMPARE(qbtest::entries(atOnceWidget), plain);
            // Reloaded with other names, it starts again.
            atOnce.clear();
            const std::vector<std::string> others = {"b", "a"};
            atOnce.addAll(linesOf(others.begin(), others.end()));
            QCOMPARE(qbtest::entries(atOnceWidget), QStringList({"a", "b"}));
        }
    }

    // Names that follow those a shown list was loaded with take rows of their own without the others being laid out
    // again: each row where a list loaded with every name at once has it, also while a long list is still being laid
    // out a batch at a time.
    void listPlacesAddedRowsAsALayoutOfAllWould()
    {
        for (const int listed : {300, 2 * qb::ListBoxWidget::kLayoutBatch + 5}) {
            const qbtest::RowTrace trace(QString::number(listed));
            qb::ListLines names;
            for (int index = 0; index < listed; ++index)
                names.push_back("name" + std::to_string(index * 7919 % listed));
            const auto shown = [](qb::ListBoxWidget& widget) {
                widget.resize(150, 100);
                widget.show();
                return QTest::qWaitForWindowExposed(&widget);
            };
            // A list is laid out a batch at a time after it is shown; its last row has a place once all are done.
            const auto laidOut = [](const qb::ListBoxWidget& widget) {
                return !widget.rowRect(widget.count() - 1).isEmpty();
            };
            qb::ListBoxWidget grownWidget;
            qb::QtListControl grown(&grownWidget);
            grown.setSorted(true);
            grown.addAll(names);
            QVERIFY(shown(grownWidget));
            // A short list is whole before names are added; a long one is still being laid out.
            if (listed < qb::ListBoxWidget::kLayoutBatch)
                QTRY_VERIFY(laidOut(grownWidget));
            // One name sorts first, one last, one among the rest; none is wider than the widest.
            for (const char* added : {"a", "zz", "name5x"})
                names.push_back(added);
            grown.clear();
            grown.addAll(names);
            qb::ListBoxWidget wholeWidget;
            qb::QtListControl whole(&wholeWidget);
            whole.setSorted(true);
            whole.addAll(names);
            QVERIFY(shown(wholeWidget));
            QTRY_VERIFY(laidOut(grownWidget) && laidOut(wholeWidget));
            QCOMPARE(qbtest::entries(grownWidget), qbtest::entries(wholeWidget));
            for (qb::ListBoxWidget* widget : {&grownWidget, &wholeWidget})
                widget->scrollToBottom();
            for (const int row : {0, 1, listed / 2, listed + 1, listed + 2})
                QCOMPARE(grownWidget.rowRect(row), wholeWidget.rowRect(row));
            QCOMPARE(grownWidget.verticalScrollBar()->maximum(), wholeWidget.verticalScrollBar()->maximum());
            QCOMPARE(grownWidget.horizontalScrollBar()->maximum(), wholeWidget.horizontalScrollBar()->maximum());
        }
    }

    void listKeepsEntryBytesAndRefusesBadIndexes()
    {
        qb::ListBoxWidget widget;
        qb::QtListControl list(&widget);
        list.setSorted(true);
        list.add("M\xFCller");
        list.add("abc");
        QCOMPARE(widget.text(1), QString::fromUtf8("M\u00FCller"));
        QCOMPARE(list.item(1), std::string("M\xFCller"));
        QCOMPARE(list.itemIndex(), -1);
        widget.setCurrentRow(1);
        QCOMPARE(list.itemIndex(), 1);

        for (const int index : {-1, 2}) {
            QCOMPARE(qbtest::errorFrom<qb::EListError>([&] { static_cast<void>(list.item(index)); }),
                     QStringLiteral("List index out of bounds (%1)").arg(index));
        }
        list.clear();
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.itemIndex(), -1);
    }

    void listClickNeverLosesTheSelection()
    {
        qb::ListBoxWidget widget;
        widget.resize(100, 150);
        qb::QtListControl list(&widget);
        for (const char* entry : {"a", "b", "c"})
            list.add(entry);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        const QRect last = widget.rowRect(2);
        // Name, row clicked (-1: blank space below the entries), modifiers, row selected after; entry 1 before.
        const std::tuple<const char*, int, Qt::KeyboardModifiers, int> rows[] = {
            {"another entry", 2, Qt::NoModifier, 2},
            {"the selected entry", 1, Qt::NoModifier, 1},
            {"Ctrl, the selected entry", 1, Qt::ControlModifier, 1},
            {"Ctrl, another entry", 0, Qt::ControlModifier, 0},
            {"blank space", -1, Qt::NoModifier, 1},
            {"Ctrl, blank space", -1, Qt::ControlModifier, 1}};
        for (const auto& [name, clickedRow, modifiers, selected] : rows) {
            const qbtest::RowTrace trace(name);
            widget.setCurrentRow(1);
            const QPoint at =
                clickedRow < 0 ? QPoint(last.center().x(), last.bottom() + 20) : widget.rowRect(clickedRow).center();
            QTest::mouseClick(widget.viewport(), Qt::LeftButton, modifiers, at);
            QCOMPARE(list.itemIndex(), selected);
        }
    }

    // A name too long for the list shows whole in a tooltip over it; a name that fits has the list's own.
    void listShowsATooLongEntryWholeInATooltip()
    {
        qb::ListBoxWidget widget;
        widget.setToolTip(QStringLiteral("Recipants"));
        widget.resize(93, 150);
        qb::QtListControl list(&widget);
        const QString longName = QStringLiteral("Maximilian-Alexander von Humboldt");
        for (const QString& entry : {QStringLiteral("bob"), longName})
            list.add(entry.toStdString());
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        for (const auto& [row, tip] : {std::pair{1, longName}, {0, QStringLiteral("Recipants")}}) {
            const QPoint at = widget.rowRect(row).center();
            QHelpEvent hover(QEvent::ToolTip, at, widget.viewport()->mapToGlobal(at));
            QApplication::sendEvent(widget.viewport(), &hover);
            QTRY_COMPARE(QToolTip::text(), tip);
            QToolTip::hideText();
        }
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // Taking the focus makes the first entry current, unselected; Down must not step past it.
    void listDownWithNothingSelectedSelectsTheFirstEntry()
    {
        qb::ListBoxWidget widget;
        qb::QtListControl list(&widget);
        for (const char* entry : {"a", "b", "c"})
            list.add(entry);
        widget.show();
        QVERIFY(QTest::qWaitForWindowActive(&widget));
        widget.setFocus(Qt::TabFocusReason);
        QTest::keyClick(&widget, Qt::Key_Down);
        QCOMPARE(list.itemIndex(), 0);
        QTest::keyClick(&widget, Qt::Key_Down);
        QCOMPARE(list.itemIndex(), 1);
    }

    void progressRepaintsOnlyWhenTheBarChanges()
    {
        // Name, milliseconds per ten steps, fewest and most window repaints. A slow run paints the window for every
        // pixel the bar grows by; a fast one once per 16 ms frame; one within a frame never.
        const std::tuple<const char*, int, int, int> rows[] = {
            {"slow run", 20, 90, 100}, {"fast run", 1, 15, 20}, {"instant run", 0, 0, 0}};
        for (const auto& [name, millisecondsPerTenSteps, windowPaintsMin, windowPaintsMax] : rows) {
            const qbtest::RowTrace trace(name);
            QWidget window1;
            QProgressBar bar(&window1);
            bar.resize(100, 16);
            window1.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window1));
            qbtest::FakeWindow window;
            std::int64_t now = 1000;
            qb::QtProgressControl progress(&bar, window, [&now] { return now; });
            PaintCounter barPaints;
            bar.installEventFilter(&barPaints);

            const std::int64_t total = 3'000'000'000; // beyond 32 bits
            progress.setMaximum(total);
            // 3000 steps, about 30 to a pixel.
            for (std::int64_t first = 0; first < total; first += 1'000'000) {
                progress.stepPositions(first, first + 999'999);
                if (first % 10'000'000 == 0)
                    now += millisecondsPerTenSteps;
            }
            QVERIFY2(window.repaints() >= windowPaintsMin && window.repaints() <= windowPaintsMax,
                     qPrintable(QString::number(window.repaints())));
            QCOMPARE(barPaints.paints, 0); // painted only with the window
            QCOMPARE(bar.value(), 9999);   // position N-1 of N
            QCOMPARE(progress.position(), total - 1);

            progress.setPosition(0);
            QCOMPARE(bar.value(), 0);
            progress.setMaximum(0);
            progress.stepPositions(0, 5);
            QCOMPARE(bar.value(), 0);
        }
    }

    void pathFieldKeepsItsBytesUntilEdited()
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
};

QTEST_MAIN(QtControlsTest)
#include "tst_qt_controls.moc"
