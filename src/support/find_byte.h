// Finding one byte in a short stretch of text. Pages hold a tag every few bytes: there a call
// to memchr costs more than the search itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace volari {

// The position of the first `c` in `s` from `i`, or npos. Reads no byte outside `s`.
inline size_t find_byte(std::string_view s, size_t i, char c) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(c);
  for (; i + 16 <= s.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(hits));
  }
  if (i + 8 <= s.size()) {
    // Eight bytes at once: a zero byte of word ^ c marks c.
    uint64_t word = 0;
    std::memcpy(&word, s.data() + i, 8);
    word ^= 0x0101010101010101ull * static_cast<unsigned char>(c);
    const uint64_t zero = (word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull;
    if (zero != 0) return i + static_cast<size_t>(__builtin_ctzll(zero)) / 8;
    i += 8;
  }
  for (; i < s.size(); ++i) {
    if (s[i] == c) return i;
  }
  return std::string_view::npos;
#else
  if (i >= s.size()) return std::string_view::npos;
  const void* p = std::memchr(s.data() + i, c, s.size() - i);
  return p == nullptr ? std::string_view::npos : static_cast<const char*>(p) - s.data();
#endif
}

// The position of the first of `a`, `b` and `c` in `s` from `i`, or npos. Reads no byte outside
// `s`.
inline size_t find_any_byte(std::string_view s, size_t i, char a, char b, char c) {
#if defined(__SSE2__)
  const __m128i wa = _mm_set1_epi8(a), wb = _mm_set1_epi8(b), wc = _mm_set1_epi8(c);
  for (; i + 16 <= s.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    const __m128i any =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, wa), _mm_cmpeq_epi8(bytes, wb)),
                     _mm_cmpeq_epi8(bytes, wc));
    const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(any));
    if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(hits));
  }
#endif
  for (; i < s.size(); ++i) {
    if (s[i] == a || s[i] == b || s[i] == c) return i;
  }
  return std::string_view::npos;
}

}  // namespace volari
