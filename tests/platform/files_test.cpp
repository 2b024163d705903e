#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "child.h"
#include "platform/platform.h"
#include "platform/posix/posix_platform.h"
#include "testlib/temp_dir.h"

namespace volari {
namespace {

using testing::TempDir;

std::string slurp(const std::string& native) {
  std::ifstream in(native, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& native, const std::string& bytes) {
  std::ofstream(native, std::ios::binary) << bytes;
}

class PlatformFiles : public ::testing::Test {
 protected:
  // Program-form path of `name` in the directory.
  std::string at(const std::string& name) const { return platform_test::prog(dir.path(), name); }
  Platform& p = system_platform();
  TempDir dir;
};

TEST_F(PlatformFiles, OpenRefusesADirectoryInEveryMode) {
  ASSERT_EQ(0, ::mkdir(dir.file("sub").c_str(), 0777));
  for (FileMode mode : {FileMode::read, FileMode::write, FileMode::append}) {
    const FileHandle f = p.open_file(at("sub").c_str(), mode);
    EXPECT_EQ(kNoFile, f) << static_cast<int>(mode);
    if (f != kNoFile) p.close_file(f);
  }
}

TEST_F(PlatformFiles, OpenForReadingRefusesAFifoWithoutWaiting) {
  ASSERT_EQ(0, ::mkfifo(dir.file("fifo").c_str(), 0666));
  const std::string fifo = at("fifo");
  // In a child: an open that waits for a writer would never end.
  const platform_test::ChildRun run = platform_test::run_child(
      [&](int report) {
        PosixPlatform own;
        platform_test::report_int(report, own.open_file(fifo.c_str(), FileMode::read) == kNoFile);
      },
      {}, 3000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(std::vector<int>{1}, platform_test::report_ints(run.report));
}

TEST_F(PlatformFiles, OpenForReadingRefusesAMissingFile) {
  EXPECT_EQ(kNoFile, p.open_file(at("missing").c_str(), FileMode::read));
  EXPECT_EQ(kNoFile, p.open_file(at("no\\such.txt").c_str(), FileMode::write));
}

TEST_F(PlatformFiles, WrittenBytesReadBackUnchanged) {
  const std::string bytes(
      "a\r\nb\n\x1a\0\xff"
      "end",
      11);
  const FileHandle w = p.open_file(at("f.bin").c_str(), FileMode::write);
  ASSERT_NE(kNoFile, w);
  EXPECT_EQ(static_cast<long>(bytes.size()), p.write_file(w, bytes.data(), bytes.size()));
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), p.file_size(w));
  EXPECT_TRUE(p.close_file(w));
  EXPECT_EQ(bytes, slurp(dir.file("f.bin")));

  const FileHandle r = p.open_file(at("f.bin").c_str(), FileMode::read);
  ASSERT_NE(kNoFile, r);
  char buf[64];
  EXPECT_EQ(4, p.read_file(r, buf, 4));
  EXPECT_EQ(bytes.substr(0, 4), std::string(buf, 4));
  EXPECT_EQ(static_cast<long>(bytes.size() - 4), p.read_file(r, buf, sizeof buf));
  EXPECT_EQ(bytes.substr(4), std::string(buf, bytes.size() - 4));
  EXPECT_EQ(0, p.read_file(r, buf, sizeof buf));
  EXPECT_TRUE(p.close_file(r));
}

TEST_F(PlatformFiles, WriteEmptiesAnExistingFile) {
  put(dir.file("f"), "a long old content");
  const FileHandle w = p.open_file(at("f").c_str(), FileMode::write);
  ASSERT_NE(kNoFile, w);
  EXPECT_EQ(3, p.write_file(w, "new", 3));
  EXPECT_TRUE(p.close_file(w));
  EXPECT_EQ("new", slurp(dir.file("f")));
}

TEST_F(PlatformFiles, AppendCreatesAndAddsToTheEnd) {
  for (const char* piece : {"abc", "de", "f"}) {
    const FileHandle a = p.open_file(at("log").c_str(), FileMode::append);
    ASSERT_NE(kNoFile, a);
    EXPECT_EQ(static_cast<long>(std::strlen(piece)), p.write_file(a, piece, std::strlen(piece)));
    EXPECT_TRUE(p.close_file(a));
  }
  EXPECT_EQ("abcdef", slurp(dir.file("log")));
}

TEST_F(PlatformFiles, ReadOfAWriteOnlyFileFails) {
  const FileHandle w = p.open_file(at("f").c_str(), FileMode::write);
  ASSERT_NE(kNoFile, w);
  char c;
  EXPECT_EQ(-1, p.read_file(w, &c, 1));
  EXPECT_TRUE(p.close_file(w));
  EXPECT_FALSE(p.close_file(kNoFile));
}

struct TimesCase {
  UnixTime access;
  UnixTime write;
};

const TimesCase kTimes[] = {
    {1000000000, 999999999},   // 2001
    {915148800, 900000000},    // 1999, 1998
    {2147483647, 2147483648},  // the last second of a 32-bit time_t and the first beyond it
    {4102444800, 4102444801},  // 2100
    {7258118400, 7258118399},  // 2200 (ext4 keeps times up to 2446)
};

TEST_F(PlatformFiles, TimesRoundTripAlsoAfter2038) {
  for (const TimesCase& c : kTimes) {
    put(dir.file("t"), "x");
    const FileHandle f = p.open_file(at("t").c_str(), FileMode::append);
    ASSERT_NE(kNoFile, f);
    EXPECT_TRUE(p.set_file_times(f, c.access, c.write)) << c.write;
    UnixTime access = 0;
    UnixTime write = 0;
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

TEST_F(PlatformFiles, RenameReplacesTheTarget) {
  put(dir.file("ZEL_LIB.TMP"), "new settings");
  put(dir.file("VOLARI.INI"), "old settings");
  EXPECT_TRUE(p.rename_file(at("ZEL_LIB.TMP").c_str(), at("VOLARI.INI").c_str()));
  EXPECT_EQ("new settings", slurp(dir.file("VOLARI.INI")));
  EXPECT_EQ(-1, p.attributes(at("ZEL_LIB.TMP").c_str()));
  EXPECT_FALSE(p.rename_file(at("ZEL_LIB.TMP").c_str(), at("VOLARI.INI").c_str()));
  EXPECT_EQ("new settings", slurp(dir.file("VOLARI.INI")));
}

TEST_F(PlatformFiles, RemoveDeletesAFileOnce) {
  put(dir.file("f"), "x");
  EXPECT_TRUE(p.remove_file(at("f").c_str()));
  EXPECT_EQ(-1, p.attributes(at("f").c_str()));
  EXPECT_FALSE(p.remove_file(at("f").c_str()));
}

}  // namespace
}  // namespace volari
