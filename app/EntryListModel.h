#pragma once

#include "ListLines.h"

#include <QAbstractListModel>

#include <functional>
#include <string_view>
#include <vector>

namespace qb {

// The entries of a list box as windows-1252 bytes, in the order they were given, and the order the rows show them in.
// A row's text is made only when the view asks for it, so a list of a million names holds no million Qt strings. The
// order is worked out only once a row is first needed: a list filled while its window is still hidden (behind the
// welcome window at start) is sorted when it is shown or used, not before the first window is painted.
class EntryListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // The rows' order for `entries`: their positions, every one once.
    using Ordering = std::function<std::vector<int>(const ListLines& entries)>;

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    std::string_view entryAt(int row) const
    {
        return m_entries[static_cast<std::size_t>(rows()[static_cast<std::size_t>(row)])];
    }
    // Every entry, in the order given.
    const ListLines& entries() const { return m_entries; }

    // `entries`, shown in the order `order` gives them; without one, in the order given.
    void assign(ListLines entries, Ordering order);
    void insert(int row, std::string_view entry);
    void clear();

private:
    const std::vector<int>& rows() const;

    ListLines m_entries;
    mutable std::vector<int> m_rows;
    mutable Ordering m_pendingOrder;
};

} // namespace qb
