#include <climits>
#include <cstring>

#include "platform/win32/win32_platform.h"

namespace volari {

namespace {

constexpr int64_t kSecondsFrom1601 = 11644473600LL;
constexpr int64_t kUnitsPerSecond = 10000000;
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;  // as the C library opens files
constexpr size_t kChunk = 1u << 20;

HANDLE handle(FileHandle f) {
  return reinterpret_cast<HANDLE>(f);
}

// A read or write of at most `n` bytes reports its count in a long.
size_t clamp_count(size_t n) {
  return n > LONG_MAX ? LONG_MAX : n;
}

// A reserved device name (CON, NUL, AUX, PRN, COM1, LPT1..., with any extension, in any
// directory) names a device, not a file; Windows says so by making its full path \\.\NAME.
bool names_device(const char* path) {
  if (std::strncmp(path, "\\\\.\\", 4) == 0) return true;
  char full[MAX_PATH + 16];
  const DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
  // A full path too long for the buffer is no short \\.\NAME.
  return n >= 4 && n < sizeof full && std::strncmp(full, "\\\\.\\", 4) == 0;
}

}  // namespace

bool unix_to_file_time(UnixTime t, FILETIME* out) {
  // Bit 63 stays clear: FileTimeToSystemTime takes nothing beyond it.
  if (t < -kSecondsFrom1601 || t > INT64_MAX / kUnitsPerSecond - kSecondsFrom1601) return false;
  const uint64_t v = static_cast<uint64_t>(t + kSecondsFrom1601) * kUnitsPerSecond;
  out->dwLowDateTime = static_cast<DWORD>(v);
  out->dwHighDateTime = static_cast<DWORD>(v >> 32);
  return true;
}

UnixTime file_time_to_unix(const FILETIME& ft) {
  const uint64_t v = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<UnixTime>(v / kUnitsPerSecond) - kSecondsFrom1601;
}

FileHandle Win32Platform::open_file(const char* path, FileMode mode) {
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  const bool reading = mode == FileMode::read || mode == FileMode::read_no_link;
  switch (mode) {
    case FileMode::read:
      break;
    case FileMode::read_no_link:
      flags |= FILE_FLAG_OPEN_REPARSE_POINT;
      break;
    case FileMode::write:  // emptied only once it is known to be the file's one name
      access = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
      disposition = OPEN_ALWAYS;
      break;
    case FileMode::create_new:
      access = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
      disposition = CREATE_NEW;
      break;
    case FileMode::append:
      // Without FILE_WRITE_DATA every write goes to the end of the file.
      access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
      disposition = OPEN_ALWAYS;
      break;
  }
  // Cached files and copies are files: a name that the URL or the index chose must never open
  // a device (a page written to NUL or a serial port is lost, and reported as copied).
  if (mode != FileMode::append && names_device(path)) return kNoFile;
  const bool confined = !reading && !root_.empty();
  if (confined && passes_link(path, true)) return kNoFile;
  HANDLE h = CreateFileA(path, access, kShare, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kNoFile;
  BY_HANDLE_FILE_INFORMATION info;
  const bool disk = GetFileType(h) == FILE_TYPE_DISK;
  const bool known = disk && GetFileInformationByHandle(h, &info);
  bool ok = true;
  if (reading) {
    // Only a regular file is one to read: no directory, no device such as CON, no link.
    ok = known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (mode == FileMode::read || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0);
  } else if (mode != FileMode::append || disk) {
    // A second name would carry the write to a file outside the confinement.
    ok = known && (!confined || info.nNumberOfLinks <= 1);
    if (ok && mode == FileMode::write) ok = SetEndOfFile(h) != 0;
    if (ok && mode == FileMode::append) {
      LARGE_INTEGER zero = {};
      ok = SetFilePointerEx(h, zero, nullptr, FILE_END) != 0;
    }
  }
  if (!ok) {
    CloseHandle(h);
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(h);
}

long Win32Platform::read_file(FileHandle f, void* buf, size_t n) {
  n = clamp_count(n);
  size_t done = 0;
  while (done < n) {
    const DWORD want = static_cast<DWORD>(n - done > kChunk ? kChunk : n - done);
    DWORD got = 0;
    if (!ReadFile(handle(f), static_cast<char*>(buf) + done, want, &got, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;  // a pipe's writer has gone: its end
      return done > 0 ? static_cast<long>(done) : -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<long>(done);
}

long Win32Platform::write_file(FileHandle f, const void* buf, size_t n) {
  if (n > LONG_MAX) return -1;
  size_t done = 0;
  while (done < n) {
    const DWORD want = static_cast<DWORD>(n - done > kChunk ? kChunk : n - done);
    DWORD put = 0;
    if (!WriteFile(handle(f), static_cast<const char*>(buf) + done, want, &put, nullptr) ||
        put == 0) {
      return -1;
    }
    done += put;
  }
  return static_cast<long>(done);
}

bool Win32Platform::close_file(FileHandle f) {
  if (f == kNoFile) return false;
  return CloseHandle(handle(f)) != 0;
}

int64_t Win32Platform::file_size(FileHandle f) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle(f), &size)) return -1;
  return size.QuadPart;
}

bool Win32Platform::file_times(FileHandle f, UnixTime* access, UnixTime* write) {
  FILETIME a;
  FILETIME w;
  if (!GetFileTime(handle(f), nullptr, &a, &w)) return false;
  *write = file_time_to_unix(w);
  // A file system that keeps no access time gives the write time for it, as fstat does.
  *access = a.dwLowDateTime == 0 && a.dwHighDateTime == 0 ? *write : file_time_to_unix(a);
  return true;
}

bool Win32Platform::set_file_times(FileHandle f, UnixTime access, UnixTime write) {
  FILETIME a;
  FILETIME w;
  if (!unix_to_file_time(access, &a) || !unix_to_file_time(write, &w)) return false;
  return SetFileTime(handle(f), nullptr, &a, &w) != 0;
}

bool Win32Platform::remove_file(const char* path) {
  return !passes_link(path, false) && DeleteFileA(path) != 0;
}

bool Win32Platform::rename_file(const char* from, const char* to) {
  if (passes_link(from, false) || passes_link(to, false)) return false;
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace volari
