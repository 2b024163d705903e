// The built program against a second run, a full disk and kills: what the user already has is
// never damaged, and a failure is never reported as success.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>

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

const char kSettings[] =
    "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=../cache/FAT.DB\nOUTDIR=out\nHISTORY=\nLOG=\n";
const char kCopyFailed[] = "\x83R\x83s\x81[\x82\xC9\x8E\xB8\x94s";  // "コピーに失敗"

// The program beside its settings, and a cache of `pages` images of `size` bytes (P0.GIF...).
class Copy {
 public:
  Copy(int pages, size_t size) : pages_(pages) {
    fill_cache(size);
    fs::copy_file(VOLARI_VOLD32, dir.file("vold32"));
    dir.write_file("VOLARI.INI", kSettings);
    fs::create_directories(dir.file("out"));
  }
  void fill_cache(size_t size) const {
    std::string manifest;
    for (int i = 0; i < pages_; ++i) {
      const std::string n = std::to_string(i);
      manifest += "http://aa.bb/p" + n + ".gif P" + n + ".GIF gen=" + std::to_string(size) + "\n";
    }
    ASSERT_EQ(run_mkcache(dir.file("cache"), manifest), 0);
  }
  std::vector<std::string> argv() const { return {dir.file("vold32"), "-v"}; }
  ProcessResult run() const { return run_process(argv(), dir.path()); }
  // Every file below out/ by its name.
  std::map<std::string, std::string> copies() const {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(dir.file("out"))) {
      if (!e.is_regular_file()) continue;
      all[e.path().filename().string()] = dir.read_file(fs::relative(e.path(), dir.path()));
    }
    return all;
  }
  TempDir dir;

 private:
  int pages_;
};

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(SafeWrites, ASecondRunOnTheSameSettingsChangesNothing) {
  Copy s(3, 100);
  PtyProcess first({s.dir.file("vold32"), "-k"}, s.dir.path());
  ASSERT_TRUE(first.wait_for("OS に戻ります", 30000)) << first.output();
  const std::string settings = s.dir.read_file("VOLARI.INI");
  fs::remove_all(s.dir.file("out"));
  const ProcessResult second = s.run();
  EXPECT_EQ(second.status, 1) << second.out << first.output();
  EXPECT_NE(second.out.find("settings file in use by another run"), std::string::npos);
  EXPECT_EQ(s.dir.read_file("VOLARI.INI"), settings);
  EXPECT_FALSE(s.dir.exists("out"));
  first.type("\r");
  EXPECT_EQ(first.wait_exit(10000), 0);
  EXPECT_EQ(s.run().status, 0);  // once the first has ended, the next goes ahead
}

// A re-run into a 200 KB file system whose pages have grown: every copy that no longer fits is
// reported, and keeps its earlier good copy whole.
TEST(SafeWrites, AFullDiskKeepsEveryEarlierCopy) {
  constexpr int kPages = 20;
  Copy s(kPages, 4000);
  const std::string out = s.dir.file("out");
  if (mount("tmpfs", out.c_str(), "tmpfs", 0, "size=200k") != 0) {
    GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{out};
  ASSERT_EQ(s.run().status, 0);
  const auto before = s.copies();
  ASSERT_EQ(before.size(), static_cast<size_t>(kPages));
  s.fill_cache(16000);
  const ProcessResult r = s.run();
  EXPECT_EQ(r.status, 1);
  const size_t failed = count(r.out, kCopyFailed);
  EXPECT_GT(failed, 0u);
  EXPECT_LT(failed, static_cast<size_t>(kPages));
  size_t kept = 0;
  for (const auto& [name, bytes] : s.copies()) {
    if (bytes == before.at(name)) {
      ++kept;
    } else {
      EXPECT_EQ(bytes, s.dir.read_file("cache/" + name)) << name;
    }
  }
  EXPECT_EQ(kept, failed);
  EXPECT_EQ(s.copies().size(), static_cast<size_t>(kPages));  // no temporary file left
}

// Kills at random moments of a re-run: every earlier copy stays whole, and so does VOLARI.INI
// (with the old LAST_TIME or the new one).
TEST(SafeWrites, KilledReRunsLeaveEveryCopyWhole) {
  Copy s(150, 40000);
  ASSERT_EQ(s.run().status, 0);
  const auto good = s.copies();
  const std::regex last_time("LAST_TIME=\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d\n");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(s.run().status, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  std::mt19937 random(14);
  for (int kill_number = 0; kill_number < 20; ++kill_number) {
    std::vector<std::string> args = s.argv();
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, s.dir.path().c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(took * std::uniform_real_distribution<>(0, 1)(random));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    for (const auto& [name, bytes] : good) {
      EXPECT_TRUE(s.dir.read_file("out/BB/AA/" + name) == bytes) << kill_number << name;
    }
    const std::string settings = s.dir.read_file("VOLARI.INI");
    EXPECT_EQ(std::regex_replace(settings, last_time, ""), kSettings) << kill_number;
    EXPECT_TRUE(std::regex_search(settings, last_time)) << kill_number;
  }
}

}  // namespace
}  // namespace volari::testing
