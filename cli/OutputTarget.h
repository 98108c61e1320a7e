#pragma once

#include "ByteSink.h"
#include "IoContext.h"

#include <cstddef>
#include <memory>
#include <string>

namespace qbcli {

// Where a command's result goes. A named file is replaced only at commit: a command that fails before it leaves the
// file as it was.
class OutputTarget : public qb::ByteSink
{
public:
    // True for a terminal, where raw ciphertext would garble the screen.
    virtual bool isTerminal() const = 0;
};

// What a regular file written as OUT ends with: the bits the umask gives a new file (or the replaced file's), or its
// owner's alone, as for a copy of a key.
enum class OutputMode { AsUmask, Private };

// A regular file (written beside it and renamed over it at commit), or standard output (an empty name, "-",
// /dev/stdout, /dev/fd/1), a FIFO, a device or a pipe, written straight through as the bytes come. A file this
// process reads (the input, a key) is refused as OUT.
std::unique_ptr<OutputTarget> openOutput(qb::IoContext& io, const std::string& name,
                                         OutputMode mode = OutputMode::AsUmask);

// Lines for standard output, which only an empty list leaves empty.
class LinePrinter
{
public:
    explicit LinePrinter(qb::IoContext& io) : m_output(openOutput(io, "")) {}
    void print(const std::string& line)
    {
        m_output->write(line.data(), line.size());
        m_output->write("\n", 1);
    }

private:
    std::unique_ptr<OutputTarget> m_output;
};

} // namespace qbcli
