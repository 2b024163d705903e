// A fast 64-bit hash of bytes for in-memory tables (the rounds and final mix of xxHash64),
// eight bytes a step: link tables hash every link of every page. Not stored anywhere.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace volari {

// The hash of `text`, going on from `seed` (a hash of what comes before it, when that matters).
inline uint64_t hash64(std::string_view text, uint64_t seed = 0x9E3779B185EBCA87ull) {
  constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull, kPrime2 = 0xC2B2AE3D27D4EB4Full;
  uint64_t hash = seed;
  const auto round = [&hash](uint64_t word) {
    hash += word * kPrime2;
    hash = (hash << 31 | hash >> 33) * kPrime1;
  };
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    round(word);
  }
  uint64_t tail = 0;
  if (i < text.size()) std::memcpy(&tail, text.data() + i, text.size() - i);
  round(tail);
  round(text.size());
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  hash *= 0x165667B19E3779F9ull;
  return hash ^ (hash >> 32);
}

}  // namespace volari
