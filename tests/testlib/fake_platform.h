// A platform for tests: files and directories are the system's, while the clock, the console
// and the keyboard are fakes the test controls, and any file operation can be made to fail.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/platform_wrapper.h"

namespace volari::testing {

// The file operations a test can make fail.
enum class Op { open, read, write, close, set_file_times, remove, rename, make_dir };

class FakePlatform : public PlatformWrapper {
 public:
  FakePlatform() : PlatformWrapper(system_platform()) {}

  std::string console;                          // every byte written to the console
  DateTime now{2001, 3, 4, 29, 14, 5, 6, 700};  // year, month, weekday, day, h, m, s, ms
  uint32_t tick = 1000;
  std::vector<DateTime> clock_sets;  // every set_local/system_time, refused as on POSIX
  DirDating dating = DirDating::by_stamp;
  std::deque<int> keys;  // codes waiting; key_waiting() is true while any is left
  // Called before every key_waiting(); lets a test press a key at the n-th poll.
  std::function<void(FakePlatform&, int poll_number)> on_poll;
  int polls = 0;
  // Called with each file operation and its path (for read, write and close the path the file
  // was opened with; for rename the new name); true makes it fail.
  std::function<bool(Op, const std::string& path)> fail;
  // The program's own file as the system would tell it; "": argv[0] as given.
  std::string program;

  FileHandle open_file(const char* path, FileMode mode) override;
  long read_file(FileHandle f, void* buf, size_t n) override;
  long write_file(FileHandle f, const void* buf, size_t n) override;
  bool close_file(FileHandle f) override;
  bool set_file_times(FileHandle f, UnixTime a, UnixTime w) override;
  bool remove_file(const char* path) override;
  bool rename_file(const char* from, const char* to) override;
  bool make_dir(const char* path) override;
  std::string program_file(const char* argv0) override {
    return path_from_native(program.empty() ? argv0 : program);
  }
  DateTime local_time() override { return now; }
  uint32_t tick_count() override { return tick; }
  bool set_local_time(const DateTime& t) override { return clock_sets.push_back(t), false; }
  bool set_system_time(const DateTime& utc) override { return clock_sets.push_back(utc), false; }
  DirDating dir_dating() const override { return dating; }
  void console_write(const char* bytes, size_t n) override { console.append(bytes, n); }
  void console_flush() override {}
  bool key_waiting() override;
  int read_key() override;

 private:
  bool fails(Op op, const std::string& path) { return fail && fail(op, path); }
  std::map<FileHandle, std::string> paths_;
};

}  // namespace volari::testing
