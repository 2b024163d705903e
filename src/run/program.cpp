#include "run/program.h"

#include <memory>

#include "config/args.h"
#include "config/settings_file.h"
#include "run/run.h"

namespace volari {

int program_entry(Platform& platform, int argc, char** argv) {
  // The run holds its buffers (a few hundred kilobytes): keep them off the stack.
  auto run = std::make_unique<Run>(platform);
  load_settings(platform, run->settings, argc, argv);
  int status = kExitDone;
  switch (parse_command_line(platform, run->settings, argc, argv)) {
    case Request::run:
      run_pages(*run);
      if (run->failed) status = kExitFailed;
      break;
    case Request::usage:
      show_usage(platform);
      break;
    case Request::version:
      show_version(platform);
      break;
    case Request::unusable:
      show_usage(platform);
      status = kExitUsage;
      break;
  }
  platform.console_flush();
  return status;
}

}  // namespace volari
