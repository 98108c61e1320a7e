#pragma once

#include "ByteSink.h"
#include "IoContext.h"
#include "Replacement.h"

#include <functional>
#include <optional>
#include <sys/types.h>

namespace qb {

// New content for a named file, written beside it and renamed over it at commit: a writer that fails, or is dropped
// before commit, leaves the file as it was. The one writer of a file that replaces it whole for a command's result,
// a private copy of a key among them.
class ReplacedFile : public ByteSink
{
public:
    // Words a failure (an errno value) in the caller's terms and raises it.
    using Failure = std::function<void(int error)>;

    // `finalMode`: the bits the file ends with whatever the umask or the file it replaces (a key's copy is its owner's
    // alone); none keeps the replaced file's bits, or gives a new file the umask's.
    ReplacedFile(IoContext& io, std::optional<mode_t> finalMode, Failure fail);
    // Starts the new content beside the place's file; 0 or the errno that stopped it, for the caller to word.
    int begin(FilePlace&& place);

    void write(const void* data, std::size_t count) override;
    void commit() override;

private:
    std::optional<mode_t> m_finalMode;
    Failure m_fail;
    Replacement m_replacement;
};

} // namespace qb
