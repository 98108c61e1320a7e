#pragma once

#include "IoContext.h"

#include <cstddef>
#include <memory>
#include <string>

namespace qbcli {

// Where a command's result goes. Nothing counts as written until commit: a command that fails before it leaves a
// named file as it was.
class OutputTarget
{
public:
    virtual ~OutputTarget() = default;
    virtual void write(const void* data, std::size_t count) = 0;
    // Drops what was written so far: the result starts over.
    virtual void restart() = 0;
    // The result is complete: puts it in place.
    virtual void commit() = 0;
};

// Whether the command may yet drop what it wrote: Decrypt, which learns only at the end whether its input was mail
// text, and whether that was whole.
enum class Retraction { Never, Possible };

// A file (written beside it and renamed over it at commit), or for an empty name or "-" standard output: written as
// it comes, or held in an unnamed temporary file until commit when the result may yet be dropped.
std::unique_ptr<OutputTarget> openOutput(qb::IoContext& io, const std::string& name, Retraction retraction);

} // namespace qbcli
