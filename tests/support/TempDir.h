#pragma once

#include <string>

namespace qbtest {

// A fresh folder under the system's temporary directory, removed with everything in it on destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + relative
    std::string file(const std::string& relative) const;
    void writeFile(const std::string& relative, const std::string& bytes) const;
    std::string readFile(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    void makeFolder(const std::string& relative) const;

private:
    std::string m_path;
};

// Reads or writes a whole file by absolute or relative path, bytes unchanged; writing makes the folders the path
// names first.
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Changes the working directory for its lifetime (the data directory is the working directory).
class ScopedWorkingDirectory
{
public:
    explicit ScopedWorkingDirectory(const std::string& path);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::string m_previous;
};

} // namespace qbtest
