// Running the Windows build (x86_64, build-win64/VOLD32.EXE) under Wine beside the native program.
//
// One Wine prefix serves every test process of a build tree: <test binary dir>/wine-prefix, made
// once (under a lock, since ctest runs test processes side by side) and made again when the Wine
// version changes. Each test process makes sure that a Wine session with its helper processes
// (services, devices, explorer) is up before its first run, with their standard streams on a log
// file: a helper started by a test's own run would hold that run's output pipe open.
//
// Every Wine process runs without the right to set the clock, so the Windows program's clock
// calls are refused as they would be for an ordinary user.
#pragma once

#include <string>
#include <vector>

namespace volari::testing {

// Time zone of both programs: no daylight saving, so Windows' file-time route through the zone's
// present offset and POSIX' offset at the time give the same local times.
constexpr char kTimeZone[] = "Asia/Tokyo";
// Wine takes its ANSI code page (932, Shift-JIS) and its file-name encoding from the locale.
constexpr char kWineLocale[] = "ja_JP.UTF-8";

// Wine ready to run the Windows program. ok false with a message saying what is wrong and what
// to do; the first call does the work, later calls return the same answer.
struct WineStatus {
  bool ok = false;
  std::string message;
  std::string prefix;
  double prefix_seconds = 0;   // time spent making the prefix in this process (0: it was there)
  double session_seconds = 0;  // time spent starting the session in this process
};
const WineStatus& wine_status();

// The environment of every Wine process ("NAME=value").
std::vector<std::string> wine_environment(const std::string& prefix);

// The command that runs `program` under Wine (a Linux path, or the name of one of Wine's own
// programs such as wineboot; the Wine server itself is run directly), without the right to set
// the clock.
std::vector<std::string> wine_command(const std::string& program,
                                      const std::vector<std::string>& args);

}  // namespace volari::testing
