// The built program against a second run, a full disk and kills: what the user already has is
// never damaged, and a failure is never reported as success.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <thread>

#include "testlib/mkcache_runner.h"
#include "testlib/process.h"
#include "testlib/temp_dir.h"

namespace fs = std::filesystem;

namespace volari::testing {
namespace {

// The program beside its settings, and a cache of `pages` images of `size` bytes (P0.GIF...).
struct Copy : TempDir {
  Copy(int pages, size_t size) : pages(pages) {
    fill_cache(size);
    fs::copy_file(VOLARI_VOLD32, file("vold32"));
    write_file("VOLARI.INI",
               "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=../cache/FAT.DB\nOUTDIR=out\nHISTORY=\nLOG=\n");
    fs::create_directories(file("out"));
  }
  void fill_cache(size_t size) const {
    std::string manifest;
    for (int i = 0; i < pages; ++i) {
      const std::string n = std::to_string(i);
      manifest += "http://aa.bb/p" + n + ".gif P" + n + ".GIF gen=" + std::to_string(size) + "\n";
    }
    ASSERT_EQ(run_mkcache(file("cache"), manifest), 0);
  }
  ProcessResult run() const { return run_process({file("vold32"), "-v"}, path()); }
  std::map<std::string, std::string> copies() const {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(file("out"))) {
      if (e.is_regular_file()) all[e.path().filename()] = read_file(fs::relative(e.path(), path()));
    }
    return all;
  }
  int pages;
};

TEST(SafeWrites, ASecondRunOnTheSameSettingsChangesNothing) {
  Copy s(3, 100);
  PtyProcess first({s.file("vold32"), "-k"}, s.path());
  ASSERT_TRUE(first.wait_for("OS に戻ります", 30000)) << first.output();
  const std::string settings = s.read_file("VOLARI.INI");
  fs::remove_all(s.file("out"));
  const ProcessResult second = s.run();
  EXPECT_EQ(second.status, 1) << second.out << first.output();
  EXPECT_NE(second.out.find("settings file in use by another run"), std::string::npos);
  EXPECT_EQ(s.read_file("VOLARI.INI"), settings);
  EXPECT_FALSE(s.exists("out"));
  first.type("\r");
  EXPECT_EQ(first.wait_exit(10000), 0);
  EXPECT_EQ(s.run().status, 0);  // once the first has ended, the next goes ahead
}

// A re-run into a 200 KB file system whose pages have grown: every copy that no longer fits is
// reported ("コピーに失敗"), and keeps its earlier good copy whole; no temporary file is left.
TEST(SafeWrites, AFullDiskKeepsEveryEarlierCopy) {
  Copy s(20, 4000);
  const std::string out = s.file("out");
  if (mount("tmpfs", out.c_str(), "tmpfs", 0, "size=200k") != 0) {
    GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{out};
  ASSERT_EQ(s.run().status, 0);
  const auto before = s.copies();
  ASSERT_EQ(before.size(), 20u);
  s.fill_cache(16000);
  const ProcessResult r = s.run();
  EXPECT_EQ(r.status, 1);
  const std::string failure = "\x83R\x83s\x81[\x82\xC9\x8E\xB8\x94s";
  size_t failed = 0;
  for (size_t at = 0; (at = r.out.find(failure, at)) != r.out.npos; ++at) ++failed;
  EXPECT_GT(failed, 0u);
  EXPECT_LT(failed, 20u);
  size_t kept = 0;
  for (const auto& [name, bytes] : s.copies()) {
    kept += bytes == before.at(name);
    EXPECT_TRUE(bytes == before.at(name) || bytes == s.read_file("cache/" + name)) << name;
  }
  EXPECT_EQ(kept, failed);
  EXPECT_EQ(s.copies().size(), 20u);
}

// Kills at random moments of a re-run: every earlier copy stays whole, and so does VOLARI.INI
// (with the old LAST_TIME or the new one).
TEST(SafeWrites, KilledReRunsLeaveEveryCopyWhole) {
  Copy s(150, 40000);
  ASSERT_EQ(s.run().status, 0);
  const auto good = s.copies();
  const std::regex last_time("LAST_TIME=\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d\n");
  const std::string settings = std::regex_replace(s.read_file("VOLARI.INI"), last_time, "");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(s.run().status, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  std::mt19937 random(14);
  for (int kill_number = 0; kill_number < 20; ++kill_number) {
    {
      PtyProcess run({s.file("vold32"), "-v"}, s.path());
      std::this_thread::sleep_for(took * std::uniform_real_distribution<>(0, 1)(random));
    }                                    // killed as it goes
    const auto now_copies = s.copies();  // a killed run's temporary files may be left
    for (const auto& [name, bytes] : good) EXPECT_TRUE(now_copies.at(name) == bytes) << name;
    const std::string now = s.read_file("VOLARI.INI");
    EXPECT_TRUE(std::regex_search(now, last_time)) << kill_number;
    EXPECT_EQ(std::regex_replace(now, last_time, ""), settings) << kill_number;
  }
}

}  // namespace
}  // namespace volari::testing
