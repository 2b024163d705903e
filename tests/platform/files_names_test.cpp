// The real platform's files, directories, clock conversions and names, in a scratch directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <thread>

#include "platform/cp932.h"
#include "platform/posix/native_names.h"
#include "platform/posix/posix_platform.h"
#include "testlib/temp_dir.h"

namespace volari {
namespace {

// Open refuses a directory, a missing folder and (without waiting for a writer) a FIFO; file and
// directory times go beyond 2038 (and 2106); the current directory in program form (Shift-JIS
// names, UTF-8 on disk).
TEST(PlatformFiles, RefusalsTimesBeyond2038AndTheCurrentDirectory) {
  testing::TempDir dir;
  Platform& p = system_platform();
  const auto at = [&](const char* name) { return path_from_native(dir.path()) + "\\" + name; };
  dir.write_file("sub/f", "");
  for (FileMode mode : {FileMode::read, FileMode::write, FileMode::append}) {
    EXPECT_EQ(kNoFile, p.open_file(at("sub").c_str(), mode)) << static_cast<int>(mode);
  }
  EXPECT_EQ(kNoFile, p.open_file(at("no\\such.txt").c_str(), FileMode::write));
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0666));
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(kNoFile, p.open_file(at("fifo").c_str(), FileMode::read));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  writer.join();
  const UnixTime t = 7258118400;  // 2200
  const FileHandle f = p.open_file(at("t").c_str(), FileMode::append);
  ASSERT_NE(kNoFile, f);
  EXPECT_TRUE(p.set_file_times(f, t + 1, t));
  UnixTime access = 0, write = 0;
  EXPECT_TRUE(p.file_times(f, &access, &write));
  EXPECT_TRUE(p.close_file(f));
  EXPECT_EQ(access, t + 1);
  EXPECT_EQ(write, t);
  EXPECT_TRUE(p.make_dir(at("d").c_str()));
  EXPECT_FALSE(p.make_dir(at("d").c_str()));
  EXPECT_FALSE(p.make_dir(at("a\\b").c_str()));  // its parent is missing
  EXPECT_TRUE(p.set_path_time(at("d").c_str(), 4102444800));
  struct stat st;
  ASSERT_EQ(0, ::stat(dir.file("d").c_str(), &st));
  EXPECT_EQ(4102444800, static_cast<UnixTime>(st.st_mtim.tv_sec));
  EXPECT_TRUE(p.make_dir(at("\x93\xfa\x96\x7b").c_str()));  // 日本
  const auto saved = std::filesystem::current_path();
  EXPECT_TRUE(p.change_dir(at("\x93\xfa\x96\x7b").c_str()));
  EXPECT_EQ(std::filesystem::current_path(), dir.file("日本"));
  char out[PATH_MAX];
  EXPECT_TRUE(p.current_dir(out, sizeof out));
  EXPECT_EQ(std::string(out), at("\x93\xfa\x96\x7b"));
  EXPECT_FALSE(p.current_dir(out, std::strlen(out)));  // no room for the terminator
  EXPECT_FALSE(p.change_dir(""));
  std::filesystem::current_path(saved);
}

TEST(PlatformWildcards, DosRules) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.*", "README", true},  // as on Windows: "*.*" is every name
      {"*.HTM", "index.htm", true},
      {"*.htm", "INDEX.HTML", false},
      {"INDEX.*", "index", true},
      {"INDEX.", "INDEX", true},
      {"?", "xy", false},
      {"a*c", "a.b.c", true},
      {"[a]", "a", false},
      {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"\x83\x41", "\x83\x61", false},  // ア and ャ differ in a second byte that reads 'A' / 'a'
  };
  for (const auto& [pattern, name, matches] : cases) {
    EXPECT_EQ(matches, dos_wildcard_match(pattern, name)) << pattern << " / " << name;
  }
}

// Names each character's every code does not settle: separators, escapes, bytes that are no
// Shift-JIS character. `both_ways`: the native name also reads back as the program one.
TEST(NativeNames, TableBothWays) {
  const struct {
    const char* what;
    std::string program, native;
    bool both_ways;
  } cases[] = {
      {"second byte 0x5C", "\x95\x5c\\x", "\xe8\xa1\xa8/x", true},
      {"the code Windows writes for an IBM character", "\xfa\x40", "\xe2\x85\xb0", true},
      {"yen sign, which iconv writes as 0x5C", "\xff\xa2\xfd\xc5", "\xc2\xa5", true},
      {"0x80, 0xA0, lone lead", "\x80\xa0z\x81", "%80%A0z%81", false},
      {"lead before a non-trail", "\x81\x7f ", "%81\x7f ", false},
      {"0xFD and 0xFF outside an escape", "\xfd\x40\xff\xe0", "%FD@%FF%E0", false},
      {"unassigned pair with 0x5C", "x\x85\x5c\\y", "x%85%5C/y", false},
      {"a URL name in UTF-8, read as a browser does", "\xe6\x97\xa5", "\xe8\xad\x8c\xef\xbd\xa5",
       false},
      {"native percent", "%85", "%85", true},
      {"EUC-JP native name", "\xff\xa6\xff\xdc\xff\xab\xff\xbc\\a", "\xc6\xfc\xcb\xdc/a", true},
      {"emoji", "\xff\xd0\xfd\xbf\xfd\xb8\xfd\xa0", "\xf0\x9f\x98\x80", true},
      {"surrogate, overlong", "\xff\xcd\xfd\xc0\xfd\xa0\xff\xa0\xfd\xcf\xff\xc0\xfd\xa0\xfd\xcf",
       "\xed\xa0\x80\xc0\xaf\xe0\x80\xaf", true},
      {"native backslash", "a\xfd\x80\x62", "a\\b", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(native_path(c.program), c.native) << c.what;
    EXPECT_EQ(c.both_ways ? path_from_native(c.native) : c.program, c.program) << c.what;
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
    char out[8], *in = &sjis[0], *o = out;
    size_t in_left = sjis.size(), out_left = sizeof out;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool ok = ::iconv(cd, &in, &in_left, &o, &out_left) != static_cast<size_t>(-1);
    std::string want = ok ? std::string(out, o) : "";
    for (size_t k = 0; !ok && k < sjis.size(); ++k) percent(s[k], want);
    ASSERT_EQ(native_path(sjis), want) << std::hex << code;
    ASSERT_EQ(sjis_to_utf8(sjis, percent), want) << std::hex << code;
    ASSERT_EQ(ok ? native_path(path_from_native(want)) : want, want) << std::hex << code;
  }
  ::iconv_close(cd);
}

TEST(NativeNames, TypedValuesAndDisplay) {
  const std::pair<std::string, std::string> typed[] = {
      {"/home\\\xe5\xb1\xb1\xe7\x94\xb0/x", "\\home\\\x8e\x52\x93\x63\\x"},  // UTF-8
      {"\xe3\x81\x82\x61", "\x82\xa0\x61"},       // UTF-8 that is also plausible Shift-JIS
      {"/caf\xc3\xa9", "\\caf\xff\xa3\xfd\xc9"},  // UTF-8 that code page 932 cannot write
      {"C:\\\x8e\x52\x93\x63/x", "C:\\\x8e\x52\x93\x63\\x"},  // Shift-JIS from Windows
      {"\x95\x5c/x", "\x95\x5c\\x"},
      {"\xed\xa0\x80", "\xed\xa0\x80"},          // no UTF-8: a surrogate
      {"\xf4\x90\x80\x80", "\xf4\x90\x80\x80"},  // no UTF-8: beyond U+10FFFF
  };
  for (const auto& [in, program] : typed) {
    EXPECT_EQ(path_from_user(in), program) << ::testing::PrintToString(in);
  }
  EXPECT_EQ(path_for_display("a\\\x95\x5c\\b\\"), "a/\x95\x5c/b/");
}

}  // namespace
}  // namespace volari
