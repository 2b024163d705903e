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

// "" when Wine is ready to run the Windows program, else what is wrong and what to do. The first
// call does the work, and sets this process's TZ to the zone both programs run in.
const std::string& wine_problem();

// The command that runs `program` (a Linux path, or one of Wine's own programs such as wineboot)
// under Wine without the right to set the clock, and the environment every Wine process gets.
std::vector<std::string> wine_command(const std::string& program,
                                      const std::vector<std::string>& args);
std::vector<std::string> wine_environment();

}  // namespace volari::testing
