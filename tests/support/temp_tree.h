// A fresh temporary directory made current for one test, removed afterwards.
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
#include <string>

namespace volari::testing {

class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    char tmpl[] = "/tmp/volari-support-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(root_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(root_);
  }

  static void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static struct stat status(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
  }
  // Seconds since the epoch of a UTC date.
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

  std::filesystem::path root_;
  std::filesystem::path old_;
};

}  // namespace volari::testing
