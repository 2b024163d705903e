// In-process runs: a run object on a fake platform (real files; fake clock, console, keys), with
// its files in a scratch directory: the cache in cache/, the output tree in out/.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "run/run.h"
#include "support/sjis.h"
#include "testlib/console_text.h"
#include "testlib/fake_platform.h"
#include "testlib/mkcache_runner.h"
#include "testlib/temp_dir.h"

namespace volari::testing {

inline std::string program_form(const std::string& native) {
  std::string p = native;
  path_from_native(p.data());
  return p;
}

// The settings file of the in-process runs: a complete run rewrites its LAST_TIME.
inline const std::string kSettingsFile = "[DIR]\r\nLAST_TIME=1997/03/29 12:34\r\n";

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = std::make_unique<volari::Run>(fake);
    Settings& s = run->settings;
    const std::string root = program_form(dir.path());
    copy_text(s.fat_filename, (root + "\\cache\\FAT.DB").c_str());
    copy_text(s.fat_directory, (root + "\\cache\\").c_str());
    copy_text(s.out_directory, (root + "\\out\\").c_str());
    copy_text(s.hst_filename, (root + "\\out\\HISTORY.HTM").c_str());
    copy_text(s.log_filename, (root + "\\out\\LOG.TXT").c_str());
    copy_text(s.sec_profile, (root + "\\VOLARI.INI").c_str());
    dir.write_file("out/.keep", "");
    dir.write_file("VOLARI.INI", kSettingsFile);
  }

  void make_cache(const std::string& manifest, const std::string& args = "") {
    ASSERT_EQ(run_mkcache(dir.file("cache"), manifest, args), 0);
  }

  // A fresh run object for a second run in the same directories.
  void next_run() {
    Settings kept = run->settings;
    run = std::make_unique<volari::Run>(fake);
    run->settings = kept;
    fake.console.clear();
  }

  std::string out(const std::string& rel) { return dir.read_file("out/" + rel); }

  TempDir dir;
  FakePlatform fake;
  std::unique_ptr<volari::Run> run;
};

}  // namespace volari::testing
