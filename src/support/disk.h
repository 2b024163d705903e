// Disk, directory and file-time helpers (module ZEL_DISK).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/packed_time.h"

namespace volari {

extern const char kZelDiskBanner[];  // "ZEL_DISK 1.49"

// 1 when `path` can be opened for reading as a file, else 0.
int file_exists(Platform& platform, const char* path);
// 1 for an existing directory or a bare drive ("Q:"), 0 otherwise (a readable file is not one).
int dir_exists(Platform& platform, const char* path);
// Creates every missing directory of `path`, the last name included. Returns 0 when the last
// directory was created, -1 when that failed (also when it already existed). Splits at every '\'
// that is not the second byte of a Shift-JIS character (a cut-off character would make a
// directory of a wrong name). The empty prefix of a leading '\' is not tried. A path of more than
// 263 bytes creates nothing and gives -1.
int make_dirs(Platform& platform, const char* path);

// Directories that make_dirs_dated stamped directly (DirDating::by_stamp), with their times, so
// the run can stamp them again at its end: adding entries to a POSIX directory moves its time.
struct DatedDirs {
  std::vector<std::pair<std::string, UnixTime>> stamped;
};

// As make_dirs, and the directories it creates bear the last-write time of `reference`.
// Windows: by setting the system clock for the moment (and back). POSIX: by stamping each new
// directory, recorded in `dated`. When the reference's time cannot be read, plain make_dirs.
void make_dirs_dated(Platform& platform, const char* path, const char* reference, DatedDirs& dated);
// Stamps every recorded directory with its time again.
void restamp_dated_dirs(Platform& platform, const DatedDirs& dated);

// The current local time, packed.
PackedTime now_packed(Platform& platform);
// The last-write time of a file in local time, packed; 0 when the file cannot be read.
PackedTime file_time_packed(Platform& platform, const char* path);
// Gives `destination` the access and write times of `source` (whole seconds): 0, or -1 on failure.
// A source without an access time (0 or less) gives its write time for both.
int copy_file_times(Platform& platform, FileHandle source, FileHandle destination);

// State of the one directory scan of the process.
struct ScanState {
  bool active = false;
  char pattern[264] = {};
  std::unique_ptr<DirSearch> search;
};
constexpr int kScanFile = 1;
constexpr int kScanDirectory = 2;
constexpr int kScanDot = 4;
// Next entry matching `pattern` (a new pattern restarts the scan). Fills `out` (260 bytes, may be
// null) with the pattern's directory part, '\' and the name. Returns 1 file, 2 directory, 4 an
// entry whose name begins with '.' (only when `flags` holds 4; skipped otherwise), -1 at the end
// (`out` emptied, scan ended; also for a directory that cannot be read and for a pattern of more
// than 263 bytes). A path longer than `out` is cut to fit.
int scan_dir(Platform& platform, ScanState& state, const char* pattern, char* out, int flags);

}  // namespace volari
