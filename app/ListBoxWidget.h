#pragma once

#include <QListView>

#include <optional>
#include <string_view>
#include <vector>

namespace qb {

class EntryListModel;

// The widget of a list box, over its own EntryListModel. A selection, once made, stays: a click on blank space or a
// Ctrl+click on the selected entry would clear it while the window still shows what it selected. Down with nothing
// selected selects the first entry. An entry too long for the list shows whole in a tooltip. Every row is one line
// high and as wide as the widest entry, so a long list is laid out without measuring each row.
class ListBoxWidget : public QListView
{
    Q_OBJECT

public:
    // Rows laid out at a time: a list of a million shows at once and is laid out whole within a second.
    static constexpr int kLayoutBatch = 20000;

    explicit ListBoxWidget(QWidget* parent = nullptr);

    EntryListModel& entries() const { return *m_entries; }
    int count() const;
    QString text(int row) const;
    // -1 when nothing is selected.
    int selectedRow() const;
    // Makes `row` current and selects it alone.
    void setCurrentRow(int row);
    QRect rowRect(int row) const;

    // The height, frame and any scroll bar across the bottom included, at which the list shows `rows` whole rows.
    int heightForRows(int rows) const;
    // The most whole rows the list shows within `height`.
    int rowsWithin(int height) const;

signals:
    // The selection moved, by the user or by setCurrentRow.
    void selectionMoved();

protected:
    void rowsInserted(const QModelIndex& parent, int first, int last) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void changeEvent(QEvent* event) override;

private:
    class RowDelegate;

    // The entry (its place in the order given) whose text is widest, by the advances of its characters; -1 when the
    // list is empty. Found without the rows' order, which a list filled while hidden has not worked out yet.
    int widestEntry() const;
    // The widest of `widest` (-1 for none) and the entries from `first` on; the earliest of equals.
    int widestFrom(std::size_t first, int widest) const;
    // Its text's width in 64ths of a pixel, as the sum of its characters' advances.
    int advanceOf(std::string_view entry) const;
    // Follows the widest entry as `added` entries go in: false when one of them is wider still.
    bool keepWidestAcross(int added);
    // Places rows first..last, just inserted, without laying out the others again: false where that cannot be done.
    bool placeInsertedRows(int first, int last);
    int rowHeight() const;
    int chromeHeight() const;

    EntryListModel* m_entries;
    mutable std::optional<int> m_widestEntry;
    // Each byte's advance in the list's font, in 64ths of a pixel; empty until needed.
    mutable std::vector<int> m_advances;
};

} // namespace qb
