#include "support/error_line.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "support/sjis.h"

namespace volari {

void error_line(Platform& platform, const char* message) {
  char line[512];
  size_t n = copy_text(line, message);
  if (n == 0 || line[n - 1] != '\n') {
    if (n > sizeof(line) - 2) n = sizeof(line) - 2;  // keep room for the line end
    line[n++] = '\n';
    line[n] = '\0';
  }
  platform.console_write(line, n);
  platform.console_write("\n", 1);
}

void error_line(Platform& platform, const char* format, const std::string& value) {
  char line[512];
  std::snprintf(line, sizeof line, format, path_for_display(value).c_str());
  error_line(platform, line);
}

}  // namespace volari
