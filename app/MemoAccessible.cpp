#include "MemoAccessible.h"

#include "EditorText.h"
#include "QtControls.h"

#include <QAccessibleWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace qb {
namespace {

// "hex 0D ": what stands in the read text for one boxed character.
constexpr int kSpokenLength = 7;

class MemoAccessibleInterface : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit MemoAccessibleInterface(QPlainTextEdit* edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return text(0, characterCount());
        return QAccessibleWidget::text(kind);
    }

    // ---- QAccessibleTextInterface

    void selection(int index, int* start, int* end) const override
    {
        const QTextCursor cursor = edit()->textCursor();
        *start = *end = 0;
        if (index == 0 && cursor.hasSelection()) {
            *start = spokenOffset(cursor.selectionStart());
            *end = spokenOffset(cursor.selectionEnd());
        }
    }
    int selectionCount() const override { return edit()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.clearSelection();
        edit()->setTextCursor(cursor);
    }
    void setSelection(int, int start, int end) override
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.setPosition(position(start));
        cursor.setPosition(position(end), QTextCursor::KeepAnchor);
        edit()->setTextCursor(cursor);
    }
    int cursorPosition() const override { return spokenOffset(edit()->textCursor().position()); }
    void setCursorPosition(int offset) override
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.setPosition(position(offset));
        edit()->setTextCursor(cursor);
    }

    QString text(int start, int end) const override
    {
        const Spoken& spoken = spokenText();
        start = std::clamp(start, 0, static_cast<int>(spoken.text.size()));
        end = std::clamp(end, start, static_cast<int>(spoken.text.size()));
        return spoken.text.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(spokenText().text.size()); }

    QRect characterRect(int offset) const override
    {
        QTextCursor cursor(edit()->document());
        cursor.setPosition(position(offset));
        const QRect rect = edit()->cursorRect(cursor);
        return QRect(edit()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return spokenOffset(edit()->cursorForPosition(edit()->viewport()->mapFromGlobal(point)).position());
    }
    void scrollToSubstring(int start, int) override
    {
        setCursorPosition(start);
        edit()->ensureCursorVisible();
    }
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    // The text as read, and the document positions of its boxed characters, in order: worked out once for each
    // revision of the document.
    struct Spoken
    {
        int revision = -1;
        QString text;
        std::vector<int> boxed;
    };

    QPlainTextEdit* edit() const { return static_cast<QPlainTextEdit*>(widget()); }

    const Spoken& spokenText() const
    {
        const QTextDocument* document = edit()->document();
        if (m_spoken.revision == document->revision())
            return m_spoken;
        const QString raw = document->toRawText();
        m_spoken = Spoken{document->revision(), {}, {}};
        m_spoken.text.reserve(raw.size());
        for (int at = 0; at < raw.size(); ++at) {
            const QChar c = raw.at(at);
            const int byte = byteWithoutGlyph(c.unicode());
            if (byte < 0) {
                // A paragraph's end reads as a line end.
                m_spoken.text += c == QChar::ParagraphSeparator ? QChar(u'\n') : c;
                continue;
            }
            m_spoken.boxed.push_back(at);
            static constexpr char kDigits[] = "0123456789ABCDEF";
            m_spoken.text += QLatin1String("hex ") + QLatin1Char(kDigits[byte >> 4]) + QLatin1Char(kDigits[byte & 15]) +
                             QLatin1Char(' ');
        }
        return m_spoken;
    }

    // The read offset of document position `at`: each boxed character before it reads as seven characters.
    int spokenOffset(int at) const
    {
        const std::vector<int>& boxed = spokenText().boxed;
        const auto before = std::lower_bound(boxed.begin(), boxed.end(), at) - boxed.begin();
        return at + static_cast<int>(before) * (kSpokenLength - 1);
    }
    // The document position of read offset `offset`; inside a boxed character's reading, that character.
    int position(int offset) const
    {
        const std::vector<int>& boxed = spokenText().boxed;
        int shift = 0;
        for (const int at : boxed) {
            if (at + shift >= offset)
                break;
            if (offset < at + shift + kSpokenLength)
                return at;
            shift += kSpokenLength - 1;
        }
        return offset - shift;
    }

    mutable Spoken m_spoken;
};

} // namespace

QAccessibleInterface* memoAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("qb::MemoEdit"))
        return new MemoAccessibleInterface(static_cast<QPlainTextEdit*>(object));
    return nullptr;
}

} // namespace qb
