#include "platform/posix/native_names.h"
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "platform/cp932.h"

namespace volari::platform_test {
namespace {

struct NameCase {
  const char* what;
  std::string program;
  std::string native;
  bool both_ways;  // else program -> native only
};

const NameCase kNames[] = {
    {"ASCII, separators", "a\\b\\INDEX.HTM", "a/b/INDEX.HTM", true},
    {"kanji", "\x93\xfa\x96\x7b", "\xe6\x97\xa5\xe6\x9c\xac", true},
    {"hiragana, katakana", "\x82\xa0\x83\x41", "\xe3\x81\x82\xe3\x82\xa2", true},
    {"half-width katakana", "\xb1", "\xef\xbd\xb1", true},
    {"second byte 0x5C", "\x95\x5c\\x", "\xe8\xa1\xa8/x", true},
    {"NEC code of an IBM character", "\xee\xef", "\xe2\x85\xb0", false},
    {"the code Windows writes for it", "\xfa\x40", "\xe2\x85\xb0", true},
    {"yen sign, which iconv writes as 0x5C", "\xff\xa2\xfd\xc5", "\xc2\xa5", true},
    {"0x80, 0xA0, lone lead", "\x80\xa0z\x81", "%80%A0z%81", false},
    {"lead before a non-trail", "\x81\x7f ", "%81\x7f ", false},
    {"0xFD and 0xFF outside an escape", "\xfd\x40\xff\xe0", "%FD@%FF%E0", false},
    {"unassigned pair with 0x5C", "x\x85\x5c\\y", "x%85%5C/y", false},
    {"a URL name in UTF-8, read as a browser does", "\xe6\x97\xa5", "\xe8\xad\x8c\xef\xbd\xa5",
     false},
    {"native percent", "%85", "%85", true},
    {"EUC-JP native name", "\xff\xa6\xff\xdc\xff\xab\xff\xbc\\a", "\xc6\xfc\xcb\xdc/a", true},
    {"e-acute", "caf\xff\xa3\xfd\xc9", "caf\xc3\xa9", true},
    {"emoji", "\xff\xd0\xfd\xbf\xfd\xb8\xfd\xa0", "\xf0\x9f\x98\x80", true},
    {"surrogate, overlong", "\xff\xcd\xfd\xc0\xfd\xa0\xff\xa0\xfd\xcf\xff\xc0\xfd\xa0\xfd\xcf",
     "\xed\xa0\x80\xc0\xaf\xe0\x80\xaf", true},
    {"native backslash", "a\xfd\x80\x62", "a\\b", true},
};

TEST(NativeNames, TableBothWays) {
  for (const NameCase& c : kNames) {
    EXPECT_EQ(native_path(c.program), c.native) << c.what;
    if (c.both_ways) {
      EXPECT_EQ(path_from_native(c.native), c.program) << c.what;
    }
  }
}

void percent(unsigned char c, std::string& out) {
  char hex[4];
  out.append(hex, static_cast<size_t>(std::snprintf(hex, sizeof hex, "%%%02X", c)));
}

// Every code against glibc's CP932 (the same table, read without this code's arrays); a code
// read back gives itself, or for a character with two codes one that reads as the same.
TEST(NativeNames, EveryCodeAgainstIconv) {
  iconv_t cd = ::iconv_open("UTF-8", "CP932");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (unsigned code = 0x80; code <= 0xFFFF; ++code) {
    std::string sjis;
    if (code >= 0x100) sjis.push_back(static_cast<char>(code >> 8));
    sjis.push_back(static_cast<char>(code));
    const auto* s = reinterpret_cast<const unsigned char*>(sjis.data());
    if (sjis_char_length(s, sjis.size()) != sjis.size()) continue;
    char out[8];
    char* in = &sjis[0];
    char* o = out;
    size_t in_left = sjis.size();
    size_t out_left = sizeof out;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool ok = ::iconv(cd, &in, &in_left, &o, &out_left) != static_cast<size_t>(-1);
    std::string want = ok ? std::string(out, o) : "";
    for (size_t k = 0; !ok && k < sjis.size(); ++k) percent(s[k], want);
    ASSERT_EQ(native_path(sjis), want) << std::hex << code;
    ASSERT_EQ(sjis_to_utf8(sjis, percent), want) << std::hex << code;
    if (ok) {
      ASSERT_EQ(native_path(path_from_native(want)), want) << std::hex << code;
    }
  }
  ::iconv_close(cd);
}

// Anything read from the file system comes back unchanged, and readers of program form that
// pair a lead byte (0x81-0x9F, 0xE0-0xFC), or any byte of 0x80 or more, with the next find
// exactly the native separators.
TEST(NativeNames, NativeBytesSurviveAndSeparatorsStay) {
  std::mt19937 rng(13);
  const char kPool[] = {'/',    '\\',   'a',    '%',    '\xdf', '\x81', '\x9f', '\xa4', '\xc3',
                        '\xe3', '\xe6', '\xed', '\xf0', '\xfc', '\xfd', '\xff', '\x80', '\xbf'};
  for (int round = 0; round < 20000; ++round) {
    std::string native(rng() % 12, '\0');
    for (char& c : native) c = kPool[rng() % sizeof kPool];
    const std::string program = path_from_native(native);
    ASSERT_EQ(native_path(program), native);
    for (const bool any_high : {false, true}) {
      size_t seps = 0;
      for (size_t i = 0; i < program.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(program[i]);
        if (c == '\\') ++seps;
        if (any_high ? c >= 0x80 : (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ++i;
      }
      ASSERT_EQ(seps, static_cast<size_t>(std::count(native.begin(), native.end(), '/')))
          << testing::PrintToString(native);
    }
  }
}

TEST(NativeNames, TypedValuesAndDisplay) {
  const struct {
    const char* what;
    std::string typed;
    std::string program;
  } kTyped[] = {
      {"UTF-8 from a Linux user", "/home\\\xe5\xb1\xb1\xe7\x94\xb0/x",
       "\\home\\\x8e\x52\x93\x63\\x"},
      {"UTF-8 that is also plausible Shift-JIS", "\xe3\x81\x82\x61", "\x82\xa0\x61"},
      {"UTF-8 that code page 932 cannot write", "/caf\xc3\xa9", "\\caf\xff\xa3\xfd\xc9"},
      {"Shift-JIS from Windows", "C:\\\x8e\x52\x93\x63/x", "C:\\\x8e\x52\x93\x63\\x"},
      {"Shift-JIS half-width katakana", "\xc3\xde\xb0\xc0/", "\xc3\xde\xb0\xc0\\"},
      {"Shift-JIS second byte 0x5C", "\x95\x5c/x", "\x95\x5c\\x"},
      {"ASCII", "a/b\\c", "a\\b\\c"},
      {"no UTF-8: a surrogate", "\xed\xa0\x80", "\xed\xa0\x80"},
      {"no UTF-8: beyond U+10FFFF", "\xf4\x90\x80\x80", "\xf4\x90\x80\x80"},
  };
  for (const auto& c : kTyped) EXPECT_EQ(path_from_user(c.typed), c.program) << c.what;
  EXPECT_EQ(path_for_display("a\\\x95\x5c\\b\\"), "a/\x95\x5c/b/");
}

}  // namespace
}  // namespace volari::platform_test
