// Disk, directory and file-time helpers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/packed_time.h"

namespace volari {

// True when `path` can be opened as a file in `mode` (a read mode).
bool file_exists(Platform& platform, const char* path, FileMode mode = FileMode::read);
// True for an existing directory or a bare drive ("Q:"); a readable file is not one.
bool dir_exists(Platform& platform, const char* path);
// Creates every missing directory of `path`, the last name included. True when the last
// directory was created, false when that failed (also when it already existed). Splits at every
// '\' that is not the second byte of a Shift-JIS character (a cut-off character would make a
// directory of a wrong name). The empty prefix of a leading '\' is not tried. A path of more than
// 263 bytes creates nothing.
bool make_dirs(Platform& platform, const char* path);

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

PackedTime pack_date_time(const DateTime& t);
// The current local time, packed.
PackedTime now_packed(Platform& platform);
// The last-write time of a file, or nothing when it cannot be read.
std::optional<UnixTime> file_write_time(Platform& platform, const char* path);
// A time in local time, packed; 0 when it cannot be converted.
PackedTime packed_local(Platform& platform, UnixTime time);
// The last-write time of a file in local time, packed; 0 when the file cannot be read.
PackedTime file_time_packed(Platform& platform, const char* path);
// Gives `destination` the access and write times of `source` (whole seconds); false on failure.
// A source without an access time (0 or less) gives its write time for both.
bool copy_file_times(Platform& platform, FileHandle source, FileHandle destination);

// State of the one directory scan of the process.
struct ScanState {
  bool active = false;
  char pattern[264] = {};
  std::unique_ptr<DirSearch> search;
};
enum class ScanEntry { file, directory, dot, end };
// Next entry matching `pattern` (a new pattern restarts the scan). Fills `out` (260 bytes, may be
// null) with the pattern's directory part, '\\' and the name. An entry whose name begins with '.'
// is a dot entry when `dot_entries` asks for them, else skipped; end (`out` emptied, scan ended)
// also for a directory that cannot be read and for a pattern of more than 263 bytes. A path
// longer than `out` is cut to fit.
ScanEntry scan_dir(Platform& platform, ScanState& state, const char* pattern, char* out,
                   bool dot_entries);

}  // namespace volari
