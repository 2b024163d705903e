#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"
#include "support/sjis.h"

namespace volari {

namespace {

// Length of the character at `s`: 2 for a double-byte one, else 1.
size_t char_len(const char* s) {
  return is_sjis_lead(static_cast<unsigned char>(s[0])) && s[1] != '\0' ? 2 : 1;
}

bool same_char(const char* a, const char* b, size_t n) {
  if (n != char_len(a)) return false;
  return n == 1 ? ascii_upper(*a) == ascii_upper(*b) : a[0] == b[0] && a[1] == b[1];
}

class PosixSearch final : public DirSearch {
 public:
  explicit PosixSearch(std::vector<FoundEntry> entries) : entries_(std::move(entries)) {}
  bool next(FoundEntry* out) override {
    if (at_ >= entries_.size()) return false;
    *out = entries_[at_++];
    return true;
  }

 private:
  std::vector<FoundEntry> entries_;
  size_t at_ = 0;
};

}  // namespace

bool dos_wildcard_match(const char* pattern, const char* name) {
  const char* p = pattern;
  const char* n = name;
  const char* star_p = nullptr;  // pattern after the last '*' met, and where its run ends
  const char* star_n = nullptr;
  while (*n) {
    if (*p == '*') {
      while (*p == '*') ++p;
      star_p = p;
      star_n = n;
      continue;
    }
    const size_t len = char_len(n);
    if (*p == '?' || (*p && same_char(p, n, len))) {
      p += *p == '?' ? 1 : len;
      n += len;
      continue;
    }
    if (star_p == nullptr) return false;
    star_n += char_len(star_n);
    n = star_n;
    p = star_p;
  }
  while (*p == '*' || *p == '.') ++p;
  return *p == '\0';
}

int PosixPlatform::attributes(const char* path) {
  struct stat st;
  if (::stat(native_path(path).c_str(), &st) != 0) return -1;
  return S_ISDIR(st.st_mode) ? kAttrDirectory : 0x20;
}

bool PosixPlatform::make_dir(const char* path) {
  const std::string native = native_path(path);
  std::string rest, last;
  if (!root_.below(native, rest)) return ::mkdir(native.c_str(), 0777) == 0;
  const int dir = root_.open_parent(rest, last);
  const bool ok = dir >= 0 && ::mkdirat(dir, last.c_str(), 0777) == 0;
  if (dir >= 0) ::close(dir);
  return ok;
}

bool PosixPlatform::set_path_time(const char* path, UnixTime time) {
  struct timespec times[2] = {};
  times[0].tv_sec = static_cast<time_t>(time);
  times[1].tv_sec = static_cast<time_t>(time);
  const std::string native = native_path(path);
  std::string rest, last;
  if (!root_.below(native, rest)) return ::utimensat(AT_FDCWD, native.c_str(), times, 0) == 0;
  const int dir = root_.open_parent(rest, last);
  const bool ok = dir >= 0 && ::utimensat(dir, last.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
  if (dir >= 0) ::close(dir);
  return ok;
}

bool PosixPlatform::path_write_time(const char* path, UnixTime* write) {
  struct stat st;
  if (::stat(native_path(path).c_str(), &st) != 0) return false;
  *write = st.st_mtim.tv_sec;
  return true;
}

bool PosixPlatform::change_dir(const char* path) {
  return path[0] != '\0' && ::chdir(native_path(path).c_str()) == 0;
}

bool PosixPlatform::current_dir(char* out, size_t size) {
  char native[4096];
  if (::getcwd(native, sizeof native) == nullptr) return false;
  const std::string program = path_from_native(native);
  if (program.size() >= size) return false;
  std::memcpy(out, program.c_str(), program.size() + 1);
  return true;
}

std::unique_ptr<DirSearch> PosixPlatform::find_files(const char* pattern) {
  // Names are matched in program form, where a double-byte character is one character.
  const size_t sep = last_separator(pattern);
  const std::string dir = sep == std::string::npos ? "." : native_path(std::string(pattern, sep));
  const char* wild = sep == std::string::npos ? pattern : pattern + sep + 1;
  DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
  if (d == nullptr) return nullptr;
  std::vector<FoundEntry> found;
  while (struct dirent* e = ::readdir(d)) {
    const std::string name = path_from_native(e->d_name);
    if (name.size() >= sizeof(FoundEntry::name) || !dos_wildcard_match(wild, name.c_str())) {
      continue;
    }
    FoundEntry entry;
    std::memcpy(entry.name, name.c_str(), name.size() + 1);
    struct stat st;
    entry.directory = ::fstatat(::dirfd(d), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    found.push_back(entry);
  }
  ::closedir(d);
  // readdir's order is the file system's; sorted names make runs repeatable.
  std::sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  return std::make_unique<PosixSearch>(std::move(found));
}

}  // namespace volari
