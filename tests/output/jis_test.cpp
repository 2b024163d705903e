#include "output/jis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testlib/iconv_text.h"

namespace volari {
namespace {

// Converts in[0..length-1] (all of `in` by default); whatever follows in `in` must not count.
std::string convert(const std::string& in, size_t length = std::string::npos) {
  length = std::min(length, in.size());
  std::vector<unsigned char> out(length + 2, 0xEE);
  const size_t n =
      to_shiftjis(reinterpret_cast<const unsigned char*>(in.data()), length, out.data());
  EXPECT_LE(n, length);
  EXPECT_EQ(out[n], 0) << "not terminated";
  EXPECT_EQ(out[length + 1], 0xEE) << "wrote past length + 1";
  return std::string(reinterpret_cast<const char*>(out.data()), n);
}

// Every JIS X 0208 character that glibc knows, row by row, in EUC-JP and in both JIS
// escape-sequence forms, must come out exactly as iconv writes it in Shift-JIS.
TEST(ToShiftJis, EveryJisX0208CharacterMatchesIconv) {
  int known = 0;
  for (int row = 1; row <= 84; ++row) {
    std::string euc = "row:", at = "row:\x1b$@", sjis = "row:";
    for (int cell = 1; cell <= 94; ++cell) {
      const std::string one = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      const std::string sjis_one = testing::iconv_text("EUC-JP", "SHIFT_JIS", one);
      if (sjis_one.empty()) continue;
      ++known;
      euc += one;
      at += {static_cast<char>(0x20 + row), static_cast<char>(0x20 + cell)};
      sjis += sjis_one;
    }
    euc += " end\n";
    at += "\x1b(J end\n";
    sjis += " end\n";
    const std::string iso = testing::iconv_text("EUC-JP", "ISO-2022-JP", euc);  // ESC $ B
    ASSERT_FALSE(iso.empty());
    EXPECT_EQ(convert(euc), sjis) << "row " << row;
    EXPECT_EQ(convert(iso), sjis) << "row " << row;
    EXPECT_EQ(convert(at), sjis) << "row " << row;
  }
  EXPECT_EQ(known, 6879);  // JIS X 0208: all of it
}

TEST(ToShiftJis, Quirks) {
  const struct {
    const char* name;
    std::string in, out;
    size_t length = std::string::npos;
  } cases[] = {
      {"esc ( J ends the B run", "\x1b$B\x24\x22\x1b(J>", "\x82\xa0>"},
      {"esc ( H ends the @ run", "\x1b$@\x24\x22\x1b(H>", "\x82\xa0>"},
      // Not an end for its run: taken as the pairs 1B 28 and 48 00 (the terminator).
      {"esc ( H inside the B run", "\x1b$B\x24\x22\x1b(H", "\x82\xa0\x7e\x47\x94\x7e"},
      {"esc ( B inside the @ run", "\x1b$@\x24\x22\x1b(B", "\x82\xa0\x7e\x47\x91\x7e"},
      // The line break is the second byte of the pair 30 0A.
      {"line break inside a run", "\x1b$B\x30\x21\x30\n", "\x88\x9f\x88\x88"},
      // Leaves no run open for the next call (the next row).
      {"odd byte ends a run", "\x1b$B\x24", "\x82\x7e"},
      {"euc before sjis: E0 A1 is EUC-JP 0x6021", "\xe0\xa1", "\xe0\x9f"},
      {"a0 before a0 is no pair", "\xa0\xa0", "\xa0\xa0"},
      {"a0 starts an euc pair", "\xa0\xa4", "\x80\xa2"},  // row 0 of the arithmetic
      {"half-width katakana stands alone", "\xb1\xa0\xa4", "\xb1\x80\xa2"},
      {"0x80 stands alone", "\x80\xa4\xa2", "\x80\x82\xa0"},
      {"low sjis lead takes its partner", "\x82\xa4\xa2", "\x82\xa4\xa2"},
      {"high sjis lead takes its partner", "\xea\xa0\xa1", "\xea\xa0\xa1"},
      {"lead byte at the end", "AB\x82", "AB\x82"},
      {"escape of another set", "\x1b$A\xa4\xa2", "\x1b$A\x82\xa0"},
      {"empty", "", ""},
      {"escape inside a run of ascii", "abcdefg\x1b$B\x24\x22\x1b(Babcdefgh",
       "abcdefg\x82\xa0"
       "abcdefgh"},
      {"lone esc inside ascii",
       "abcdef\x1b"
       "abcdefghijk",
       "abcdef\x1b"
       "abcdefghijk"},
      {"euc pair between runs of ascii", "abcdefg\xa4\xa2hijklmnopq", "abcdefg\x82\xa0hijklmnopq"},
      // Bytes past the length read as the terminator, whatever the buffer holds there.
      {"pair partner beyond", "\x1b$B\x24\x22", "\x82\x7e", 4},
      {"lead byte partner beyond", "\x82\xa0", "\x82", 1},
      {"escape cut by the length", "\x1b$B\x24\x22", "\x1b$", 2},
      {"end escape cut by the length", "\x1b$B\x24\x22\x1b(B", "\x82\xa0\x7e\x47", 7},
      {"euc partner beyond", "\xa4\xa2", "\xa4", 1},
      {"ascii cut by the length", "abcdefghijkl", "abcdefghi", 9},
      {"euc partner beyond after ascii", "abcdefgh\xa4\xa2", "abcdefgh\xa4", 9},
  };
  for (const auto& c : cases) EXPECT_EQ(convert(c.in, c.length), c.out) << c.name;
}

}  // namespace
}  // namespace volari
