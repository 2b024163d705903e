#include <iconv.h>

#include <memory>

#include "platform/cp932_tables.h"

namespace volari {

namespace {

// One character through an iconv descriptor: the bytes it produced, 0 unless the whole input
// made them.
size_t convert(iconv_t cd, const unsigned char* in, size_t n, unsigned char* out, size_t size) {
  ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* i = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
  char* o = reinterpret_cast<char*>(out);
  size_t in_left = n;
  size_t out_left = size;
  if (::iconv(cd, &i, &in_left, &o, &out_left) == static_cast<size_t>(-1) || in_left != 0) return 0;
  return size - out_left;
}

// glibc's CP932. Without it every non-ASCII byte is bad.
std::unique_ptr<Cp932Tables> read_tables() {
  auto t = std::make_unique<Cp932Tables>();
  const iconv_t none = reinterpret_cast<iconv_t>(-1);
  const iconv_t dec = ::iconv_open("UTF-32LE", "CP932");
  const iconv_t enc = ::iconv_open("CP932", "UTF-32LE");
  t->fill(
      [dec, none](const unsigned char* b, size_t n) -> char16_t {
        unsigned char u[8];
        if (dec == none || convert(dec, b, n, u, sizeof u) != 4 || u[2] != 0 || u[3] != 0) return 0;
        return static_cast<char16_t>(u[0] | u[1] << 8);
      },
      [enc, none](char16_t c, unsigned char* b) -> size_t {
        const unsigned char u[4] = {static_cast<unsigned char>(c),
                                    static_cast<unsigned char>(c >> 8), 0, 0};
        return enc == none ? 0 : convert(enc, u, 4, b, 4);
      });
  if (dec != none) ::iconv_close(dec);
  if (enc != none) ::iconv_close(enc);
  return t;
}

}  // namespace

const Cp932Tables& cp932_tables() {
  static const std::unique_ptr<Cp932Tables> tables = read_tables();
  return *tables;
}

}  // namespace volari
