#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace qb {

// The entries of a list box as windows-1252 bytes, in the order they were given, and the order the rows show them in.
// A row's text is made only when the view asks for it, so a list of a million names holds no million Qt strings.
class EntryListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const std::string& entryAt(int row) const
    {
        return m_entries[static_cast<std::size_t>(m_rows[static_cast<std::size_t>(row)])];
    }
    // Every entry, in the order given.
    const std::vector<std::string>& entries() const { return m_entries; }
    // The row that shows entries()[entry].
    int rowOf(int entry) const;

    // `entries`, shown in `rows` order (positions in `entries`; every one once).
    void assign(std::vector<std::string> entries, std::vector<int> rows);
    void insert(int row, const std::string& entry);
    void clear();

private:
    std::vector<std::string> m_entries;
    std::vector<int> m_rows;
};

} // namespace qb
