// The error line shown to the user on standard output.
#pragma once

#include <string>

namespace volari {

class Platform;

// Prints `message` on the console as a line of its own followed by an empty line; never written
// to the log. The message is held in a 512-byte line buffer (cut to fit); "\n" is added unless it
// already ends in '\n' (an empty message counts as not ending in '\n').
void error_line(Platform& platform, const char* message);
// The same for a message made of `format` with its one "%s" filled by `value` (a path, shown as
// the user writes paths: path_for_display).
void error_line(Platform& platform, const char* format, const std::string& value);

}  // namespace volari
