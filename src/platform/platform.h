// The one seam between VOLARI and the operating system.
//
// Everything that talks to the OS goes through a Platform: files, directories, the clock, the
// console and the keyboard. Two implementations are picked by the build (posix/, win32/); a
// PlatformWrapper (platform_wrapper.h) forwards every call to another one, so that a test's fake
// overrides only what it needs.
//
// Paths are always in the program's own form: Shift-JIS bytes with '\' as separator
// (".\CC\BB\AA.DOM\INDEX.HTM"). The POSIX implementation hands the OS UTF-8 names with '/'
// (stepping over double-byte characters, so a Shift-JIS second byte 0x5C stays a byte of its
// character, as Windows' ANSI calls treat it); names it hands back come in program form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace volari {

// Broken-down date and time, as the Windows clock calls give it (SYSTEMTIME).
struct DateTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day_of_week = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t millisecond = 0;
};

// Seconds since 1970-01-01 00:00:00 UTC.
using UnixTime = int64_t;

using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// Files are always opened binary; text mode lives in support/text_file.h so that every platform
// writes the same bytes.
enum class FileMode {
  read,          // existing regular file only (a directory is refused, as on Windows)
  read_no_link,  // as read, and the name itself is no link (a cached file must be the file)
  write,         // created, or emptied when it exists
  append,        // created when missing; every write goes to the end
  create_new,    // created; fails when the name exists in any form, a dangling link included
};

// How make_dirs_dated gives new directories the reference file's time.
enum class DirDating {
  by_clock,  // set the system clock for the moment of creation (Windows)
  by_stamp,  // stamp the directory's times directly; the run stamps again at its end (POSIX)
};

constexpr int kAttrDirectory = 0x10;

// One entry found by a directory search.
struct FoundEntry {
  char name[260] = {};  // program form (Shift-JIS bytes), NUL-terminated
  bool directory = false;
};

// An open wildcard search; deliver entries one at a time.
class DirSearch {
 public:
  virtual ~DirSearch() = default;
  // Fills `out` with the next match; false when there is none left.
  virtual bool next(FoundEntry* out) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Files (binary) ---
  // Opens a file; kNoFile on failure.
  virtual FileHandle open_file(const char* path, FileMode mode) = 0;
  // Reads up to n bytes: the count read (fewer only at the end of the file), 0 at the end, -1 on
  // an error.
  virtual long read_file(FileHandle f, void* buf, size_t n) = 0;
  // Writes n bytes: the count written; anything but n is a failure (-1 on an error).
  virtual long write_file(FileHandle f, const void* buf, size_t n) = 0;
  // Closes a file; false when the close reports an error (data may not have reached the disk),
  // and for kNoFile.
  virtual bool close_file(FileHandle f) = 0;
  // Length of an open file, -1 when unknown.
  virtual int64_t file_size(FileHandle f) = 0;
  // Last-access and last-write times of an open file, whole seconds (fstat-style).
  virtual bool file_times(FileHandle f, UnixTime* access, UnixTime* write) = 0;
  // Sets the last-access and last-write times of an open file (futime-style).
  virtual bool set_file_times(FileHandle f, UnixTime access, UnixTime write) = 0;
  // Deletes a file; false when it cannot (also when it is not there).
  virtual bool remove_file(const char* path) = 0;
  // Renames `from` to `to`, replacing `to` when it exists (a link named `to` is replaced itself,
  // its target untouched).
  virtual bool rename_file(const char* from, const char* to) = 0;
  // Gives `to` the permission bits of `from` (POSIX; Windows keeps its defaults).
  virtual bool copy_permissions(FileHandle from, FileHandle to) = 0;

  // --- Confinement ---
  // From now on, every path below `dir` (program form, absolute, as current_dir gives it) that is
  // opened for writing, made, removed, renamed or stamped is resolved name by name from `dir`
  // without passing through a link (POSIX: a symbolic link; Windows: a reparse point): a link on
  // the way, or as the name itself, fails the call (rename_file replaces a link named `to`). A
  // file with a second name (a hard link) is not opened for writing. "" ends the confinement.
  // False when `dir` cannot be opened; nothing is confined then.
  virtual bool confine_writes(const char* dir) = 0;
  // The file a path names when its own name is a link: the link's target, every link on the way
  // followed, in program form; else (and when that cannot be told) the path itself.
  virtual std::string resolve_links(const char* path) = 0;
  // Takes an advisory lock tied to `path` (the settings file): false when another process holds
  // it; else true, with `*lock` to be closed by close_file when done (kNoFile when there is
  // nothing to lock). Nothing is written: POSIX locks the file's folder (which outlives a rewrite
  // of the file), Windows takes a named mutex.
  virtual bool lock_file(const char* path, FileHandle* lock) = 0;
  // The program's own file in program form: POSIX asks the kernel (/proc/self/exe), Windows the
  // module's file name; `argv0` when the system cannot tell.
  virtual std::string program_file(const char* argv0) = 0;

  // --- Directories and paths ---
  // Attribute bits of a path (kAttrDirectory for a directory), -1 when it does not exist.
  virtual int attributes(const char* path) = 0;
  // Creates one directory; false when it cannot (also when it exists).
  virtual bool make_dir(const char* path) = 0;
  // Stamps a directory's access and write times (used by DirDating::by_stamp).
  virtual bool set_path_time(const char* path, UnixTime time) = 0;
  // The last-write time of a directory (or file) by its path.
  virtual bool path_write_time(const char* path, UnixTime* write) = 0;
  // Makes `path` the current directory; false when it cannot (also for an empty path).
  virtual bool change_dir(const char* path) = 0;
  // Full path of the current directory in program form; false when it does not fit in `size`.
  virtual bool current_dir(char* out, size_t size) = 0;
  // Starts a search for a DOS wildcard pattern ("*", "?", "*.*" matches every name) in the
  // pattern's directory. Entries "." and ".." are delivered as Windows does; POSIX sorts names.
  // Null when the directory cannot be read.
  virtual std::unique_ptr<DirSearch> find_files(const char* pattern) = 0;

  // --- Clock ---
  // The local date and time now.
  virtual DateTime local_time() = 0;
  // Milliseconds since some fixed moment; wraps at 2^32.
  virtual uint32_t tick_count() = 0;
  // Setting the clock: false when refused. POSIX always refuses: the clock is the machine's.
  virtual bool set_local_time(const DateTime& t) = 0;
  virtual bool set_system_time(const DateTime& utc) = 0;
  // Conversions of a file time to broken-down local time and UTC (millisecond 0); false for a
  // time a Windows file time cannot hold (before 1601, after 30828-09-14). Windows takes the zone's
  // present offset (its file-time route), POSIX the offset in force at that time; they differ only
  // across daylight saving.
  virtual bool to_local(UnixTime t, DateTime* out) = 0;
  virtual bool to_utc(UnixTime t, DateTime* out) = 0;
  // How this platform dates new directories (see DirDating).
  virtual DirDating dir_dating() const = 0;

  // --- Console ---
  // Shift-JIS bytes. When standard output is a terminal or console, converted to what it shows
  // (POSIX: the locale's character set, UTF-8 for a plain ASCII locale; Windows: UTF-16 through
  // WriteConsoleW); a byte that is no Shift-JIS shows as a replacement ('?' on POSIX). When it is
  // redirected, the bytes go out unchanged, except that Windows writes every LF as CR LF, as its
  // C library's text-mode standard output does (POSIX keeps LF). Output may be held back until
  // console_flush, read_key or the end of the process.
  virtual void console_write(const char* bytes, size_t n) = 0;
  // Writes out what console_write holds back.
  virtual void console_flush() = 0;

  // --- Keyboard ---
  // True when a key code waits; never blocks. Always false without a terminal (Windows: a
  // console) on standard input, and on POSIX while the process is in the background.
  virtual bool key_waiting() = 0;
  // Reads one key code without echo, waiting for it. A key without a character (cursor or
  // function key) arrives as two codes: 224, then its own code as a Windows console gives it
  // (up 72, down 80, left 75, right 77, F1 59); an escape sequence of a POSIX terminal is such a
  // key, never Escape. Escape is 27, Enter 13. Without a terminal, the next byte of standard
  // input; -1 at the end of input (returns at once when the input is at its end) or when the
  // terminal has gone.
  virtual int read_key() = 0;
};

// The real platform of this build.
Platform& system_platform();

// A path as the operating system gives it (the program's own path, the current directory) in
// program form. POSIX: UTF-8 names become Shift-JIS, '/' becomes '\\'; native bytes Shift-JIS
// cannot hold keep their exact bytes through an escape (posix/native_names.h). Windows: '/'
// becomes '\\'.
std::string path_from_native(std::string_view native);
// A path the user typed (settings file, command line) in program form. '/' and '\\' both
// separate names, on every platform. A value that is well-formed UTF-8 with a non-ASCII
// character is UTF-8 (as a Linux editor or terminal writes it), any other is Shift-JIS (a
// settings file from Windows).
std::string path_from_user(std::string_view typed);
// A path as the console and the log show it: with '/' on POSIX, as it is on Windows.
std::string path_for_display(std::string_view program);
// True where a path may begin with a drive letter ("C:\OUT"): Windows.
bool drive_letters();

}  // namespace volari
