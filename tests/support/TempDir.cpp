#include "TempDir.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qbtest {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "quillbox-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them writable so the tree can go.
    for (auto it = fs::recursive_directory_iterator(m_path, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string TempDir::file(const std::string& relative) const
{
    return m_path + "/" + relative;
}

void TempDir::writeFile(const std::string& relative, const std::string& bytes) const
{
    writeBytes(file(relative), bytes);
}

std::string TempDir::readFile(const std::string& relative) const
{
    return readBytes(file(relative));
}

bool TempDir::exists(const std::string& relative) const
{
    return fs::exists(file(relative));
}

void TempDir::makeFolder(const std::string& relative) const
{
    fs::create_directories(file(relative));
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty())
        fs::create_directories(folder);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& path)
{
    char buffer[PATH_MAX];
    m_previous = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
    if (::chdir(path.c_str()) != 0)
        throw std::runtime_error("cannot change to " + path);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory()
{
    if (::chdir(m_previous.c_str()) != 0) {
        // Nothing sensible to do in a destructor; the next test starts from its own folder anyway.
    }
}

} // namespace qbtest
