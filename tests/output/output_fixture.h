// A run's output state over real files in a fresh temporary directory (made current), with a
// platform that records the size of every binary read and write.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "index/cache_entry.h"
#include "output/output.h"
#include "testlib/fake_platform.h"
#include "testlib/temp_dir.h"

namespace volari::testing {

class CountingPlatform : public FakePlatform {
 public:
  std::vector<size_t> reads;   // sizes asked for
  std::vector<size_t> writes;  // sizes asked for
  std::vector<std::string> opens;

  FileHandle open_file(const char* path, FileMode mode) override {
    opens.push_back(path);
    return FakePlatform::open_file(path, mode);
  }
  long read_file(FileHandle f, void* buf, size_t n) override {
    reads.push_back(n);
    return FakePlatform::read_file(f, buf, n);
  }
  long write_file(FileHandle f, const void* buf, size_t n) override {
    writes.push_back(n);
    return FakePlatform::write_file(f, buf, n);
  }
};

// Shift-JIS bytes of the program's Japanese texts, written out independently of the program.
// ERROR:ファイルのコピーに失敗しました\n
inline const std::string kCopyFailedBytes =
    "ERROR:\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x83\x52\x83\x73\x81\x5b\x82\xc9\x8e\xb8\x94\x73"
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd\n";
// 変換時刻
inline const std::string kConvertedAtBytes = "\x95\xcf\x8a\xb7\x8e\x9e\x8d\x8f";

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    dir_ = std::make_unique<TempDir>();
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_->path());
  }
  void TearDown() override {
    close_history(ctx);
    std::filesystem::current_path(old_);
    dir_.reset();
  }

  // What the end of one run and the start of the next do to the output state.
  void new_run() {
    close_history(ctx);
    state->page_title[0] = '\0';
  }

  static void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static bool exists(const std::string& path) { return std::filesystem::exists(path); }
  static struct stat status(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
  }
  static time_t utc(int y, int mo, int d, int h, int mi, int s) {
    struct tm tm = {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return timegm(&tm);
  }
  static void set_times(const std::string& path, time_t access, time_t write) {
    struct timespec t[2] = {};
    t[0].tv_sec = access;
    t[1].tv_sec = write;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0) << path;
  }
  // Every LF as CR LF, as the text-mode files hold it.
  static std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }

  CountingPlatform platform;
  Settings settings;
  Messages messages{platform};
  std::unique_ptr<OutputState> state = std::make_unique<OutputState>(platform);
  std::unique_ptr<PageBuffer> page = std::make_unique<PageBuffer>();
  OutputContext ctx{platform, settings, messages, *state, page->bytes};

 private:
  std::unique_ptr<TempDir> dir_;
  std::filesystem::path old_;
};

}  // namespace volari::testing
