// A Platform that forwards every call to another one: a fake overrides only what it needs, as
// leveldb's EnvWrapper lets a test change one part of the environment.
#pragma once

#include "platform/platform.h"

namespace volari {

class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}
  Platform& target() { return target_; }

  FileHandle open_file(const char* path, FileMode mode) override {
    return target_.open_file(path, mode);
  }
  long read_file(FileHandle f, void* buf, size_t n) override {
    return target_.read_file(f, buf, n);
  }
  long write_file(FileHandle f, const void* buf, size_t n) override {
    return target_.write_file(f, buf, n);
  }
  bool close_file(FileHandle f) override { return target_.close_file(f); }
  int64_t file_size(FileHandle f) override { return target_.file_size(f); }
  bool file_times(FileHandle f, UnixTime* access, UnixTime* write) override {
    return target_.file_times(f, access, write);
  }
  bool set_file_times(FileHandle f, UnixTime access, UnixTime write) override {
    return target_.set_file_times(f, access, write);
  }
  bool remove_file(const char* path) override { return target_.remove_file(path); }
  bool rename_file(const char* from, const char* to) override {
    return target_.rename_file(from, to);
  }
  bool copy_permissions(FileHandle from, FileHandle to) override {
    return target_.copy_permissions(from, to);
  }
  bool confine_writes(const char* dir) override { return target_.confine_writes(dir); }
  std::string resolve_links(const char* path) override { return target_.resolve_links(path); }
  bool lock_file(const char* path, FileHandle* lock) override {
    return target_.lock_file(path, lock);
  }
  std::string program_file(const char* argv0) override { return target_.program_file(argv0); }
  int attributes(const char* path) override { return target_.attributes(path); }
  bool make_dir(const char* path) override { return target_.make_dir(path); }
  bool set_path_time(const char* path, UnixTime time) override {
    return target_.set_path_time(path, time);
  }
  bool path_write_time(const char* path, UnixTime* write) override {
    return target_.path_write_time(path, write);
  }
  bool change_dir(const char* path) override { return target_.change_dir(path); }
  bool current_dir(char* out, size_t size) override { return target_.current_dir(out, size); }
  std::unique_ptr<DirSearch> find_files(const char* pattern) override {
    return target_.find_files(pattern);
  }
  DateTime local_time() override { return target_.local_time(); }
  uint32_t tick_count() override { return target_.tick_count(); }
  bool set_local_time(const DateTime& t) override { return target_.set_local_time(t); }
  bool set_system_time(const DateTime& utc) override { return target_.set_system_time(utc); }
  bool to_local(UnixTime t, DateTime* out) override { return target_.to_local(t, out); }
  bool to_utc(UnixTime t, DateTime* out) override { return target_.to_utc(t, out); }
  DirDating dir_dating() const override { return target_.dir_dating(); }
  void console_write(const char* bytes, size_t n) override {
    return target_.console_write(bytes, n);
  }
  void console_flush() override { return target_.console_flush(); }
  bool key_waiting() override { return target_.key_waiting(); }
  int read_key() override { return target_.read_key(); }

 private:
  Platform& target_;
};

}  // namespace volari
