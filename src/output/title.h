// The first title of a copy: the bytes after "<TITLE>" or "<title>" (exact case; one byte must
// follow the tag) up to a NUL, the end of the piece seen or 259 bytes, cut at "</TITLE>" or
// "</title>". Used as found: no trimming, no decoding.
#pragma once

#include <cstddef>
#include <string>

namespace volari {

class TitleFinder {
 public:
  // A finder that is not enabled finds nothing.
  explicit TitleFinder(bool enabled) : enabled_(enabled) {}
  // Shows one written line or chunk; the search ends at the first title.
  void see(const unsigned char* bytes, size_t length);
  const std::string& title() const { return title_; }

 private:
  bool enabled_;
  std::string title_;
};

}  // namespace volari
