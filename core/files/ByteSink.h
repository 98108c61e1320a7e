#pragma once

#include <cstddef>

namespace qb {

// Where a command's result goes, in order; commit says it is complete. A sink that words its own failures raises
// them from write and commit.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual void write(const void* data, std::size_t count) = 0;
    virtual void commit() = 0;
};

} // namespace qb
