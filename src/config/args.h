// The command line: the argument scanner, the option parser and the usage texts.
#pragma once

#include <cstddef>

#include "config/settings.h"
#include "platform/platform.h"
#include "support/disk.h"

namespace volari {

// Size of an argument buffer. A longer argument is cut to 259 bytes, never inside a double-byte
// character (its lead byte goes with it), so the buffer always holds whole characters.
constexpr size_t kArgBuffer = 260;

// The program's fixed name in the usage texts.
extern const char kProgramName[];  // "VOLD32"
extern const char kVersion[];      // "1.08"

struct ArgScanner {
  int count = 0;
  char** vector = nullptr;
  int cursor = 0;              // next argument; 0 before the start and after the end
  char path[kArgBuffer] = {};  // match of a pattern argument
  ScanState scan;
};

// Stores the arguments and sets the cursor to 1. True when arguments follow argv[0].
bool arg_start(ArgScanner& scanner, int argc, char** argv);

enum class ArgKind { option, plain, end };

// Next argument into `buf` (kArgBuffer bytes): an option ('-' or '/' first; `buf` holds the
// rest), a plain argument (whole), or the end (`buf` untouched). A plain argument with '?' or '*'
// is a file-name pattern (native form): each call delivers its next match, files and directories,
// but no directory whose name begins with '.' ("." and ".." included); a pattern without matches
// gives nothing.
ArgKind arg_next(ArgScanner& scanner, Platform& platform, char* buf);

// What the command line asks for, the later the stronger: a run, the version line (--version), an
// option the program does not know (the usage text; the run is refused), the usage text (-?,
// --help).
enum class Request { run, version, unusable, usage };

// Applies the options to `settings`: -!n debug level (1 without a value), -t n test level (1
// without a value), -h[file] history mode, -i, -k, -r, -v; letters are case-insensitive. Any
// other option gets the error line "option unknown '-X'." -? asks for the usage text; -?? shows
// the debug usage text at once. The last plain argument is the target host, lower-cased (ASCII
// letters, byte by byte).
Request parse_command_line(Platform& platform, Settings& settings, int argc, char** argv);

// Usage texts and the version line, on the console only.
void show_usage(Platform& platform);
void show_version(Platform& platform);
void show_debug_usage(Platform& platform);

// Number at the start of `text`: white space skipped, optional sign, decimal digits up to the first
// other byte; 0 without digits. Clamped to the int range.
int read_number(const char* text);

}  // namespace volari
