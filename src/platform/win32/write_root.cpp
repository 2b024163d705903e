#include <cstdio>
#include <cstring>

#include "platform/win32/win32_platform.h"
#include "support/sjis.h"

namespace volari {

namespace {

std::string full_path(const char* path) {
  char full[MAX_PATH * 2];
  const DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
  return n == 0 || n >= sizeof full ? std::string() : std::string(full, n);
}

bool is_reparse_point(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool Win32Platform::passes_link(const char* path, bool last_too) {
  if (root_.empty()) return false;
  const std::string full = full_path(path);
  if (full.size() <= root_.size() || !same_ignoring_ascii_case(full.substr(0, root_.size()), root_))
    return false;
  // Each name from the root down, a double-byte character's second byte never a separator.
  for (size_t i = root_.size(); i <= full.size(); ++i) {
    if (i < full.size() && is_sjis_lead(static_cast<unsigned char>(full[i]))) {
      ++i;
      continue;
    }
    const bool end = i == full.size();
    if ((full[i] == '\\' || end) && (!end || last_too) && is_reparse_point(full.substr(0, i)))
      return true;
  }
  return false;
}

bool Win32Platform::confine_writes(const char* dir) {
  root_.clear();
  if (dir[0] == '\0') return true;
  std::string full = full_path(dir);
  const DWORD a = GetFileAttributesA(full.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  if (full.empty() || full.back() != '\\') full += '\\';
  root_ = full;
  return true;
}

bool Win32Platform::copy_permissions(FileHandle, FileHandle) {
  return true;  // a new file takes its folder's access rules, as the one it replaces did
}

std::string Win32Platform::resolve_links(const char* path) {
  return path;
}

bool Win32Platform::lock_file(const char* path, FileHandle* lock) {
  // A named mutex per settings file: nothing on disk, and gone with the process.
  *lock = kNoFile;
  std::string name = full_path(path);
  sjis_upper(name);
  uint32_t hash = 2166136261u;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char mutex_name[64];
  std::snprintf(mutex_name, sizeof mutex_name, "Local\\VOLARI-%08lX",
                static_cast<unsigned long>(hash));
  HANDLE h = CreateMutexA(nullptr, FALSE, mutex_name);
  if (h == nullptr) return true;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return false;
  }
  *lock = reinterpret_cast<FileHandle>(h);
  return true;
}

std::string Win32Platform::program_file(const char* argv0) {
  char own[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
  if (n == 0 || n >= sizeof own) return path_from_native(argv0 ? argv0 : "");
  return std::string(own, n);
}

}  // namespace volari
