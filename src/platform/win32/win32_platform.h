// The Win32 implementation of the platform seam (private to src/platform/win32).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace volari {

// Seconds since 1970 and FILETIME (100 ns since 1601, UTC), both ways; exact, with no detour
// through the C library's 32-bit time_t. False outside what a FILETIME can hold.
bool unix_to_file_time(UnixTime t, FILETIME* out);
UnixTime file_time_to_unix(const FILETIME& ft);

DateTime from_system_time(const SYSTEMTIME& st);
SYSTEMTIME to_system_time(const DateTime& t);

// Standard output. A console gets the Shift-JIS text as UTF-16 through WriteConsoleW; anything
// else gets the bytes as the C library's text-mode stdout writes them (every LF as CR LF),
// buffered until a flush.
class Win32Console {
 public:
  Win32Console();
  ~Win32Console();
  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;
  void write(const char* bytes, size_t n);
  void flush();

 private:
  void write_console(const char* bytes, size_t n);
  void put(char c);

  HANDLE out_ = INVALID_HANDLE_VALUE;
  bool console_ = false;
  char buffer_[4096] = {};
  size_t buffered_ = 0;
};

// Keys from the console input ("CONIN$") while standard input is a console; otherwise bytes of
// standard input, and never a waiting key.
class Win32Keys {
 public:
  Win32Keys();
  ~Win32Keys();
  Win32Keys(const Win32Keys&) = delete;
  Win32Keys& operator=(const Win32Keys&) = delete;
  bool key_waiting();
  int read_key();

 private:
  HANDLE in_ = INVALID_HANDLE_VALUE;  // the console input, or INVALID_HANDLE_VALUE
  int pending_ = -1;                  // the code after a prefix 224, or -1
};

class Win32Platform final : public Platform {
 public:
  // Reading and writing refuse a device name (NUL, CON, AUX.HTM, COM1.TXT...): a name that comes
  // from a URL or the index is a file or nothing. Appending takes one, so that LOG=NUL works.
  FileHandle open_file(const char* path, FileMode mode) override;
  long read_file(FileHandle f, void* buf, size_t n) override;
  long write_file(FileHandle f, const void* buf, size_t n) override;
  bool close_file(FileHandle f) override;
  int64_t file_size(FileHandle f) override;
  bool file_times(FileHandle f, UnixTime* access, UnixTime* write) override;
  bool set_file_times(FileHandle f, UnixTime access, UnixTime write) override;
  bool remove_file(const char* path) override;
  bool rename_file(const char* from, const char* to) override;
  bool copy_permissions(FileHandle from, FileHandle to) override;
  bool confine_writes(const char* dir) override;
  std::string resolve_links(const char* path) override;
  bool lock_file(const char* path, FileHandle* lock) override;
  std::string program_file(const char* argv0) override;

  int attributes(const char* path) override;
  bool make_dir(const char* path) override;
  bool set_path_time(const char* path, UnixTime time) override;
  bool path_write_time(const char* path, UnixTime* write) override;
  bool change_dir(const char* path) override;
  bool current_dir(char* out, size_t size) override;
  std::unique_ptr<DirSearch> find_files(const char* pattern) override;

  DateTime local_time() override;
  uint32_t tick_count() override;
  bool set_local_time(const DateTime& t) override;
  bool set_system_time(const DateTime& utc) override;
  bool to_local(UnixTime t, DateTime* out) override;
  bool to_utc(UnixTime t, DateTime* out) override;
  DirDating dir_dating() const override { return DirDating::by_clock; }

  void console_write(const char* bytes, size_t n) override { console_.write(bytes, n); }
  void console_flush() override { console_.flush(); }

  bool key_waiting() override { return keys_.key_waiting(); }
  int read_key() override {
    console_.flush();  // a prompt must be seen before the wait
    return keys_.read_key();
  }

 private:
  // True when `path` lies below the confinement root and a name on its way (with `last_too`,
  // its own name as well) is a reparse point.
  bool passes_link(const char* path, bool last_too);

  Win32Console console_;
  Win32Keys keys_;
  std::string root_;  // full path of the confinement root with its '\', or empty
};

}  // namespace volari
