#include "ListBoxWidget.h"

#include "EntryListModel.h"
#include "QtControls.h"

#include "Cp1252.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <array>

namespace qb {

// Sizes every row as the widest entry's, which Qt then takes for all rows alike.
class ListBoxWidget::RowDelegate : public QStyledItemDelegate
{
public:
    explicit RowDelegate(ListBoxWidget* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int widest = m_list->widestRow();
        return QStyledItemDelegate::sizeHint(option, widest < 0 ? index : m_list->model()->index(widest, 0));
    }

private:
    ListBoxWidget* m_list;
};

ListBoxWidget::ListBoxWidget(QWidget* parent) : QListView(parent), m_entries(new EntryListModel(this))
{
    setModel(m_entries);
    setItemDelegate(new RowDelegate(this));
    setUniformItemSizes(true);
    // A long list is laid out a batch at a time while the program waits for input, so it shows at once; the view lays
    // out all its rows again after any insertion.
    setLayoutMode(QListView::Batched);
    setBatchSize(kLayoutBatch);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The widest entry is looked for again only when the entries or the font change.
    const auto forgetWidest = [this] { m_widestRow.reset(); };
    connect(m_entries, &QAbstractItemModel::modelReset, this, forgetWidest);
    connect(m_entries, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (!m_widestRow || *m_widestRow < 0)
            return m_widestRow.reset();
        // Rows at or above the widest push it down; a new row may be wider still.
        const int widest = *m_widestRow >= first ? *m_widestRow + (last - first + 1) : *m_widestRow;
        const QFontMetricsF metrics(font());
        int wider = widest;
        for (int row = first; row <= last; ++row) {
            if (metrics.horizontalAdvance(text(row)) > metrics.horizontalAdvance(text(wider)))
                wider = row;
        }
        m_widestRow = wider;
    });
    connect(m_entries, &QAbstractItemModel::rowsRemoved, this, forgetWidest);
}

int ListBoxWidget::count() const
{
    return m_entries->rowCount();
}

QString ListBoxWidget::text(int row) const
{
    return textFromCp1252(m_entries->entryAt(row));
}

int ListBoxWidget::selectedRow() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ListBoxWidget::setCurrentRow(int row)
{
    selectionModel()->setCurrentIndex(m_entries->index(row), QItemSelectionModel::ClearAndSelect);
}

QRect ListBoxWidget::rowRect(int row) const
{
    return visualRect(m_entries->index(row));
}

int ListBoxWidget::widestRow() const
{
    if (m_widestRow)
        return *m_widestRow;
    // Summing each character's advance (in 64ths of a pixel) reads a million short names in a few milliseconds, where
    // laying each out would take a second; kerning moves a name by a pixel at most.
    std::array<int, 256> advances;
    const QFontMetricsF metrics(font());
    for (int byte = 0; byte < 256; ++byte)
        advances[byte] =
            qRound(64 * metrics.horizontalAdvance(QChar(cp1252ToUnicode(static_cast<unsigned char>(byte)))));
    int widest = -1;
    int widestAdvance = -1;
    for (const std::string& entry : m_entries->entries()) {
        int advance = 0;
        for (const char byte : entry)
            advance += advances[static_cast<unsigned char>(byte)];
        if (advance > widestAdvance) {
            widest = static_cast<int>(&entry - m_entries->entries().data());
            widestAdvance = advance;
        }
    }
    m_widestRow = widest < 0 ? -1 : m_entries->rowOf(widest);
    return *m_widestRow;
}

void ListBoxWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_widestRow.reset();
    QListView::changeEvent(event);
}

QItemSelectionModel::SelectionFlags ListBoxWidget::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    return command.testFlag(QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate : command;
}

void ListBoxWidget::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    emit selectionMoved();
}

void ListBoxWidget::keyPressEvent(QKeyEvent* event)
{
    // Taking the focus makes the first entry current without selecting it, and Down would then step past it.
    const bool plainDown = event->key() == Qt::Key_Down && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plainDown && count() > 0 && selectedRow() < 0) {
        setCurrentRow(0);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

bool ListBoxWidget::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex entry = indexAt(help->pos());
        const QRect shown = entry.isValid() ? visualRect(entry) : QRect();
        // The text's own width against what the row shows of it, less the item's margins.
        if (entry.isValid() && fontMetrics().horizontalAdvance(text(entry.row())) +
                                       2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) >
                                   shown.intersected(viewport()->rect()).width()) {
            QToolTip::showText(help->globalPos(), text(entry.row()), viewport(), shown);
            return true;
        }
    }
    return QListView::viewportEvent(event);
}

// As its delegate sizes one line of text, which every row is: the widest entry need not be known to place the list.
int ListBoxWidget::rowHeight() const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("Xg");
    return std::max(1, style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height());
}

int ListBoxWidget::chromeHeight() const
{
    const QScrollBar* bar = horizontalScrollBar();
    return 2 * frameWidth() + (bar->isVisibleTo(this) ? bar->sizeHint().height() : 0);
}

int ListBoxWidget::heightForRows(int rows) const
{
    return chromeHeight() + rows * rowHeight();
}

int ListBoxWidget::rowsWithin(int height) const
{
    return std::max(0, (height - chromeHeight()) / rowHeight());
}

} // namespace qb
