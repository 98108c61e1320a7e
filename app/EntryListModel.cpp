#include "EntryListModel.h"

#include "QtControls.h"

#include <algorithm>

namespace qb {

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return textFromCp1252(entryAt(index.row()));
}

int EntryListModel::rowOf(int entry) const
{
    return static_cast<int>(std::find(m_rows.begin(), m_rows.end(), entry) - m_rows.begin());
}

void EntryListModel::assign(std::vector<std::string> entries, std::vector<int> rows)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_rows = std::move(rows);
    endResetModel();
}

void EntryListModel::insert(int row, const std::string& entry)
{
    beginInsertRows(QModelIndex(), row, row);
    m_entries.push_back(entry);
    m_rows.insert(m_rows.begin() + row, static_cast<int>(m_entries.size() - 1));
    endInsertRows();
}

void EntryListModel::clear()
{
    assign({}, {});
}

} // namespace qb
