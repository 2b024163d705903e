// The error line shown to the user on standard output.
#pragma once

namespace volari {

class Platform;

// Prints `message` on the console as a line of its own followed by an empty line; never written
// to the log. The message is held in a 512-byte line buffer (cut to fit); "\n" is added unless it
// already ends in '\n' (an empty message counts as not ending in '\n').
void error_line(Platform& platform, const char* message);

}  // namespace volari
