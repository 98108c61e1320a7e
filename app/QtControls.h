#pragma once

#include "EntryCollation.h"
#include "EntryListModel.h"
#include "Ui.h"

#include <QPlainTextEdit>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QLineEdit;
class QProgressBar;
class QTextBlock;
class QTextCursor;
class QTextDocument;
class QWidget;

namespace qb {

class ListBoxWidget;

// Byte strings of the core as the user sees them. Editor text, recipient names and captions are
// windows-1252; paths come from the file system and are shown as UTF-8 when they are valid UTF-8.
QString textFromCp1252(std::string_view bytes);
QString displayText(const std::string& bytes);
// windows-1252 bytes of `text`; raises qb::Error naming the first character the code page lacks.
std::string cp1252FromText(const QString& text, const char* what);

// The editor widget. Copies and cuts the text as it stands: Qt's plain-text copy would turn U+00A0
// (byte 160) into a blank. Enter breaks the paragraph whatever the modifiers: Shift+Enter would otherwise
// put in a line separator (U+2028), which no file line holds. Tab types a Tab; Ctrl+Tab leaves the editor forward,
// Shift+Tab and Ctrl+Shift+Tab backward. Tab stops are eight blanks apart, as in the text files it shows, whatever
// its font. A byte without a readable glyph (a Control Picture, a byte windows-1252 leaves unassigned) is drawn as a
// box of its hexadecimal digits over its character, which the text keeps, so copying stays lossless.
class MemoEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit MemoEdit(QWidget* parent = nullptr);

    static constexpr int kTabStopBlanks = 8;

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setTabStops();
    void paintByteBoxes(const QRect& area);
};

// Memo1: every byte 1 to 255 is one character (windows-1252); lines are separated by CR LF. A text taken with all
// its bytes shows control bytes as their Control Pictures, which read back as those bytes.
class QtEditor : public Editor
{
public:
    explicit QtEditor(QPlainTextEdit* edit);
    ~QtEditor() override;
    QtEditor(const QtEditor&) = delete;
    QtEditor& operator=(const QtEditor&) = delete;

    // The longest paragraph whose glyphs the caret's paragraph keeps between layout and paint.
    static constexpr int kShapedParagraphCharacters = 1 << 16;
    // The bytes given at a time by readTextPieces.
    static constexpr std::size_t kPieceBytes = std::size_t(1) << 20;

    std::string text() const override;
    std::size_t textSize() const override;
    std::size_t approximateTextSize() const override;
    void readTextPieces(const std::function<void(std::string_view)>& reader) const override;
    std::string lenientText(bool& complete) const override;
    bool isEmpty() const override;
    void setText(const std::string& text) override;
    void takeText(std::string&& text) override;
    void takeAllBytes(std::string&& bytes) override;
    void clear() override;
    bool isModified() const override;
    void setModified(bool modified) override;
    void setFocus() override;
    std::uint64_t revision() const override { return m_revision; }

private:
    enum class View { Lines, AllBytes };

    // Replaces the document's content with what `insert` puts in at the cursor it is given, as one fresh text shown
    // as `view`, then notifies once.
    void fillDocument(View view, const std::function<void(QTextCursor&)>& insert);
    void useFontFor(View view);
    static void keepCaretParagraphShaped(const QTextDocument& document);
    static void stopKeepingLongParagraphShaped(const QTextBlock& paragraph);
    // Converts the document's text to its bytes run by run, handing them to `take` whenever `pieceBytes` or more are
    // held, and what is left at the end; `failure` gets the position of the first character without a byte.
    void convertText(std::size_t pieceBytes, const std::function<void(std::string&)>& take,
                     std::optional<int>& failure) const;
    // As convertText, raising qb::Error naming the first character without a byte instead.
    void convertStrictly(std::size_t pieceBytes, const std::function<void(std::string&)>& take) const;
    [[noreturn]] void throwUnsavableAt(int position) const;

    QPlainTextEdit* m_edit;
    // Every change of the document's text counts, the widget's own editing and the commands' alike.
    std::uint64_t m_revision = 0;
    QMetaObject::Connection m_counting;
    // The face the ciphertext was last shown in, before its spacing for byte boxes, and that spacing.
    QFont m_spacedFace;
    double m_boxSpacing = 0;
};

// The system clipboard as the core's commands use it; the editor's own Cut, Copy and Paste go through the widget.
class QtClipboard : public Clipboard
{
public:
    void setText(const std::string& text) override;
};

// Edit2, the path field. Keeps the exact bytes it was given for as long as the user leaves the field alone,
// so a path that is not valid in any one encoding still names its file.
class QtLineEdit : public LineEdit
{
public:
    explicit QtLineEdit(QLineEdit* edit) : m_edit(edit) {}

    std::string text() const override;
    void setText(const std::string& text) override;

private:
    QLineEdit* m_edit;
    std::string m_bytes;
    QString m_shown;
};

// A list box whose sorted order is the one people expect (EntryCollation), equal entries in the order they were added.
// Entries are shown as windows-1252, which gives every byte back.
class QtListControl : public ListControl
{
public:
    explicit QtListControl(ListBoxWidget* list);

    void clear() override;
    void add(const std::string& entry) override;
    // Into an empty list in one go, sorted by keys made once per entry. Cleared and given again the entries it was
    // given last and some more, the list keeps its entries and selection and takes the new ones alone.
    void addAll(ListLines entries) override;
    void addMore(ListLines entries) override;
    void setSorted(bool sorted) override;
    int count() const override;
    int itemIndex() const override;
    std::string item(int index) const override;
    void setItemIndex(int index) override;

private:
    EntryListModel::Ordering sortedOrder() const;
    int sortedInsertRow(std::string_view entry) const;
    void insert(std::string_view entry);
    // Inserts the entries from `first` on, each where add would put it.
    void insertFrom(const ListLines& entries, std::size_t first);
    // Carries out a clear that waited for addAll; every other use of the list sees it cleared.
    void finishClear() const;

    ListBoxWidget* m_list;
    EntryListModel& m_entries;
    EntryCollation m_collation;
    bool m_sorted = false;
    // The list holds exactly what the last addAll gave, in the model's order of entries; and a clear not yet carried
    // out.
    mutable bool m_holdsLoaded = false;
    mutable bool m_clearPending = false;
};

// ProgressBar3. The core counts bytes in 64 bits; the bar works in a fixed number of units. A step that changes
// what the bar shows has the window paint its changes at once, but at most once per display frame counted from the
// run's start (its setMaximum): a run that ends within a frame paints nothing on its way, and a longer one no more
// than the screen can show. Otherwise the bar is painted with the rest of the window.
class QtProgressControl : public ProgressControl
{
public:
    static constexpr int kUnits = 10000;
    static constexpr std::int64_t kFrameMilliseconds = 16;
    using MillisecondClock = std::function<std::int64_t()>;

    // `now` is a monotonic clock in milliseconds; the default is the steady clock.
    QtProgressControl(QProgressBar* bar, Window& window, MillisecondClock now = {});

    void setMaximum(std::int64_t maximum) override;
    void setPosition(std::int64_t position) override;
    void stepPositions(std::int64_t first, std::int64_t last) override;

    std::int64_t maximum() const { return m_maximum; }
    std::int64_t position() const { return m_position; }

private:
    int unitsFor(std::int64_t position) const;
    int pixelsFor(int units) const;
    void showUnits(int units);

    QProgressBar* m_bar;
    Window& m_window;
    MillisecondClock m_now;
    std::int64_t m_maximum = 100;
    std::int64_t m_position = 0;
    std::int64_t m_lastPaint = 0;
};

// The main window. Repainting it at once paints what changed since its last paint, not all of it.
class QtWindow : public Window
{
public:
    explicit QtWindow(QWidget* widget) : m_widget(widget) {}

    void setCaption(const std::string& caption) override;
    void repaintNow() override;

private:
    QWidget* m_widget;
};

} // namespace qb
