#pragma once

#include "CliOptions.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qbcli {

// What encrypt and decrypt are asked to do.
struct CipherRequest
{
    explicit CipherRequest(const CliOptions& options)
        : correspondent(options.correspondent), input(options.operands.empty() ? "" : options.operands[0]),
          output(options.output), armor(options.armor), text(options.text)
    {
    }

    std::string correspondent; // decrypt: may be empty, the Key line of the mail text naming it
    std::string input;         // empty or "-": standard input
    std::string output;        // empty or "-": standard output
    bool armor = false;        // encrypt: write mail text; decrypt: take only mail text
    bool text = false;         // UTF-8 text outside, the window's windows-1252 with CR LF inside
};

// Bytes combined at a time: large enough that system calls vanish, small enough to keep memory flat.
constexpr std::size_t kChunkSize = 1 << 20;

inline std::string_view asText(const std::vector<unsigned char>& bytes, std::size_t count)
{
    return {reinterpret_cast<const char*>(bytes.data()), count};
}

} // namespace qbcli
