// A TempDir made current for one test, in Tokyo time, with the file-time helpers TempDir lacks.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <string>

#include "testlib/temp_dir.h"

namespace volari::testing {

class TempTree : public ::testing::Test {
 protected:
  TempTree() {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    std::filesystem::current_path(dir.path());
  }
  ~TempTree() override { std::filesystem::current_path(old_); }

  void put(const std::string& path, const std::string& bytes) const { dir.write_file(path, bytes); }
  std::string get(const std::string& path) const { return dir.read_file(path); }
  static struct stat status(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
  }
  static void set_times(const std::string& path, time_t access, time_t write) {
    const struct timespec t[2] = {{access, 0}, {write, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0) << path;
  }

  const std::filesystem::path old_ = std::filesystem::current_path();
  TempDir dir;  // destroyed first, once old_ is current again
};

}  // namespace volari::testing
