#pragma once

#include <cstddef>
#include <string>

namespace qb {

// Operating-system codes the file layer reports (Linux errno values are mapped onto these).
namespace IoCode {
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int InvalidHandle = 6;
constexpr int NotEnoughMemory = 8;
constexpr int SharingViolation = 32;
constexpr int FileExists = 80;
constexpr int DiskFull = 101;
constexpr int FileNotAssigned = 102;
constexpr int FileNotOpen = 103;
constexpr int NotOpenForInput = 104;
constexpr int NotOpenForOutput = 105;
} // namespace IoCode

// Linux's limits on names: one path component, and a whole path (PATH_MAX less its terminating NUL).
constexpr std::size_t kMaxNameComponent = 255;
constexpr std::size_t kMaxPathLength = 4095;

// An errno-style value of the file layer's own: a symbolic link met where the program's own files are kept.
constexpr int kRefusedLink = 0x10000;

// Maps an errno value (or kRefusedLink) to the code the rest of the program speaks (documented in IoCodes.cpp).
int ioCodeFromErrno(int error, const std::string& path);

// True for a failure that says the system ran short (a full disk or quota, no free inodes, too many open files), not
// that anything is wrong with the file at hand: such a failure is reported by its own code whatever the step.
bool isResourceShortage(int error);

// The code a name gets before the file system sees it: an empty name names no file (2), and one holding a NUL byte
// would silently name a shorter one (3). 0 for a usable name.
int nameCode(const std::string& name);

// True when `path` and each of its components fit Linux's limits.
bool fitsPathLimits(const std::string& path);

} // namespace qb
