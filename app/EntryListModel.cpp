#include "EntryListModel.h"

#include "QtControls.h"

#include <numeric>
#include <utility>

namespace qb {

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return textFromCp1252(entryAt(index.row()));
}

const std::vector<int>& EntryListModel::rows() const
{
    if (m_pendingOrder)
        m_rows = std::exchange(m_pendingOrder, nullptr)(m_entries);
    return m_rows;
}

void EntryListModel::assign(ListLines entries, Ordering order)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_rows.clear();
    m_pendingOrder = std::move(order);
    if (!m_pendingOrder) {
        m_rows.resize(m_entries.size());
        std::iota(m_rows.begin(), m_rows.end(), 0);
    }
    endResetModel();
}

void EntryListModel::insert(int row, std::string_view entry)
{
    rows();
    beginInsertRows(QModelIndex(), row, row);
    m_entries.push_back(entry);
    m_rows.insert(m_rows.begin() + row, static_cast<int>(m_entries.size() - 1));
    endInsertRows();
}

void EntryListModel::clear()
{
    assign({}, nullptr);
}

} // namespace qb
