#include "platform/posix/write_root.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace volari {

namespace {

std::vector<std::string> names_of(const std::string& path) {
  std::vector<std::string> names;
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = path.find('/', begin);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(begin, end - begin);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
    begin = end + 1;
  }
  return names;
}

// One name at a time, each opened without following a link: for kernels before openat2 (5.6)
// and sandboxes that refuse it.
int open_walking(int root, const std::string& rest, int flags, mode_t mode) {
  const size_t slash = rest.rfind('/');
  int dir = ::openat(root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (size_t begin = 0; dir >= 0 && slash != std::string::npos && begin <= slash;) {
    const size_t end = rest.find('/', begin);
    const int next = ::openat(dir, rest.substr(begin, end - begin).c_str(),
                              O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int saved = errno;
    ::close(dir);
    errno = saved;
    dir = next;
    begin = end + 1;
  }
  if (dir < 0) return -1;
  const std::string last = slash == std::string::npos ? rest : rest.substr(slash + 1);
  const int fd = ::openat(dir, last.c_str(), flags | O_NOFOLLOW, mode);
  const int saved = errno;
  ::close(dir);
  errno = saved;
  return fd;
}

// `path` from the root of the file system, "." and ".." taken lexically, no '/' at the end.
bool absolute(const std::string& path, std::string& out) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
    full = std::string(cwd) + "/" + full;
  }
  out.clear();
  for (const std::string& name : names_of(full)) out += "/" + name;
  return true;
}

}  // namespace

WriteRoot::~WriteRoot() {
  set("");
}

bool WriteRoot::set(const std::string& dir) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  dir_.clear();
  if (dir.empty()) return true;
  std::string full;
  if (!absolute(dir, full)) return false;
  fd_ = ::open(full.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return false;
  dir_ = full;
  return true;
}

bool WriteRoot::below(const std::string& path, std::string& rest) const {
  std::string normal;
  if (fd_ < 0 || !absolute(path, normal)) return false;
  if (normal.size() <= dir_.size() + 1 || normal.compare(0, dir_.size(), dir_) != 0 ||
      normal[dir_.size()] != '/') {
    return false;
  }
  rest = normal.substr(dir_.size() + 1);
  return true;
}

int WriteRoot::open(const std::string& rest, int flags, mode_t mode) const {
#ifdef SYS_openat2
  struct open_how how = {};
  how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
  how.mode = (flags & O_CREAT) != 0 ? mode : 0;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  int fd;
  do {
    fd = static_cast<int>(::syscall(SYS_openat2, fd_, rest.c_str(), &how, sizeof how));
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
#endif
  return open_walking(fd_, rest, flags | O_CLOEXEC, mode);
}

int WriteRoot::open_parent(const std::string& rest, std::string& last) const {
  const size_t slash = rest.rfind('/');
  last = slash == std::string::npos ? rest : rest.substr(slash + 1);
  if (slash == std::string::npos) return ::openat(fd_, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  return open(rest.substr(0, slash), O_PATH | O_DIRECTORY, 0);
}

}  // namespace volari
