// A fresh temporary directory made current for one test; the old current directory is restored
// and the tree removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testlib/fake_platform.h"

namespace volari::testing {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/volari-config-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = std::filesystem::canonical(tmpl).string();
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
  static bool exists(const std::string& path) { return std::filesystem::exists(path); }
  // Names in a directory, sorted.
  static std::vector<std::string> names(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  // A native path in the program's form ('/' becomes '\').
  static std::string program_form(std::string path) {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }
  static std::string cwd() { return std::filesystem::current_path().string(); }

  FakePlatform platform_;
  std::string root_;
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
