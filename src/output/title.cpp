#include "output/title.h"

#include <algorithm>
#include <cstring>

#include "output/output_state.h"

namespace volari {

void TitleFinder::see(const unsigned char* bytes, size_t length) {
  // An empty title counts as none: the search goes on in the next piece.
  if (!enabled_ || !title_.empty() || length <= 7) return;
  for (size_t i = 0; i < length - 7; ++i) {
    const void* lt = std::memchr(bytes + i, '<', length - 7 - i);
    if (lt == nullptr) return;
    i = static_cast<size_t>(static_cast<const unsigned char*>(lt) - bytes);
    if (std::memcmp(bytes + i, "<TITLE>", 7) != 0 && std::memcmp(bytes + i, "<title>", 7) != 0) {
      continue;
    }
    const unsigned char* text = bytes + i + 7;
    const size_t n =
        strnlen(reinterpret_cast<const char*>(text), std::min(length - i - 7, kTitleSize - 1));
    title_.assign(reinterpret_cast<const char*>(text), n);
    for (size_t at = title_.find('<'); at != std::string::npos; at = title_.find('<', at + 1)) {
      if (title_.compare(at, 8, "</TITLE>") == 0 || title_.compare(at, 8, "</title>") == 0) {
        title_.resize(at);
        break;
      }
    }
    return;
  }
}

}  // namespace volari
