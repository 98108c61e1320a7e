#pragma once

#include "TextFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qbtest {

// `size` bytes drawn from a fixed seed, each at most `highest`: the same bytes on every run.
std::string randomBytes(std::size_t size, unsigned seed, int highest = 255);

// Every lone CR and lone LF turned into CR LF, written out byte by byte: the reference for the block-wise adjustment.
std::string widenedByHand(const std::string& bytes);

// A file of `size` bytes, zero but for `tail` at its end, that takes no room on disk (sizes past 4 GiB).
void makeSparseFile(const std::string& path, std::int64_t size, const std::string& tail = "");

// A file assigned and opened through the program's file layer, as another command would hold it; `open` is
// reset, rewrite or append. Failures are left pending in `io` for the test to take.
std::unique_ptr<qb::TextFile> openFile(qb::IoContext& io, const std::string& path,
                                       void (qb::TextFile::*open)() = &qb::TextFile::reset,
                                       qb::TextFile::Reading reading = qb::TextFile::Reading::Text,
                                       std::size_t bufferSize = qb::kTextBufferSize);

// The code of the EInOutError `action` raises; 0 when it raises none.
int ioCodeOf(const std::function<void()>& action);
// The text of the qb::Error `action` raises; "" when it raises none.
std::string errorTextOf(const std::function<void()>& action);

} // namespace qbtest
