#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "child.h"
#include "platform/posix/posix_platform.h"

namespace volari::platform_test {
namespace {

// 0x95 0x5C is the character 表: its second byte is the code of '\'.
TEST(PlatformPaths, ToNativeStepsOverDoubleByteCharacters) {
  const struct {
    const char* program;
    const char* native;
  } cases[] = {
      {"", ""},
      {"\\tmp\\a\\b.htm", "/tmp/a/b.htm"},
      {"\x95\x5c\\x", "\x95\x5c/x"},
      {"\x81\\", "\x81\\"},   // lead byte and '\' are one character (a wide backslash)
      {"\xb1\\x", "\xb1/x"},  // half-width katakana is a single byte
      {"a\x81", "a\x81"},     // a lead byte cut off at the end stays as it is
      // A Linux directory named in UTF-8 keeps its separators: the last byte of "あ" is a lead
      // byte.
      {"\\home\\\xe3\x81\x82\\out\\x", "/home/\xe3\x81\x82/out/x"},
      {"\xe8\xa1\xa8\\\x95\x5c\\y", "\xe8\xa1\xa8/\x95\x5c/y"},
  };
  for (const auto& c : cases) {
    char out[64];
    ASSERT_TRUE(to_native(c.program, out, sizeof out)) << c.program;
    EXPECT_EQ(std::string(c.native), out) << c.program;
  }
}

TEST(PlatformPaths, ToNativeRefusesWhatDoesNotFit) {
  const struct {
    const char* program;
    size_t size;
    bool fits;
  } cases[] = {{"abc", 4, true},
               {"abc", 3, false},
               {"", 0, false},
               {"\x95\x5c", 2, false},
               {"a\x95\x5c", 3, false}};
  for (const auto& c : cases) {
    char out[8];
    std::memset(out, 'Z', sizeof out);
    EXPECT_EQ(c.fits, to_native(c.program, out, c.size)) << c.program << " in " << c.size;
    for (size_t i = c.size; i < sizeof out; ++i) EXPECT_EQ('Z', out[i]) << "past " << c.size;
  }
}

using PlatformFiles = PlatformDirTest;

TEST_F(PlatformFiles, OpenRefusesWhatIsNoFile) {
  dir.write_file("sub/f", "");
  for (FileMode mode : {FileMode::read, FileMode::write, FileMode::append}) {
    EXPECT_EQ(kNoFile, p.open_file(at("sub").c_str(), mode)) << static_cast<int>(mode);
  }
  EXPECT_EQ(kNoFile, p.open_file(at("missing").c_str(), FileMode::read));
  EXPECT_EQ(kNoFile, p.open_file(at("no\\such.txt").c_str(), FileMode::write));
  // In a child: an open of a FIFO that waits for a writer would never end.
  ASSERT_EQ(0, ::mkfifo(dir.file("fifo").c_str(), 0666));
  const std::string fifo = at("fifo");
  const ChildRun run = run_child(
      [&](int out) {
        report(out, PosixPlatform().open_file(fifo.c_str(), FileMode::read) == kNoFile);
      },
      {}, 3000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ("1 ", run.report);
}

TEST_F(PlatformFiles, WrittenBytesReadBackUnchanged) {
  dir.write_file("f.bin", "a long old content");  // emptied by the open
  const std::string bytes = std::string("a\r\nb\n\x1a\0\xff", 8) + "end";
  const FileHandle w = p.open_file(at("f.bin").c_str(), FileMode::write);
  ASSERT_NE(kNoFile, w);
  EXPECT_EQ(static_cast<long>(bytes.size()), p.write_file(w, bytes.data(), bytes.size()));
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), p.file_size(w));
  char buf[64];
  EXPECT_EQ(-1, p.read_file(w, buf, 1));  // written only
  EXPECT_TRUE(p.close_file(w));
  EXPECT_EQ(bytes, dir.read_file("f.bin"));
  EXPECT_FALSE(p.close_file(kNoFile));

  const FileHandle r = p.open_file(at("f.bin").c_str(), FileMode::read);
  ASSERT_NE(kNoFile, r);
  EXPECT_EQ(4, p.read_file(r, buf, 4));
  EXPECT_EQ(bytes.substr(0, 4), std::string(buf, 4));
  EXPECT_EQ(static_cast<long>(bytes.size() - 4), p.read_file(r, buf, sizeof buf));
  EXPECT_EQ(bytes.substr(4), std::string(buf, bytes.size() - 4));
  EXPECT_EQ(0, p.read_file(r, buf, sizeof buf));
  EXPECT_TRUE(p.close_file(r));

  for (const char* piece : {"abc", "de"}) {  // an append creates the file, then adds to it
    const FileHandle a = p.open_file(at("log").c_str(), FileMode::append);
    ASSERT_NE(kNoFile, a);
    EXPECT_EQ(static_cast<long>(std::strlen(piece)), p.write_file(a, piece, std::strlen(piece)));
    EXPECT_TRUE(p.close_file(a));
  }
  EXPECT_EQ("abcde", dir.read_file("log"));
}

TEST_F(PlatformFiles, TimesRoundTripAlsoAfter2038) {
  const struct {
    UnixTime access;
    UnixTime write;
  } cases[] = {
      {915148800, 900000000},    // 1999, 1998
      {2147483647, 2147483648},  // the last second of a 32-bit time_t and the first beyond it
      {7258118400, 7258118399},  // 2200 (ext4 keeps times up to 2446)
  };
  dir.write_file("t", "x");
  for (const auto& c : cases) {
    const FileHandle f = p.open_file(at("t").c_str(), FileMode::append);
    ASSERT_NE(kNoFile, f);
    EXPECT_TRUE(p.set_file_times(f, c.access, c.write)) << c.write;
    UnixTime access = 0, write = 0;
    EXPECT_TRUE(p.file_times(f, &access, &write));
    EXPECT_EQ(c.access, access);
    EXPECT_EQ(c.write, write);
    EXPECT_TRUE(p.close_file(f));
    struct stat st;
    ASSERT_EQ(0, ::stat(dir.file("t").c_str(), &st));
    EXPECT_EQ(c.write, static_cast<UnixTime>(st.st_mtim.tv_sec));
    EXPECT_EQ(c.access, static_cast<UnixTime>(st.st_atim.tv_sec));
  }
}

TEST_F(PlatformFiles, RenameReplacesTheTargetAndRemoveDeletes) {
  dir.write_file("ZEL_LIB.TMP", "new settings");
  dir.write_file("VOLARI.INI", "old settings");
  EXPECT_TRUE(p.rename_file(at("ZEL_LIB.TMP").c_str(), at("VOLARI.INI").c_str()));
  EXPECT_EQ("new settings", dir.read_file("VOLARI.INI"));
  EXPECT_FALSE(p.rename_file(at("ZEL_LIB.TMP").c_str(), at("VOLARI.INI").c_str()));
  EXPECT_EQ("new settings", dir.read_file("VOLARI.INI"));
  EXPECT_TRUE(p.remove_file(at("VOLARI.INI").c_str()));
  EXPECT_FALSE(p.remove_file(at("VOLARI.INI").c_str()));
  EXPECT_EQ(-1, p.attributes(at("VOLARI.INI").c_str()));
}

}  // namespace
}  // namespace volari::platform_test
