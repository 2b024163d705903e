#include "testlib/fake_platform.h"

namespace volari::testing {

FileHandle FakePlatform::open_file(const char* path, FileMode mode) {
  if (fails(Op::open, path)) return kNoFile;
  const FileHandle f = PlatformWrapper::open_file(path, mode);
  if (f != kNoFile) paths_[f] = path;
  return f;
}

long FakePlatform::read_file(FileHandle f, void* buf, size_t n) {
  return fails(Op::read, paths_[f]) ? -1 : PlatformWrapper::read_file(f, buf, n);
}

long FakePlatform::write_file(FileHandle f, const void* buf, size_t n) {
  return fails(Op::write, paths_[f]) ? -1 : PlatformWrapper::write_file(f, buf, n);
}

bool FakePlatform::close_file(FileHandle f) {
  const std::string path = paths_[f];
  paths_.erase(f);
  const bool ok = PlatformWrapper::close_file(f);
  return !fails(Op::close, path) && ok;
}

bool FakePlatform::set_file_times(FileHandle f, UnixTime a, UnixTime w) {
  return !fails(Op::set_file_times, paths_[f]) && PlatformWrapper::set_file_times(f, a, w);
}

bool FakePlatform::remove_file(const char* path) {
  return !fails(Op::remove, path) && PlatformWrapper::remove_file(path);
}

bool FakePlatform::rename_file(const char* from, const char* to) {
  return !fails(Op::rename, to) && PlatformWrapper::rename_file(from, to);
}

bool FakePlatform::make_dir(const char* path) {
  return !fails(Op::make_dir, path) && PlatformWrapper::make_dir(path);
}

bool FakePlatform::key_waiting() {
  ++polls;
  if (on_poll) on_poll(*this, polls);
  return !keys.empty();
}

int FakePlatform::read_key() {
  if (keys.empty()) return -1;
  const int k = keys.front();
  keys.pop_front();
  return k;
}

}  // namespace volari::testing
