#include <cstring>

#include "platform/win32/win32_platform.h"

namespace volari {

namespace {

class Win32Search final : public DirSearch {
 public:
  // `first` is the entry FindFirstFileA found, or null for a search without any.
  Win32Search(HANDLE h, const WIN32_FIND_DATAA* first) : h_(h), has_first_(first != nullptr) {
    if (first) first_ = *first;
  }
  ~Win32Search() override {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  Win32Search(const Win32Search&) = delete;
  Win32Search& operator=(const Win32Search&) = delete;

  bool next(FoundEntry* out) override {
    WIN32_FIND_DATAA data;
    if (has_first_) {
      data = first_;
      has_first_ = false;
    } else if (h_ == INVALID_HANDLE_VALUE || !FindNextFileA(h_, &data)) {
      return false;
    }
    static_assert(sizeof(out->name) >= sizeof(data.cFileName), "a found name must fit");
    std::memcpy(out->name, data.cFileName, sizeof(data.cFileName));
    out->name[sizeof(out->name) - 1] = '\0';
    out->directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }

 private:
  HANDLE h_;
  WIN32_FIND_DATAA first_ = {};
  bool has_first_;
};

}  // namespace

int Win32Platform::attributes(const char* path) {
  const DWORD a = GetFileAttributesA(path);
  if (a == INVALID_FILE_ATTRIBUTES) return -1;
  return static_cast<int>(a & 0x7FFFFFFF);
}

bool Win32Platform::make_dir(const char* path) {
  return !passes_link(path, false) && CreateDirectoryA(path, nullptr) != 0;
}

bool Win32Platform::set_path_time(const char* path, UnixTime time) {
  FILETIME ft;
  if (!unix_to_file_time(time, &ft) || passes_link(path, true)) return false;
  // Backup semantics is what lets CreateFileA open a directory.
  HANDLE h = CreateFileA(path, FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(h, nullptr, &ft, &ft) != 0;
  CloseHandle(h);
  return ok;
}

bool Win32Platform::path_write_time(const char* path, UnixTime* write) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *write = file_time_to_unix(data.ftLastWriteTime);
  return true;
}

bool Win32Platform::change_dir(const char* path) {
  return path[0] != '\0' && SetCurrentDirectoryA(path) != 0;
}

bool Win32Platform::current_dir(char* out, size_t size) {
  if (size == 0) return false;
  const DWORD room = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
  const DWORD n = GetCurrentDirectoryA(room, out);
  return n != 0 && n < room;
}

std::unique_ptr<DirSearch> Win32Platform::find_files(const char* pattern) {
  WIN32_FIND_DATAA first;
  HANDLE h = FindFirstFileA(pattern, &first);
  if (h != INVALID_HANDLE_VALUE) return std::make_unique<Win32Search>(h, &first);
  // A readable directory without a match is an empty search, not a failure.
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
    return std::make_unique<Win32Search>(INVALID_HANDLE_VALUE, nullptr);
  }
  return nullptr;
}

}  // namespace volari
