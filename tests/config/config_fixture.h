// A fresh temporary directory made current for one test; the old current directory is restored
// and the tree removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "testlib/fake_platform.h"
#include "testlib/temp_dir.h"

namespace volari::testing {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(root_);
  }
  void TearDown() override { std::filesystem::current_path(old_); }

  // Files by their path below the directory, whatever the current directory is by then.
  void put(const std::string& rel, const std::string& bytes) const { dir_.write_file(rel, bytes); }
  std::string get(const std::string& rel) const { return dir_.read_file(rel); }
  // Names in a directory below the directory, sorted.
  std::vector<std::string> names(const std::string& rel = "") const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir_.file(rel))) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  struct stat status(const std::string& rel) const {
    struct stat st = {};
    EXPECT_EQ(lstat(dir_.file(rel).c_str(), &st), 0) << rel;
    return st;
  }

  FakePlatform platform_;
  TempDir dir_;
  const std::string root_ = std::filesystem::canonical(dir_.path()).string();
  std::filesystem::path old_;
};

// An argument vector that owns its texts.
class Argv {
 public:
  Argv(std::initializer_list<std::string> args) : Argv(std::vector<std::string>(args)) {}
  explicit Argv(std::vector<std::string> args) : texts_(std::move(args)) {
    for (auto& t : texts_) pointers_.push_back(&t[0]);
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(texts_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

}  // namespace volari::testing
