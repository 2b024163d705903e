#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/posix_platform.h"

namespace volari {

namespace {

constexpr size_t kNativeMax = 4096;

// Length of the well-formed UTF-8 character of two to four bytes at `s`, else 0.
size_t utf8_length(const char* s) {
  const unsigned char c = static_cast<unsigned char>(s[0]);
  const size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                   : c >= 0xE0 && c <= 0xEF ? 3
                   : c >= 0xF0 && c <= 0xF4 ? 4
                                            : 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[k]);
    if (t < 0x80 || t > 0xBF) return 0;
  }
  return n;
}

}  // namespace

bool to_native(const char* path, char* out, size_t size) {
  if (size == 0) return false;
  size_t i = 0;
  while (path[i] != '\0') {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    // A whole UTF-8 character (a Linux directory name) or a Shift-JIS pair (a name made from a
    // URL) is copied as it is: neither one's 0x5C can then be taken for a separator.
    size_t n = utf8_length(path + i);
    if (n == 0) n = is_lead_byte(c) && path[i + 1] != '\0' ? 2 : 1;
    if (i + n >= size) return false;
    for (size_t k = 0; k < n; ++k, ++i) out[i] = path[i];
    if (n == 1 && c == '\\') out[i - 1] = '/';
  }
  out[i] = '\0';
  return true;
}

void path_from_native(char* path) {
  for (char* p = path; *p; ++p) {
    if (*p == '/') *p = '\\';
  }
}

FileHandle PosixPlatform::open_file(const char* path, FileMode mode) {
  char native[kNativeMax];
  if (!to_native(path, native, sizeof native)) return kNoFile;
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
    fd = ::open(native, flags, 0666);
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
  char native[kNativeMax];
  return to_native(path, native, sizeof native) && ::unlink(native) == 0;
}

bool PosixPlatform::rename_file(const char* from, const char* to) {
  char a[kNativeMax];
  char b[kNativeMax];
  return to_native(from, a, sizeof a) && to_native(to, b, sizeof b) && ::rename(a, b) == 0;
}

}  // namespace volari
