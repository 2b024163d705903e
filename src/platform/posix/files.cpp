#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/posix_platform.h"

namespace volari {

FileHandle PosixPlatform::open_file(const char* path, FileMode mode) {
  const std::string native = native_path(path);
  // Non-blocking only for the open itself: a FIFO must not hang the run.
  int flags = O_CLOEXEC | O_NONBLOCK;
  switch (mode) {
    case FileMode::read:
      flags |= O_RDONLY;
      break;
    case FileMode::write:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case FileMode::append:
      flags |= O_WRONLY | O_CREAT | O_APPEND;
      break;
  }
  int fd;
  do {
    fd = ::open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kNoFile;
  struct stat st;
  // Windows opens no directory as a file; a device or FIFO is no file to read either. A regular
  // file ignores O_NONBLOCK, so only anything else is switched back to blocking.
  const bool ok =
      ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) &&
      (mode != FileMode::read || S_ISREG(st.st_mode)) &&
      (S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0);
  if (!ok) {
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

long PosixPlatform::read_file(FileHandle f, void* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(static_cast<int>(f), static_cast<char*>(buf) + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return done > 0 ? static_cast<long>(done) : -1;
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<long>(done);
}

long PosixPlatform::write_file(FileHandle f, const void* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::write(static_cast<int>(f), static_cast<const char*>(buf) + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    done += static_cast<size_t>(w);
  }
  return static_cast<long>(done);
}

bool PosixPlatform::close_file(FileHandle f) {
  if (f == kNoFile) return false;
  return ::close(static_cast<int>(f)) == 0;
}

int64_t PosixPlatform::file_size(FileHandle f) {
  struct stat st;
  if (::fstat(static_cast<int>(f), &st) != 0) return -1;
  return st.st_size;
}

bool PosixPlatform::file_times(FileHandle f, UnixTime* access, UnixTime* write) {
  struct stat st;
  if (::fstat(static_cast<int>(f), &st) != 0) return false;
  *access = st.st_atim.tv_sec;
  *write = st.st_mtim.tv_sec;
  return true;
}

bool PosixPlatform::set_file_times(FileHandle f, UnixTime access, UnixTime write) {
  struct timespec times[2] = {};
  times[0].tv_sec = static_cast<time_t>(access);
  times[1].tv_sec = static_cast<time_t>(write);
  return ::futimens(static_cast<int>(f), times) == 0;
}

bool PosixPlatform::remove_file(const char* path) {
  return ::unlink(native_path(path).c_str()) == 0;
}

bool PosixPlatform::rename_file(const char* from, const char* to) {
  return ::rename(native_path(from).c_str(), native_path(to).c_str()) == 0;
}

}  // namespace volari
