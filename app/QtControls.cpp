#include "QtControls.h"

#include "MemoAccessible.h"

#include "ByteBox.h"
#include "Cp1252.h"
#include "DocumentText.h"
#include "EditorText.h"
#include "EntryListModel.h"
#include "Errors.h"
#include "ListBoxWidget.h"
#include "PiecewiseFill.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

namespace qb {
namespace {

std::u16string_view utf16View(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// The code point of `character`, joined with `next` when the two are a surrogate pair, for the error text.
char32_t codePointOf(QChar character, QChar next)
{
    if (character.isHighSurrogate() && next.isLowSurrogate())
        return QChar::surrogateToUcs4(character, next);
    return character.unicode();
}

[[noreturn]] void throwUnsavable(char32_t character, const char* what)
{
    char codePoint[16];
    std::snprintf(codePoint, sizeof codePoint, "U+%04X", static_cast<unsigned>(character));
    throw Error(std::string(what) + " holds a character that cannot be saved: " + codePoint);
}

// A ByteDecoder for windows-1252: one character a byte.
std::size_t decodeCp1252Into(std::string_view bytes, char16_t* out)
{
    decodeCp1252(bytes, out);
    return bytes.size();
}

} // namespace

QString textFromCp1252(std::string_view bytes)
{
    // Straight into the string's own buffer.
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    text.truncate(static_cast<qsizetype>(decodeCp1252Into(bytes, reinterpret_cast<char16_t*>(text.data()))));
    return text;
}

QString displayText(const std::string& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        return textFromCp1252(bytes);
    return text;
}

std::string cp1252FromText(const QString& text, const char* what)
{
    std::string bytes;
    if (const auto failure = encodeCp1252(utf16View(text), bytes)) {
        const auto index = static_cast<qsizetype>(*failure);
        throwUnsavable(codePointOf(text.at(index), index + 1 < text.size() ? text.at(index + 1) : QChar()), what);
    }
    return bytes;
}

// ---- MemoEdit

MemoEdit::MemoEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    // A screen reader hears each boxed byte as its hex, never as a control character.
    static const bool installed = (QAccessible::installFactory(memoAccessible), true);
    Q_UNUSED(installed);
    setTabStops();
}

void MemoEdit::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        setTabStops();
}

void MemoEdit::setTabStops()
{
    setTabStopDistance(QFontMetricsF(font()).horizontalAdvance(u' ') * kTabStopBlanks);
}

QMimeData* MemoEdit::createMimeDataFromSelection() const
{
    QString selected = textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, u'\n');
    selected.replace(QChar::LineSeparator, u'\n');
    auto* data = new QMimeData;
    data->setText(selected);
    return data;
}

void MemoEdit::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (modifiers & Qt::ControlModifier || event->key() == Qt::Key_Backtab)) {
        // The editor's own focusNextPrevChild refuses while Tab types a Tab.
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
        event->accept();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent plain(event->type(), event->key(), event->modifiers() & Qt::KeypadModifier, QStringLiteral("\r"),
                    event->isAutoRepeat(), event->count());
    QPlainTextEdit::keyPressEvent(&plain);
    event->setAccepted(plain.isAccepted());
}

void MemoEdit::paintEvent(QPaintEvent* event)
{
    QPlainTextEdit::paintEvent(event);
    paintByteBoxes(event->rect());
}

// Over the visible lines only, so the cost follows the window's size, not the text's.
void MemoEdit::paintByteBoxes(const QRect& area)
{
    QPainter painter(viewport());
    const QTextCursor cursor = textCursor();
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF bounds = blockBoundingGeometry(block).translated(offset);
        if (bounds.top() > area.bottom())
            break;
        if (!block.isVisible() || bounds.bottom() < area.top())
            continue;
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        for (int index = 0; index < layout->lineCount(); ++index) {
            const QTextLine line = layout->lineAt(index);
            const QRectF lineRect = line.rect().translated(bounds.topLeft());
            if (lineRect.bottom() < area.top())
                continue;
            if (lineRect.top() > area.bottom())
                break;
            const int end = line.textStart() + line.textLength();
            for (int at = line.textStart(); at < end; ++at) {
                const int byte = byteWithoutGlyph(text.at(at).unicode());
                if (byte < 0)
                    continue;
                const qreal left = line.cursorToX(at);
                const qreal right = line.cursorToX(at + 1);
                const QRectF cell(bounds.left() + std::min(left, right), lineRect.top(), std::abs(right - left),
                                  lineRect.height());
                const int position = block.position() + at;
                const bool selected = position >= cursor.selectionStart() && position < cursor.selectionEnd();
                const QPalette& colours = palette();
                drawByteBox(painter, cell, static_cast<unsigned char>(byte),
                            colours.color(selected ? QPalette::Highlight : QPalette::Base),
                            colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
            }
        }
    }
}

// ---- QtEditor

QtEditor::QtEditor(QPlainTextEdit* edit) : m_edit(edit)
{
    m_counting = QObject::connect(m_edit->document(), &QTextDocument::contentsChange, m_edit,
                                  [this](int from, int removed, int added) {
                                      if (removed > 0 || added > 0)
                                          ++m_revision;
                                      // The changed paragraphs: the first and the last.
                                      const QTextDocument& document = *m_edit->document();
                                      stopKeepingLongParagraphShaped(document.findBlock(from));
                                      stopKeepingLongParagraphShaped(document.findBlock(from + added));
                                  });
}

QtEditor::~QtEditor()
{
    QObject::disconnect(m_counting);
}

void QtEditor::convertText(std::size_t pieceBytes, const std::function<void(std::string&)>& take,
                           std::optional<int>& failure) const
{
    // As typed (toPlainText would turn U+00A0, byte 160, into a blank), converted where the document keeps it: no
    // second copy of the characters is held beside the document's own.
    const QTextDocument& document = *m_edit->document();
    std::string bytes;
    bytes.reserve(std::min(pieceBytes, approximateTextSize()));
    int position = 0;
    forEachTextPiece(document, [&](std::u16string_view piece) {
        const std::optional<std::size_t> missing = appendEditorText(piece, bytes);
        if (missing && !failure)
            failure = position + static_cast<int>(*missing);
        position += static_cast<int>(piece.size());
        if (bytes.size() >= pieceBytes) {
            take(bytes);
            bytes.clear();
        }
    });
    if (!bytes.empty() || pieceBytes == std::numeric_limits<std::size_t>::max())
        take(bytes);
}

void QtEditor::throwUnsavableAt(int position) const
{
    const QTextDocument* document = m_edit->document();
    throwUnsavable(codePointOf(document->characterAt(position), document->characterAt(position + 1)), "The message");
}

void QtEditor::convertStrictly(std::size_t pieceBytes, const std::function<void(std::string&)>& take) const
{
    // Once a character without a byte is met the text cannot be saved: nothing more is handed on.
    std::optional<int> failure;
    convertText(
        pieceBytes,
        [&](std::string& bytes) {
            if (!failure)
                take(bytes);
        },
        failure);
    if (failure)
        throwUnsavableAt(*failure);
}

std::string QtEditor::text() const
{
    std::string whole;
    convertStrictly(std::numeric_limits<std::size_t>::max(), [&whole](std::string& bytes) { whole.swap(bytes); });
    return whole;
}

std::size_t QtEditor::textSize() const
{
    std::size_t size = 0;
    convertStrictly(kPieceBytes, [&size](const std::string& bytes) { size += bytes.size(); });
    return size;
}

std::size_t QtEditor::approximateTextSize() const
{
    // A byte a character, and one more for each paragraph's end, which is a CR LF pair.
    const QTextDocument* document = m_edit->document();
    return static_cast<std::size_t>(document->characterCount() + document->blockCount());
}

void QtEditor::readTextPieces(const std::function<void(std::string_view)>& reader) const
{
    convertStrictly(kPieceBytes, [&reader](const std::string& bytes) { reader(bytes); });
}

std::string QtEditor::lenientText(bool& complete) const
{
    std::string whole;
    std::optional<int> failure;
    convertText(
        std::numeric_limits<std::size_t>::max(), [&whole](std::string& bytes) { whole.swap(bytes); }, failure);
    complete = !failure;
    return whole;
}

bool QtEditor::isEmpty() const
{
    return m_edit->document()->isEmpty();
}

void QtEditor::setText(const std::string& text)
{
    fillDocument(View::Lines, [&text](QTextCursor& cursor) { insertDecodedText(cursor, text, decodeCp1252Into); });
}

void QtEditor::takeText(std::string&& text)
{
    fillDocument(View::Lines,
                 [&text](QTextCursor& cursor) { insertDecodedText(cursor, std::move(text), decodeCp1252Into); });
}

void QtEditor::takeAllBytes(std::string&& bytes)
{
    fillDocument(View::AllBytes,
                 [&bytes](QTextCursor& cursor) { insertDecodedText(cursor, std::move(bytes), decodeAllBytesView); });
}

// Every byte shown comes in a face that holds the Control Pictures itself: a face without them makes the layout look
// each one up in another font, which splits a line into many small runs to shape. FreeSans draws them wide, so the
// room the boxes over them need costs little spacing.
void QtEditor::useFontFor(View view)
{
    // The document's face alone: changing the widget's would go through every child and the editor's tab stops.
    QFont wanted = m_edit->font();
    if (view == View::AllBytes) {
        wanted.setFamilies({QStringLiteral("FreeSans")});
        // Room for a box over every byte without a glyph, whatever glyph lies under it: one spacing for the whole
        // view, since per-character formats would slow the fill. Measuring it looks the face up again, so it is
        // measured once per face.
        if (wanted != m_spacedFace) {
            m_spacedFace = wanted;
            m_boxSpacing = byteBoxSpacing(wanted);
        }
        wanted.setLetterSpacing(QFont::AbsoluteSpacing, m_boxSpacing);
    }
    QTextDocument* document = m_edit->document();
    if (document->defaultFont() != wanted)
        document->setDefaultFont(wanted);
}

// Qt shapes a paragraph again for each use of its layout and then lets the glyphs go: laying it out, drawing it and
// drawing the caret in it would shape the caret's paragraph three times before the new text is first on screen. The
// caret's paragraph keeps its glyphs, unless it is so long that they would weigh in the memory held.
void QtEditor::keepCaretParagraphShaped(const QTextDocument& document)
{
    const QTextBlock caretParagraph = document.firstBlock();
    if (caretParagraph.length() <= kShapedParagraphCharacters)
        caretParagraph.layout()->setCacheEnabled(true);
}

// A paragraph that keeps its glyphs and has grown long by editing lets them go with its next layout.
void QtEditor::stopKeepingLongParagraphShaped(const QTextBlock& paragraph)
{
    if (paragraph.isValid() && paragraph.length() > kShapedParagraphCharacters && paragraph.layout()->cacheEnabled())
        paragraph.layout()->setCacheEnabled(false);
}

void QtEditor::fillDocument(View view, const std::function<void(QTextCursor&)>& insert)
{
    QTextDocument* document = m_edit->document();
    {
        // The widget would notify in the middle of replacing its content; notify once, when it is done.
        const QSignalBlocker blocker(m_edit);
        // Built through the document rather than the widget's setPlainText, which afterwards selects the whole
        // new text to give it the typing format: another walk over every fragment and a layout of the first
        // paragraph. No undo step: a loaded text starts a fresh history.
        document->setUndoRedoEnabled(false);
        document->clear();
        // While there is nothing to lay out again.
        useFontFor(view);
        // Two empty paragraphs, the caret in the first: placed while there is nothing to lay out, and kept
        // there by putting the text into the second and then dropping the first. Placing it afterwards would
        // measure the first line of the new text, which for a long paragraph means analysing all of it again.
        // The changed paragraph count matters too: a change that leaves one paragraph as one makes the
        // plain-text layout lay it out at once, twice over; otherwise that waits for the paint. Within the one
        // edit block the layout hears of the insertions once, at its end, however many pieces they come in.
        QTextCursor cursor(document);
        cursor.insertBlock();
        m_edit->setTextCursor(QTextCursor(document));
        cursor.beginEditBlock();
        insert(cursor);
        cursor.setPosition(0);
        cursor.setPosition(1, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        keepCaretParagraphShaped(*document);
        cursor.endEditBlock();
        document->setUndoRedoEnabled(true);
        document->setModified(false);
    }
    emit m_edit->textChanged();
}

void QtEditor::clear()
{
    const QSignalBlocker blocker(m_edit);
    m_edit->clear();
    m_edit->document()->setModified(false);
}

bool QtEditor::isModified() const
{
    return m_edit->document()->isModified();
}

void QtEditor::setModified(bool modified)
{
    m_edit->document()->setModified(modified);
}

void QtEditor::setFocus()
{
    m_edit->setFocus();
}

// ---- QtClipboard

void QtClipboard::setText(const std::string& text)
{
    QGuiApplication::clipboard()->setText(textFromCp1252(text));
}

// ---- QtLineEdit

std::string QtLineEdit::text() const
{
    const QString shown = m_edit->text();
    if (shown == m_shown)
        return m_bytes;
    // Typed by the user: a path, so the file system's own encoding.
    const QByteArray bytes = shown.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtLineEdit::setText(const std::string& text)
{
    m_bytes = text;
    m_shown = displayText(text);
    m_edit->setText(m_shown);
}

// ---- QtListControl

QtListControl::QtListControl(ListBoxWidget* list) : m_list(list), m_entries(list->entries()) {}

void QtListControl::clear()
{
    // A reload mostly gives back what the list holds and a name or two more: its entries wait for addAll to tell.
    if (m_holdsLoaded) {
        m_clearPending = true;
        return;
    }
    m_entries.clear();
}

void QtListControl::finishClear() const
{
    if (!m_clearPending)
        return;
    m_clearPending = false;
    m_holdsLoaded = false;
    m_entries.clear();
}

int QtListControl::sortedInsertRow(std::string_view entry) const
{
    // After every entry that does not sort above the new one, so equal entries keep the order they came in.
    int low = 0;
    int high = m_entries.rowCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (m_collation.less(entry, m_entries.entryAt(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void QtListControl::insert(std::string_view entry)
{
    m_entries.insert(m_sorted ? sortedInsertRow(entry) : m_entries.rowCount(), entry);
}

void QtListControl::add(const std::string& entry)
{
    finishClear();
    m_holdsLoaded = false;
    insert(entry);
}

void QtListControl::addAll(ListLines entries)
{
    // The entries loaded last, then new ones: only the new ones go in, each where add would put it.
    if (m_clearPending && m_entries.entries().beginsOf(entries)) {
        m_clearPending = false;
        insertFrom(entries, m_entries.entries().size());
        return;
    }
    finishClear();
    if (m_entries.rowCount() > 0) {
        ListControl::addAll(std::move(entries));
        return;
    }
    m_entries.assign(std::move(entries), m_sorted ? sortedOrder() : nullptr);
    m_holdsLoaded = true;
}

void QtListControl::addMore(ListLines entries)
{
    finishClear();
    insertFrom(entries, 0);
}

void QtListControl::insertFrom(const ListLines& entries, std::size_t first)
{
    // The selection stays on its entry as rows go in around it: no new choice to announce.
    const QSignalBlocker quiet(m_list);
    for (std::size_t index = first; index < entries.size(); ++index)
        insert(entries[index]);
}

EntryListModel::Ordering QtListControl::sortedOrder() const
{
    // A copy: the model may outlive this control.
    return [collation = m_collation](const ListLines& entries) { return collation.sortedOrder(entries); };
}

void QtListControl::setSorted(bool sorted)
{
    finishClear();
    if (sorted == m_sorted)
        return;
    m_sorted = sorted;
    if (!sorted || m_entries.rowCount() < 2)
        return;
    ListLines shown;
    for (int row = 0; row < m_entries.rowCount(); ++row)
        shown.push_back(m_entries.entryAt(row));
    m_entries.assign(std::move(shown), sortedOrder());
    m_holdsLoaded = false;
}

int QtListControl::count() const
{
    finishClear();
    return m_entries.rowCount();
}

int QtListControl::itemIndex() const
{
    finishClear();
    return m_list->selectedRow();
}

void QtListControl::setItemIndex(int index)
{
    finishClear();
    const QSignalBlocker quiet(m_list);
    if (index < 0 || index >= m_entries.rowCount()) {
        m_list->clearSelection();
        return;
    }
    m_list->setCurrentRow(index);
    m_list->scrollTo(m_entries.index(index));
}

std::string QtListControl::item(int index) const
{
    finishClear();
    if (index < 0 || index >= m_entries.rowCount())
        throw EListError(index);
    return std::string(m_entries.entryAt(index));
}

// ---- QtProgressControl

namespace {

// Holds a widget's updates back for a while: it paints what changed meanwhile later, with the next paint.
class UpdatesHeld
{
public:
    explicit UpdatesHeld(QWidget* widget) : m_widget(widget) { m_widget->setUpdatesEnabled(false); }
    ~UpdatesHeld() { m_widget->setUpdatesEnabled(true); }
    UpdatesHeld(const UpdatesHeld&) = delete;
    UpdatesHeld& operator=(const UpdatesHeld&) = delete;

private:
    QWidget* m_widget;
};

} // namespace

QtProgressControl::QtProgressControl(QProgressBar* bar, Window& window, MillisecondClock now)
    : m_bar(bar), m_window(window), m_now(std::move(now))
{
    if (!m_now) {
        m_now = [] {
            const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
        };
    }
    m_bar->setRange(0, kUnits);
    m_bar->setValue(unitsFor(m_position));
}

int QtProgressControl::unitsFor(std::int64_t position) const
{
    if (m_maximum <= 0 || position <= 0)
        return 0;
    if (position >= m_maximum)
        return kUnits;
    // position < maximum <= 2^63 / kUnits for any file this program can hold, so this does not overflow.
    return static_cast<int>(position * kUnits / m_maximum);
}

int QtProgressControl::pixelsFor(int units) const
{
    return static_cast<int>(static_cast<std::int64_t>(units) * std::max(1, m_bar->width()) / kUnits);
}

void QtProgressControl::setMaximum(std::int64_t maximum)
{
    m_maximum = maximum;
    m_lastPaint = m_now();
    showUnits(unitsFor(m_position));
}

void QtProgressControl::setPosition(std::int64_t position)
{
    m_position = position;
    showUnits(unitsFor(position));
}

void QtProgressControl::showUnits(int units)
{
    // The bar would repaint itself at once; it is painted with the window instead, at the next frame or when the
    // command ends.
    const UpdatesHeld held(m_bar);
    m_bar->setValue(units);
}

void QtProgressControl::stepPositions(std::int64_t first, std::int64_t last)
{
    if (last < first)
        return;
    m_position = last;
    const int units = unitsFor(last);
    if (units == m_bar->value())
        return;
    // Only the last of first..last can differ on screen from what is there now.
    const bool drawnDifferently = pixelsFor(units) != pixelsFor(m_bar->value());
    showUnits(units);
    if (!drawnDifferently)
        return;
    const std::int64_t now = m_now();
    if (now - m_lastPaint >= kFrameMilliseconds) {
        m_lastPaint = now;
        m_window.repaintNow();
    }
}

// ---- QtWindow

void QtWindow::setCaption(const std::string& caption)
{
    m_widget->setWindowTitle(textFromCp1252(caption));
}

void QtWindow::repaintNow()
{
    // What changed since the window was last painted (a step of the progress bar, a status notice), not the whole
    // window: the rest is on screen as it was.
    QCoreApplication::sendPostedEvents(m_widget->window(), QEvent::UpdateRequest);
}

} // namespace qb
