#pragma once

#include "IoContext.h"

#include <cstddef>
#include <memory>
#include <string>

namespace qbcli {

// Where a command's result goes. A named file is replaced only at commit: a command that fails before it leaves the
// file as it was.
class OutputTarget
{
public:
    virtual ~OutputTarget() = default;
    virtual void write(const void* data, std::size_t count) = 0;
    // The result is complete: puts it in place.
    virtual void commit() = 0;
};

// A file (written beside it and renamed over it at commit), or for an empty name or "-" standard output, written as
// it comes.
std::unique_ptr<OutputTarget> openOutput(qb::IoContext& io, const std::string& name);

} // namespace qbcli
