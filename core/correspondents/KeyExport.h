#pragma once

#include "ByteSink.h"
#include "CorrespondentKey.h"
#include "CorrespondentPaths.h"
#include "IoContext.h"

#include <cstddef>
#include <string>

namespace qb {

// A copy of a correspondent's key file, whole (bytes after an end-of-data mark too), to hand the key to the
// correspondent. The key file is held open from construction to the end of the copy, and made private to its owner
// the first time it is used, as every command on a key does.
class KeyExport
{
public:
    // Opens the key file; isOpen() is false when there is none to copy (a link among the program's own files raises
    // "File access denied", as for Encrypt).
    KeyExport(IoContext& io, const CorrespondentPaths& correspondent);

    bool isOpen() const { return m_key.isOpen(); }
    // Writes the copy to the file `target`: beside it and renamed over it once whole, private to its owner (0600)
    // whatever the umask or the file it replaces. Checked, in the window's words.
    void writeTo(const std::string& target);
    // Writes the key's bytes to `out` in order, a piece at a time, then commits it: the one way every copy is made, to
    // a file or a stream. Checked.
    void copyTo(ByteSink& out);

private:
    IoContext& m_io;
    CorrespondentKey m_key;
};

} // namespace qb
