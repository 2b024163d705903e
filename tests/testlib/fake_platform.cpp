#include "testlib/fake_platform.h"

namespace volari::testing {

FileHandle FakePlatform::open_file(const char* path, FileMode mode) {
  if (fails("open", path)) return kNoFile;
  return real_.open_file(path, mode);
}

long FakePlatform::read_file(FileHandle f, void* buf, size_t n) {
  if (fails("read", "")) return -1;
  return real_.read_file(f, buf, n);
}

long FakePlatform::write_file(FileHandle f, const void* buf, size_t n) {
  if (fails("write", "")) return -1;
  return real_.write_file(f, buf, n);
}

bool FakePlatform::close_file(FileHandle f) {
  bool ok = real_.close_file(f);
  return !fails("close", "") && ok;
}

bool FakePlatform::set_file_times(FileHandle f, UnixTime a, UnixTime w) {
  if (fails("set_file_times", "")) return false;
  return real_.set_file_times(f, a, w);
}

bool FakePlatform::remove_file(const char* path) {
  if (fails("remove", path)) return false;
  return real_.remove_file(path);
}

bool FakePlatform::rename_file(const char* from, const char* to) {
  if (fails("rename", to)) return false;
  return real_.rename_file(from, to);
}

bool FakePlatform::make_dir(const char* path) {
  if (fails("make_dir", path)) return false;
  return real_.make_dir(path);
}

bool FakePlatform::set_local_time(const DateTime& t) {
  clock_sets.push_back(t);
  if (!clock_settable) return false;
  now = t;
  return true;
}

bool FakePlatform::set_system_time(const DateTime& utc) {
  clock_sets.push_back(utc);
  return clock_settable;
}

bool FakePlatform::key_waiting() {
  ++polls;
  if (on_poll) on_poll(*this, polls);
  return !keys.empty();
}

int FakePlatform::read_key() {
  if (keys.empty()) return -1;
  int k = keys.front();
  keys.pop_front();
  return k;
}

}  // namespace volari::testing
