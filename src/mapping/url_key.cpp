#include "mapping/url_key.h"

#include <algorithm>

#include "support/sjis.h"

namespace volari {

namespace {

constexpr uint64_t kFnvBasis = 14695981039346656037ull, kFnvPrime = 1099511628211ull;

// What the loose form does with a byte of the path: most are only lower-cased.
enum : unsigned char { kPlain = 0, kPercent = 1, kEnd = 2 };
struct PathBytes {
  unsigned char kind[256] = {};
  unsigned char lower[256] = {};
  constexpr PathBytes() {
    for (int c = 0; c < 256; ++c) {
      lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    kind[static_cast<unsigned char>('%')] = kPercent;
    kind[static_cast<unsigned char>('?')] = kEnd;
    kind[static_cast<unsigned char>('#')] = kEnd;
  }
};
constexpr PathBytes kPathBytes;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ascii_lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

uint64_t loose_url_key(uint64_t hash, std::string_view rest) {
  // FNV-1a a byte at a time: a key goes on from where another stopped.
  const size_t size = rest.size();
  for (size_t i = 0; i < size; ++i) {
    unsigned char c = static_cast<unsigned char>(rest[i]);
    const unsigned char kind = kPathBytes.kind[c];
    if (kind == kEnd) break;
    if (kind == kPercent) {
      const int high = i + 2 < size ? hex_digit(rest[i + 1]) : -1;
      const int low = high >= 0 ? hex_digit(rest[i + 2]) : -1;
      if (low >= 0) {
        c = static_cast<unsigned char>(high * 16 + low);
        i += 2;
      }
    }
    hash = (hash ^ kPathBytes.lower[c]) * kFnvPrime;
  }
  return hash;
}

uint64_t loose_url_key(std::string_view url) {
  const size_t slashes = url.find("//");
  const size_t at = slashes == std::string_view::npos ? 0 : slashes + 2;
  size_t host_end = at;
  size_t host_begin = at;  // after the last '@'
  size_t port = std::string_view::npos;
  for (; host_end < url.size(); ++host_end) {
    const char c = url[host_end];
    if (c == '/' || c == '?' || c == '#') break;
    if (c == '@') {
      host_begin = host_end + 1;
      port = std::string_view::npos;
    } else if (c == ':' && port == std::string_view::npos) {
      port = host_end;
    }
  }
  std::string_view host = url.substr(host_begin, std::min(port, host_end) - host_begin);
  if (host.size() > 4 && same_ignoring_ascii_case(host.substr(0, 4), "www.")) host.remove_prefix(4);
  uint64_t hash = kFnvBasis;
  for (const char c : host)
    hash = (hash ^ kPathBytes.lower[static_cast<unsigned char>(c)]) * kFnvPrime;
  hash = (hash ^ '/') * kFnvPrime;
  return loose_url_key(hash, url.substr(host_end));
}

}  // namespace volari
