// Program entry: load the settings, read the command line, then one run or the usage text.
#pragma once

#include "platform/platform.h"

namespace volari {

// The exit status: what a script or scheduler learns of the run.
constexpr int kExitDone = 0;    // all that was asked was done (a test run, -?, Escape included)
constexpr int kExitFailed = 1;  // stopped on an error, a copy failed, LAST_TIME not stored...
constexpr int kExitUsage = 2;   // a command line the program cannot use

int program_entry(Platform& platform, int argc, char** argv);

}  // namespace volari
