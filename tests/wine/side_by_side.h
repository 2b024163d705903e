// The native program and the Windows build under Wine, run on the same cache with the same
// settings file and options, in the same directory path one after the other, and their results
// compared.
//
// What may differ, and only this (each platform's own doing, not the program's):
// 1. The Windows console writes every LF as CR LF on redirected standard output.
// 2. A full path that the platform reports (the program's own path, the current directory) starts
//    with Wine's drive "Z:" for the Linux root: "Z:\tmp\..." where Linux gives "\tmp\...".
// 3. The same in a history-page link: "file:///Z|/tmp/..." where Linux gives "file:///tmp/...".
// 4. Wine keeps Windows names in UTF-8 on Linux; the names compared are the program's Shift-JIS.
// 5. What a run stamps with the time of the run (LAST_TIME, the log, the history page, the
//    settings file, every directory) carries each run's own time.
// 6. The program file: vold32 (a link) beside VOLD32.EXE (a copy).
// Differences that only some runs meet (dated directories, Windows' names) are stated by the
// tests that meet them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testlib/temp_dir.h"
#include "wine/tree.h"
#include "wine/wine_session.h"

namespace volari::testing {

struct Outcome {
  std::vector<Captured> runs;  // one per program run, in order
  int64_t start = 0;           // wall clock around the runs, whole seconds (start rounded down,
  int64_t end = 0;             // end rounded up)
  Tree tree;                   // the run directory afterwards, the program file left out
};

// How the comparison treats directory times: the run's own time on both (default), or not at
// all (a test that checks dated directories itself).
struct Compare {
  bool directory_times = true;
};

class SideBySideTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Writes a test cache through mkcache into <scratch>/<where>.
  void make_cache(const std::string& manifest, const std::string& args = "",
                  const std::string& where = "cache");

  // A settings file: the three [DOS32] keys, then `dir_keys` under [DIR] and `option_keys` under
  // [OPTION] (each "KEY=value"), lines ending in CR LF.
  static std::string settings(const std::vector<std::string>& dir_keys,
                              const std::vector<std::string>& option_keys = {});

  // A path below the scratch directory in program form ('\' separators, no drive), which both
  // programs resolve to the same file.
  std::string program_path(const std::string& relpath) const;

  // Runs every argument list of `runs` in turn in <scratch>/run, first with the native program,
  // then with the Windows one. `prepare` fills the fresh directory before the first run of each.
  void run_both(const std::vector<std::vector<std::string>>& runs,
                const std::function<void(const std::string& run_dir)>& prepare = {});

  // Expects the Windows outcome to equal `want` (normally `native`, or a copy that a test changed
  // by the differences it states) up to the differences listed above.
  void expect_same(const Outcome& want, const Outcome& win, const Compare& how = {});

  // The generic differences undone in Windows text.
  std::string without_drive(const std::string& windows_text) const;
  std::string without_link_drive(const std::string& windows_text) const;

  // True when `t` lies within the outcome's runs.
  static bool during(const Outcome& o, int64_t t) { return o.start <= t && t <= o.end; }

  // Copies a file keeping its modification time, so both runs start from equal files.
  static void place(const std::string& from, const std::string& to);

  TempDir dir;
  Outcome native;
  Outcome windows;
};

// Local time (kTimeZone) in the form LAST_TIME is written, "YYYY/MM/DD hh:mm".
std::string last_time_text(int64_t t);

}  // namespace volari::testing
