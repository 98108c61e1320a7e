#pragma once

#include <string>
#include <sys/stat.h>

namespace qb {

// One correspondent's files under the data directory, built once from the name and shared by the rules and the
// writers: the folder DIR/NAME, the key DIR/NAME/NAME.key, the working message DIR/NAME/newmail.txt and the cipher
// Encrypt uses for NAME, DIR/NAME/NAME.cipher.
class CorrespondentPaths
{
public:
    CorrespondentPaths(const std::string& dataDirectory, const std::string& name);

    const std::string& name() const { return m_name; }
    const std::string& folder() const { return m_folder; }
    const std::string& keyFile() const { return m_keyFile; }
    const std::string& messageFile() const { return m_messageFile; }
    const std::string& cipherFile() const { return m_cipherFile; }

    // Raises "Invalid filename" unless the name may be registered (requireRegistrableName) and every path above is
    // within Linux's limits.
    void requireRegistrable() const;
    // The second half of that, for a name the rules have passed already: a path the file system would cut could make
    // two of them one (key and message).
    void requireWithinPathLimits() const;

private:
    std::string m_name;
    std::string m_folder;
    std::string m_keyFile;
    std::string m_messageFile;
    std::string m_cipherFile;
};

// Raises "Invalid filename" unless the name may become a correspondent: one folder name ("/" and NUL cannot stand in
// one), not hidden, without a blank at either end (its row would look like another name's) and none of the program's
// own files in the data directory (users.cfg, mail.cfg, Untitled, in any case, which its folder would block), and one
// line of users.cfg with nothing a terminal would act on (no control character: CR, LF and 26 would also split the line
// or end the list).
void requireRegistrableName(const std::string& name);

// Whether `file` (its status) is one of the program's own files in `dataDirectory` under any name, a link or a hard
// link included: users.cfg, mail.cfg, Untitled, and each correspondent's key, cipher setting and working message.
bool isOwnFile(const std::string& dataDirectory, const struct stat& file);

// Raises "Invalid filename" for a name that cannot be one folder name directly under the data directory ("/" or NUL
// in it, "." or ".."): a name given to look a correspondent up never reaches outside it.
void requireFolderName(const std::string& name);

} // namespace qb
