// The POSIX implementation of the platform seam (private to src/platform/posix and its tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/posix/native_names.h"
#include "platform/posix/write_root.h"

namespace volari {

// DOS wildcard match of one file name, as Windows file searches match: '*' any run of characters,
// '?' exactly one character, a double-byte Shift-JIS character counting as one; ASCII letters
// without regard to case; once the name is used up, a rest of the pattern made only of '.' and
// '*' still matches (so "*.*" and "NAME.*" take names without a dot, and "NAME." takes NAME).
bool dos_wildcard_match(const char* pattern, const char* name);

// Standard output. Decided once, at construction: a terminal gets the text converted from
// Shift-JIS to its locale's character set (UTF-8 for a plain ASCII locale); anything else gets
// the bytes unchanged. The process's own locale is left alone.
class PosixConsole {
 public:
  PosixConsole();
  ~PosixConsole();
  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;
  void write(const char* bytes, size_t n);
  void flush();

 private:
  void* iconv_ = nullptr;  // iconv_t from Shift-JIS to the terminal's character set
};

// Keys from standard input. A terminal is put in raw mode (no echo, no line buffering) only for
// the moment of a poll or read, and is not touched at all while the process is in the background
// (so that a background run is not stopped by the terminal). Escape sequences become 224 and a
// code as a Windows console gives them.
class PosixKeys {
 public:
  PosixKeys();
  bool key_waiting();
  int read_key();

 private:
  // Reads what the terminal has in raw mode; waits for the first byte when `wait` is set.
  // False when the terminal cannot be read (also at its hang-up).
  bool fill(bool wait);
  // Decodes the bytes into codes; an escape sequence cut off by the end of the bytes is kept in
  // `carry_` when `final` is false.
  void decode(const unsigned char* bytes, size_t n, bool final);

  bool tty_;                   // standard input is a terminal
  uint64_t last_look_ms_ = 0;  // when key_waiting last looked at the terminal
  bool looked_ = false;
  std::deque<int> codes_;
  unsigned char carry_[16] = {};
  size_t carry_n_ = 0;
};

class PosixPlatform final : public Platform {
 public:
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
  bool set_local_time(const DateTime&) override { return false; }
  bool set_system_time(const DateTime&) override { return false; }
  bool to_local(UnixTime t, DateTime* out) override;
  bool to_utc(UnixTime t, DateTime* out) override;
  DirDating dir_dating() const override { return DirDating::by_stamp; }

  void console_write(const char* bytes, size_t n) override { console_.write(bytes, n); }
  void console_flush() override { console_.flush(); }

  bool key_waiting() override { return keys_.key_waiting(); }
  int read_key() override {
    console_.flush();  // a prompt must be seen before the wait
    return keys_.read_key();
  }

 private:
  PosixConsole console_;
  PosixKeys keys_;
  WriteRoot root_;
};

}  // namespace volari
