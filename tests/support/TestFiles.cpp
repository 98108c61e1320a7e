#include "TestFiles.h"

#include "Errors.h"

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <stdexcept>

namespace qbtest {

std::string randomBytes(std::size_t size, unsigned seed, int highest)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> byte(0, highest);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(engine));
    return bytes;
}

std::string widenedByHand(const std::string& bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out += "\r\n";
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            out += bytes[i];
        }
    }
    return out;
}

void makeSparseFile(const std::string& path, std::int64_t size, const std::string& tail)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    const auto tailSize = static_cast<std::int64_t>(tail.size());
    const bool written = ::ftruncate(fd, size - tailSize) == 0 &&
                         ::pwrite(fd, tail.data(), tail.size(), size - tailSize) == static_cast<ssize_t>(tailSize);
    ::close(fd);
    if (!written)
        throw std::runtime_error("cannot size " + path);
}

std::unique_ptr<qb::TextFile> openFile(qb::IoContext& io, const std::string& path, void (qb::TextFile::*open)(),
                                       qb::TextFile::Reading reading, std::size_t bufferSize)
{
    auto file = std::make_unique<qb::TextFile>(io, reading, bufferSize);
    file->assign(path);
    ((*file).*open)();
    return file;
}

int ioCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qb::EInOutError& error) {
        return error.code();
    }
    return 0;
}

std::string errorTextOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qb::Error& error) {
        return error.what();
    }
    return "";
}

} // namespace qbtest
