// A platform for tests: files and directories are real (the system's), while the clock, the
// console and the keyboard are fakes the test controls, and any file operation can be made to fail.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace volari::testing {

class FakePlatform : public Platform {
 public:
  FakePlatform() : real_(system_platform()) {}

  // --- what the test controls and reads back ---
  std::string console;                          // every byte written to the console
  DateTime now{2001, 3, 4, 29, 14, 5, 6, 700};  // year, month, weekday, day, h, m, s, ms
  uint32_t tick = 1000;
  uint32_t tick_step = 0;            // added to `tick` after every tick_count() call
  bool clock_settable = false;       // false: refused as on POSIX
  std::vector<DateTime> clock_sets;  // every accepted or refused set_local/system_time
  DirDating dating = DirDating::by_stamp;
  std::deque<int> keys;  // codes waiting; key_waiting() is true while any is left
  // Called before every key_waiting(); lets a test press a key at the n-th poll.
  std::function<void(FakePlatform&, int poll_number)> on_poll;
  int polls = 0;
  // Fault injection: called with the operation's name ("open", "write", "close", "rename",
  // "remove", "make_dir", ...) and its path (or "" when it has none); true makes it fail.
  std::function<bool(const char* op, const char* path)> fail;

  // --- Platform ---
  FileHandle open_file(const char* path, FileMode mode) override;
  long read_file(FileHandle f, void* buf, size_t n) override;
  long write_file(FileHandle f, const void* buf, size_t n) override;
  bool close_file(FileHandle f) override;
  int64_t file_size(FileHandle f) override { return real_.file_size(f); }
  bool file_times(FileHandle f, UnixTime* a, UnixTime* w) override {
    return real_.file_times(f, a, w);
  }
  bool set_file_times(FileHandle f, UnixTime a, UnixTime w) override;
  bool remove_file(const char* path) override;
  bool rename_file(const char* from, const char* to) override;
  int attributes(const char* path) override { return real_.attributes(path); }
  bool make_dir(const char* path) override;
  bool set_path_time(const char* path, UnixTime t) override { return real_.set_path_time(path, t); }
  bool change_dir(const char* path) override { return real_.change_dir(path); }
  bool current_dir(char* out, size_t size) override { return real_.current_dir(out, size); }
  std::unique_ptr<DirSearch> find_files(const char* pattern) override {
    return real_.find_files(pattern);
  }
  DateTime local_time() override { return now; }
  uint32_t tick_count() override {
    uint32_t t = tick;
    tick += tick_step;
    return t;
  }
  bool set_local_time(const DateTime& t) override;
  bool set_system_time(const DateTime& utc) override;
  bool to_local(UnixTime t, DateTime* out) override { return real_.to_local(t, out); }
  bool to_utc(UnixTime t, DateTime* out) override { return real_.to_utc(t, out); }
  DirDating dir_dating() const override { return dating; }
  void console_write(const char* bytes, size_t n) override { console.append(bytes, n); }
  void console_flush() override {}
  bool key_waiting() override;
  int read_key() override;

 private:
  bool fails(const char* op, const char* path) { return fail && fail(op, path); }
  Platform& real_;
};

}  // namespace volari::testing
