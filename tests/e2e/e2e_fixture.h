// Whole-program tests: the built vold32 in a scratch directory, as a user runs it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testlib/mkcache_runner.h"
#include "testlib/process.h"
#include "testlib/temp_dir.h"

namespace volari::testing {

class E2eTest : public ::testing::Test {
 protected:
  // The program as <dir>/vold32, so that its settings file is <dir>/VOLARI.INI.
  void SetUp() override { ASSERT_EQ(symlink(VOLARI_VOLD32, program().c_str()), 0); }

  std::string program() const { return dir.file("vold32"); }

  void make_cache(const std::string& manifest, const std::string& args = "",
                  const std::string& where = "cache") {
    ASSERT_EQ(run_mkcache(dir.file(where), manifest, args), 0);
  }

  // Runs the program in `cwd` (relative to the scratch directory) with standard input from
  // /dev/null; returns its console bytes.
  ProcessResult run(const std::vector<std::string>& args, const std::string& cwd = "") {
    std::vector<std::string> argv = {program()};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv, dir.file(cwd), {"TZ=Asia/Tokyo"});
  }

  TempDir dir;
};

}  // namespace volari::testing
