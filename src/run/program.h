// Program entry: load the settings, read the command line, then one run or the usage text.
#pragma once

#include "platform/platform.h"

namespace volari {

// Always returns 0, the exit status.
int program_entry(Platform& platform, int argc, char** argv);

}  // namespace volari
