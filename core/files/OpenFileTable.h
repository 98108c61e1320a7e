#pragma once

#include <map>
#include <sys/types.h>

namespace qb {

// Linux lets anyone write a file that is open for reading. Text-mode files must not: the table
// remembers which files (by device and inode, so any spelling of a name counts) this process
// holds open and how, and refuses conflicting opens with the sharing-violation code 32.
class OpenFileTable
{
public:
    enum class Access { Read, Write };

    struct FileId
    {
        dev_t device;
        ino_t inode;
        bool operator<(const FileId& other) const
        {
            return device != other.device ? device < other.device : inode < other.inode;
        }
    };

    // True when a file may be opened with this access now.
    bool mayOpen(const FileId& id, Access access) const;
    // True when this process holds the file open in any way (exclusive openers must not proceed).
    bool contains(const FileId& id) const;
    void add(const FileId& id, Access access);
    void remove(const FileId& id, Access access);
    bool empty() const { return m_readers.empty() && m_writers.empty(); }
    // Number of entries held, for tests that check nothing stays open.
    int count() const;

private:
    std::map<FileId, int> m_readers;
    std::map<FileId, int> m_writers;
};

} // namespace qb
