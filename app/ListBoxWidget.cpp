#include "ListBoxWidget.h"

#include "EntryListModel.h"
#include "QtControls.h"

#include "Cp1252.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <private/qlistview_p.h>

#include <algorithm>

namespace qb {

// Sizes every row as the widest entry's, which Qt then takes for all rows alike.
class ListBoxWidget::RowDelegate : public QStyledItemDelegate
{
public:
    explicit RowDelegate(ListBoxWidget* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int widest = m_list->widestEntry();
        if (widest < 0)
            return QStyledItemDelegate::sizeHint(option, index);
        // As the base class sizes a row of text, given the widest entry's text rather than taken from a row: the
        // rows' order may not be worked out yet, and the model gives rows nothing but their text.
        QStyleOptionViewItem shown = option;
        shown.index = index;
        shown.features |= QStyleOptionViewItem::HasDisplay;
        shown.text = textFromCp1252(m_list->entries().entries()[static_cast<std::size_t>(widest)]);
        const QWidget* widget = option.widget;
        return (widget ? widget->style() : QApplication::style())
            ->sizeFromContents(QStyle::CT_ItemViewItem, &shown, QSize(), widget);
    }

private:
    ListBoxWidget* m_list;
};

ListBoxWidget::ListBoxWidget(QWidget* parent) : QListView(parent), m_entries(new EntryListModel(this))
{
    setModel(m_entries);
    setItemDelegate(new RowDelegate(this));
    setUniformItemSizes(true);
    // A long list is laid out a batch at a time while the program waits for input, so it shows at once; rows inserted
    // later are placed without laying out the others again (rowsInserted).
    setLayoutMode(QListView::Batched);
    setBatchSize(kLayoutBatch);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The widest entry is looked for again only when the entries or the font change; rowsInserted follows it.
    const auto forgetWidest = [this] { m_widestEntry.reset(); };
    connect(m_entries, &QAbstractItemModel::modelReset, this, forgetWidest);
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

int ListBoxWidget::advanceOf(std::string_view entry) const
{
    // Summing each character's advance reads a million short names in a few milliseconds, where laying each out would
    // take a second; kerning moves a name by a pixel at most.
    if (m_advances.empty()) {
        const QFontMetricsF metrics(font());
        for (int byte = 0; byte < 256; ++byte)
            m_advances.push_back(
                qRound(64 * metrics.horizontalAdvance(QChar(cp1252ToUnicode(static_cast<unsigned char>(byte))))));
    }
    int advance = 0;
    for (const char byte : entry)
        advance += m_advances[static_cast<unsigned char>(byte)];
    return advance;
}

int ListBoxWidget::widestEntry() const
{
    if (!m_widestEntry)
        m_widestEntry = widestFrom(0, -1);
    return *m_widestEntry;
}

int ListBoxWidget::widestFrom(std::size_t first, int widest) const
{
    const ListLines& entries = m_entries->entries();
    int widestAdvance = widest < 0 ? -1 : advanceOf(entries[static_cast<std::size_t>(widest)]);
    for (std::size_t index = first; index < entries.size(); ++index) {
        if (const int advance = advanceOf(entries[index]); advance > widestAdvance) {
            widest = static_cast<int>(index);
            widestAdvance = advance;
        }
    }
    return widest;
}

bool ListBoxWidget::keepWidestAcross(int added)
{
    if (!m_widestEntry || *m_widestEntry < 0) {
        m_widestEntry.reset();
        return false;
    }
    // New entries go in after those given before, wherever their rows are.
    const int widest = *m_widestEntry;
    m_widestEntry = widestFrom(m_entries->entries().size() - static_cast<std::size_t>(added), widest);
    return *m_widestEntry == widest;
}

void ListBoxWidget::rowsInserted(const QModelIndex& parent, int first, int last)
{
    if (!keepWidestAcross(last - first + 1) || !placeInsertedRows(first, last)) {
        QListView::rowsInserted(parent, first, last);
        return;
    }
    QAbstractItemView::rowsInserted(parent, first, last);
    viewport()->update();
}

// Qt lays every row out again after any insertion, which for a million rows takes tens of milliseconds. Here every row
// is as high as the others and as wide as the widest, so a row's place follows from its number alone: rows inserted
// leave the rows laid out where they are, and the list only grows by their height at its end. That is written into the
// view's layout (Qt's private structures, as its own batched layout leaves them), which holds one top-to-bottom column.
bool ListBoxWidget::placeInsertedRows(int first, int last)
{
    auto* const view = static_cast<QListViewPrivate*>(QObjectPrivate::get(this));
    const int added = last - first + 1;
    const int before = m_entries->rowCount() - added;
    if (viewMode() != ListMode || flow() != TopToBottom || isWrapping() || !uniformItemSizes() ||
        gridSize().isValid() || spacing() != 0 || !view->hiddenRows.isEmpty() || view->delayedPendingLayout ||
        before < 1 || !view->cachedItemSize.isValid())
        return false;
    auto* const layout = static_cast<QListModeViewBase*>(view->commonListView);
    const int laidOut = layout->batchStartRow;
    if (layout->flowPositions.size() < laidOut || layout->segmentStartRows.size() != 1)
        return false;
    // Still being laid out a batch at a time: the batches to come take the rows beyond those placed so far.
    if (view->batchLayoutTimer.isActive())
        return laidOut < before && layout->flowPositions.size() == laidOut && layout->segmentExtents.isEmpty();
    // Laid out whole: every row placed, then where the last one ends.
    if (laidOut != before || layout->flowPositions.size() != before + 1 ||
        layout->scrollValueMap.size() != before + 1 || layout->segmentExtents.size() != 1)
        return false;
    const int pitch = view->cachedItemSize.height();
    int end = layout->flowPositions.constLast();
    for (int row = 0; row < added; ++row) {
        end += pitch;
        layout->flowPositions.append(end);
        layout->scrollValueMap.append(layout->scrollValueMap.constLast() + 1);
    }
    layout->segmentExtents.last() = end;
    layout->batchStartRow = before + added;
    layout->batchSavedPosition = end;
    layout->contentsSize.setHeight(end);
    // A list that scrolls already keeps its page and scrolls further by the rows added; Qt's own update of the scroll
    // bars goes through every row.
    QScrollBar* const bar = verticalScrollBar();
    if (bar->maximum() > 0)
        bar->setMaximum(bar->maximum() + (verticalScrollMode() == ScrollPerItem ? added : added * pitch));
    else
        updateGeometries();
    return true;
}

void ListBoxWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_widestEntry.reset();
        m_advances.clear();
    }
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
