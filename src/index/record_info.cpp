#include "index/record_info.h"

#include <cstring>

namespace volari {

namespace {

constexpr size_t kNameLengthAt = 29, kNameAt = 33;

struct Cursor {
  const unsigned char* p;
  size_t size;
  size_t at;
  bool ok = true;

  uint32_t u32() {
    if (at > size || size - at < 4) ok = false;
    if (!ok) return 0;
    const uint32_t v = p[at] | p[at + 1] << 8 | p[at + 2] << 16 | uint32_t(p[at + 3]) << 24;
    at += 4;
    return v;
  }
  void skip(size_t n) {
    if (at > size || n > size - at) ok = false;
    if (ok) at += n;
  }
  // A string into `out` (of `cap` bytes, cut to fit); an absent one empty.
  void text(char* out, size_t cap) {
    const uint32_t n = u32();
    if (!ok || n > size - at) {
      ok = false;
      return;
    }
    const size_t len = strnlen(reinterpret_cast<const char*>(p + at), n);
    if (out) {
      const size_t kept = len < cap ? len : cap - 1;
      std::memcpy(out, p + at, kept);
      out[kept] = '\0';
    }
    at += n;
  }
};

}  // namespace

RecordInfo read_record_info(const unsigned char* data, size_t size) {
  RecordInfo info;
  if (size < kNameAt) return info;
  Cursor c{data, size, 0};
  const uint32_t total = c.u32();
  if (total < c.size) c.size = total;
  const uint32_t version = c.u32();
  if (version != 3 && version != 5) return info;
  c.at = kNameLengthAt;
  c.skip(c.u32());  // the name
  c.skip(4 + 1 + 4);
  if (version == 3) {
    c.skip(8);
    c.text(nullptr, 0);  // cipher
  }
  c.text(nullptr, 0);  // certificate or security info
  c.skip(4);           // method
  c.text(nullptr, 0);  // post headers
  RecordInfo found;
  c.text(found.content_type, sizeof found.content_type);
  c.text(nullptr, 0);  // content encoding
  c.text(found.charset, sizeof found.charset);
  return c.ok ? found : info;
}

}  // namespace volari
