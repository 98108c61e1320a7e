#pragma once

#include "SecretBytes.h"

#include <cstddef>
#include <cstdint>

namespace qb {

constexpr std::size_t kGeneratedKeyLength = 1000;
// Each generated key byte is a value 0 to 9 (the byte itself, not a digit character).
constexpr std::uint32_t kKeyValueRange = 10;

// A fresh key of kGeneratedKeyLength bytes, each drawn uniformly from 0 to 9 by the operating system's cryptographic
// random source: nobody can recompute it, and two keys made at the same moment differ.
SecretBytes generateKey();

} // namespace qb
