#include "output/jis.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <string>
#include <vector>

namespace volari {
namespace {

std::string convert(const std::string& in) {
  std::vector<unsigned char> out(in.size() + 1, 0xEE);
  const size_t n =
      to_shiftjis(reinterpret_cast<const unsigned char*>(in.data()), in.size(), out.data());
  EXPECT_LE(n, in.size());
  EXPECT_EQ(out[n], 0) << "not terminated";
  return std::string(reinterpret_cast<const char*>(out.data()), n);
}

std::string hex(const std::string& s) {
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  return out;
}

// The oracle: glibc's own converters. False when iconv does not know the text.
bool iconv_text(const char* from, const char* to, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buf(in.size() * 4 + 16);
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = buf.data();
  size_t ol = buf.size();
  bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
  ok = ok && iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<size_t>(-1);  // shift back
  iconv_close(cd);
  out->assign(buf.data(), op - buf.data());
  return ok;
}

struct CodeCase {
  uint16_t jis;
  uint16_t sjis;
};

// Standard pairs (the Shift-JIS code of each character as published), then the bare arithmetic
// for bytes outside the code space.
const CodeCase kCodes[] = {
    {0x2121, 0x8140},  // ideographic space
    {0x2122, 0x8141},  // 、
    {0x213C, 0x815B},  // ー
    {0x2422, 0x82A0},  // あ
    {0x2840, 0x84BE},  // ╂
    {0x3021, 0x889F},  // 亜
    {0x307E, 0x88FC},  // 蔭
    {0x5021, 0x989F},  // 弌
    {0x5E7E, 0x9FFC},  // 滌, last row below the gap
    {0x5F21, 0xE040},  // 漾, first row above it
    {0x7426, 0xEAA4},  // 熙
    {0x0000, 0x707E},  // hi 0: (0 - 1) >> 1 is -1
    {0x7F7F, 0xF09F},  // odd row, 0x7F skipped
    {0xA0A0, 0x001E},  // both bytes wrap to 8 bits
};

TEST(JisToSjis, MapsCodes) {
  for (const CodeCase& c : kCodes) {
    EXPECT_EQ(jis_to_sjis(c.jis), c.sjis) << std::hex << c.jis;
  }
}

TEST(JisToSjis, Banner) {
  EXPECT_STREQ(kZelJisBanner, "ZEL_JIS 1.49");
}

// Every JIS X 0208 character that glibc knows, one at a time and row by row, in EUC-JP and in
// both JIS escape-sequence forms, must come out exactly as iconv writes it in SHIFT_JIS and CP932.
TEST(ToShiftJis, EveryJisX0208CharacterMatchesIconv) {
  int known = 0;
  for (int row = 1; row <= 84; ++row) {
    std::string euc_row = "row:";
    std::string sjis_row = "row:";
    for (int cell = 1; cell <= 94; ++cell) {
      const std::string euc = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      std::string sjis;
      if (!iconv_text("EUC-JP", "SHIFT_JIS", euc, &sjis)) continue;
      ++known;
      std::string cp932;
      ASSERT_TRUE(iconv_text("EUC-JP", "CP932", euc, &cp932));
      ASSERT_EQ(cp932, sjis);
      std::string iso;
      ASSERT_TRUE(iconv_text("EUC-JP", "ISO-2022-JP", euc, &iso));
      const std::string jis_at =
          "\x1b$@" + std::string{static_cast<char>(0x20 + row), static_cast<char>(0x20 + cell)} +
          "\x1b(J";
      ASSERT_EQ(convert(euc), sjis) << row << "-" << cell;
      ASSERT_EQ(convert(iso), sjis) << row << "-" << cell << " " << hex(iso);
      ASSERT_EQ(convert(jis_at), sjis) << row << "-" << cell;
      euc_row += euc;
      sjis_row += sjis;
    }
    euc_row += " end\n";
    sjis_row += " end\n";
    std::string iso_row;
    ASSERT_TRUE(iconv_text("EUC-JP", "ISO-2022-JP", euc_row, &iso_row));
    EXPECT_EQ(convert(euc_row), sjis_row) << "row " << row;
    EXPECT_EQ(convert(iso_row), sjis_row) << "row " << row;
  }
  EXPECT_EQ(known, 6879);  // JIS X 0208: all of it
}

struct Quirk {
  const char* name;
  std::string in;
  std::string out;
};

const Quirk kQuirks[] = {
    {"ascii", "<html>abc\n", "<html>abc\n"},
    {"jis run", "A\x1b$B\x24\x22\x1b(BZ", "A\x82\xa0Z"},
    {"esc ( J ends the B run", "\x1b$B\x24\x22\x1b(JZ", "\x82\xa0Z"},
    {"esc ( H ends the @ run", "\x1b$@\x24\x22\x1b(HZ", "\x82\xa0Z"},
    // Not an end for its run: taken as the pairs 1B 28 and 48 00 (the terminator).
    {"esc ( H inside the B run", "\x1b$B\x24\x22\x1b(H", "\x82\xa0\x7e\x47\x94\x7e"},
    {"esc ( B inside the @ run", "\x1b$@\x24\x22\x1b(B", "\x82\xa0\x7e\x47\x91\x7e"},
    // The line break is the second byte of the pair 30 0A.
    {"line break inside a run", "\x1b$B\x30\x21\x30\n", "\x88\x9f\x88\x88"},
    {"odd byte ends a run", "\x1b$B\x24", "\x82\x7e"},
    {"euc", "x\xa4\xa2y", "x\x82\xa0y"},
    // E0 A1 as Shift-JIS, but EUC-JP 0x6021 is converted.
    {"sjis that looks like euc", "\xe0\xa1", "\xe0\x9f"},
    {"two half-width katakana", "\xb1\xb2", "\x89\x51"},
    {"half-width katakana",
     "\xb1"
     "A\xdf",
     "\xb1"
     "A\xdf"},
    {"a0 a0", "\xa0\xa0", "\xa0\xa0"},
    {"a0 starts an euc pair too", "\xa0\xa4", "\x80\xa2"},  // row 0 of the arithmetic
    {"sjis pair low lead", "\x82\xa0\x88\x9f", "\x82\xa0\x88\x9f"},
    {"sjis pair high lead low trail", "\xe0\x40\xea\xa0", "\xe0\x40\xea\xa0"},
    {"sjis pair with ascii trail",
     "\x83\x5c"
     "A",
     "\x83\x5c"
     "A"},
    {"0x80 alone",
     "\x80"
     "A",
     "\x80"
     "A"},
    {"lead byte at the end", "AB\x82", "AB\x82"},
    {"high lead byte at the end", "\xe0", "\xe0"},
    {"unfinished escape", "\x1b$", "\x1b$"},
    {"escape of another set", "\x1b$A\xa4\xa2", "\x1b$A\x82\xa0"},
    {"empty", "", ""},
};

TEST(ToShiftJis, Quirks) {
  for (const Quirk& q : kQuirks) {
    EXPECT_EQ(hex(convert(q.in)), hex(q.out)) << q.name;
  }
}

// Bytes past the length read as the terminator, whatever the buffer holds there.
struct Bounded {
  const char* name;
  std::string buffer;
  size_t length;
  std::string out;
};

const Bounded kBounded[] = {
    {"pair partner beyond", "\x1b$B\x24\x22", 4, "\x82\x7e"},
    {"lead byte partner beyond", "\x82\xa0", 1, "\x82"},
    {"escape cut by the length", "\x1b$B\x24\x22", 2, "\x1b$"},
    {"end escape cut by the length", "\x1b$B\x24\x22\x1b(B", 7, "\x82\xa0\x7e\x47"},
    {"euc partner beyond", "\xa4\xa2", 1, "\xa4"},
};

TEST(ToShiftJis, ReadsOnlyTheGivenLength) {
  for (const Bounded& b : kBounded) {
    std::vector<unsigned char> out(b.length + 2, 0xEE);
    const size_t n =
        to_shiftjis(reinterpret_cast<const unsigned char*>(b.buffer.data()), b.length, out.data());
    EXPECT_EQ(hex(std::string(reinterpret_cast<char*>(out.data()), n)), hex(b.out)) << b.name;
    EXPECT_EQ(out[n], 0) << b.name;
    EXPECT_EQ(out[b.length + 1], 0xEE) << b.name << ": wrote past length + 1";
  }
}

TEST(ToShiftJis, EachCallStartsInSingleByteState) {
  EXPECT_EQ(convert("\x1b$B\x24\x22"), "\x82\xa0");
  EXPECT_EQ(convert("\x24\x22"), "\x24\x22");
}

}  // namespace
}  // namespace volari
