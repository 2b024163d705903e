#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/posix_platform.h"

namespace volari {

namespace {

bool writes(FileMode mode) {
  return mode != FileMode::read && mode != FileMode::read_no_link;
}

}  // namespace

FileHandle PosixPlatform::open_file(const char* path, FileMode mode) {
  const std::string native = native_path(path);
  // Non-blocking only for the open itself: a FIFO must not hang the run.
  int flags = O_CLOEXEC | O_NONBLOCK;
  switch (mode) {
    case FileMode::read:
      flags |= O_RDONLY;
      break;
    case FileMode::read_no_link:
      flags |= O_RDONLY | O_NOFOLLOW;
      break;
    case FileMode::write:  // emptied only once it is known to be the file's one name
      flags |= O_WRONLY | O_CREAT;
      break;
    case FileMode::append:
      flags |= O_WRONLY | O_CREAT | O_APPEND;
      break;
    case FileMode::create_new:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
  }
  std::string rest;
  const bool confined = writes(mode) && root_.below(native, rest);
  int fd;
  do {
    fd = confined ? root_.open(rest, flags, 0666) : ::open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kNoFile;
  struct stat st;
  // Windows opens no directory as a file; a device or FIFO is no file to read either. A regular
  // file ignores O_NONBLOCK, so only anything else is switched back to blocking.
  bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) &&
            (writes(mode) || S_ISREG(st.st_mode)) &&
            (S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0);
  // A second name would carry the write to a file outside the confinement.
  if (ok && confined && S_ISREG(st.st_mode) && st.st_nlink > 1) ok = false;
  if (ok && mode == FileMode::write && S_ISREG(st.st_mode)) ok = ::ftruncate(fd, 0) == 0;
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
  const std::string native = native_path(path);
  std::string rest, last;
  if (!root_.below(native, rest)) return ::unlink(native.c_str()) == 0;
  const int dir = root_.open_parent(rest, last);
  const bool ok = dir >= 0 && ::unlinkat(dir, last.c_str(), 0) == 0;
  if (dir >= 0) ::close(dir);
  return ok;
}

bool PosixPlatform::rename_file(const char* from, const char* to) {
  const std::string old_name = native_path(from), new_name = native_path(to);
  std::string old_rest, new_rest, old_last, new_last;
  if (!root_.below(old_name, old_rest) || !root_.below(new_name, new_rest)) {
    return ::rename(old_name.c_str(), new_name.c_str()) == 0;
  }
  const int old_dir = root_.open_parent(old_rest, old_last);
  const int new_dir = old_dir < 0 ? -1 : root_.open_parent(new_rest, new_last);
  const bool ok =
      new_dir >= 0 && ::renameat(old_dir, old_last.c_str(), new_dir, new_last.c_str()) == 0;
  if (old_dir >= 0) ::close(old_dir);
  if (new_dir >= 0) ::close(new_dir);
  return ok;
}

bool PosixPlatform::copy_permissions(FileHandle from, FileHandle to) {
  struct stat st;
  return ::fstat(static_cast<int>(from), &st) == 0 &&
         ::fchmod(static_cast<int>(to), st.st_mode & 07777) == 0;
}

bool PosixPlatform::confine_writes(const char* dir) {
  return root_.set(dir[0] == '\0' ? std::string() : native_path(dir));
}

std::string PosixPlatform::resolve_links(const char* path) {
  const std::string native = native_path(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(native.c_str(), nullptr);
  if (real == nullptr) return path;
  const std::string resolved = path_from_native(real);
  std::free(real);
  return resolved;
}

bool PosixPlatform::lock_file(const char* path, FileHandle* lock) {
  *lock = kNoFile;
  // The folder, not the file: a rewrite renames a new file over the old one, and a lock on the
  // old one would let the next run in while this one still goes.
  const std::string file = native_path(resolve_links(path));
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;  // nothing there to share
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  *lock = fd;
  return true;
}

std::string PosixPlatform::program_file(const char* argv0) {
  char own[4096];
  const ssize_t n = ::readlink("/proc/self/exe", own, sizeof own - 1);
  if (n <= 0) return path_from_native(argv0 ? argv0 : "");
  return path_from_native(std::string_view(own, static_cast<size_t>(n)));
}

}  // namespace volari
