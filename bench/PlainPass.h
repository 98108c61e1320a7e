#pragma once

#include <cstddef>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace qbbench {

// The floor the benchmarks measure against: the same work done plainly, one read and one write a buffer, one byte at
// a time, the key repeating across buffers. `to` must not exist, so that no run pays for freeing an earlier file's
// blocks. With `flush` the output is put on disk before it is closed, as the programs do with theirs.
inline void plainXor(const std::string& from, const std::string& to, const std::string& key, std::size_t bufferSize,
                     bool flush)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (in < 0 || out < 0)
        throw std::runtime_error("plain pass cannot open its files");
    std::vector<unsigned char> buffer(bufferSize);
    std::size_t keyIndex = 0;
    for (ssize_t got; (got = ::read(in, buffer.data(), buffer.size())) > 0;) {
        for (ssize_t i = 0; i < got; ++i) {
            buffer[static_cast<std::size_t>(i)] ^= static_cast<unsigned char>(key[keyIndex]);
            if (++keyIndex == key.size())
                keyIndex = 0;
        }
        if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got)
            throw std::runtime_error("plain pass: short write");
    }
    if (flush && ::fdatasync(out) != 0)
        throw std::runtime_error("plain pass: fdatasync failed");
    ::close(in);
    ::close(out);
}

} // namespace qbbench
