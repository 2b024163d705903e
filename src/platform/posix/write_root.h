// The folder below which writes never pass through a symbolic link (Platform::confine_writes).
#pragma once

#include <sys/types.h>

#include <string>

namespace volari {

class WriteRoot {
 public:
  WriteRoot() = default;
  ~WriteRoot();
  WriteRoot(const WriteRoot&) = delete;
  WriteRoot& operator=(const WriteRoot&) = delete;

  // Opens `dir` (native; a relative one from the current directory); "" ends the confinement.
  // False when it cannot be opened.
  bool set(const std::string& dir);
  bool active() const { return fd_ >= 0; }
  // The names of native `path` below the root, "." and ".." taken lexically ("a/b"); false when
  // the path does not lie below it. A relative path is taken from the current directory.
  bool below(const std::string& path, std::string& rest) const;
  // Opens `rest` below the root with open(2) flags; no name on the way, the last included, may
  // be a symbolic link. -1 with errno set on failure.
  int open(const std::string& rest, int flags, mode_t mode) const;
  // Opens the folder of `rest` in the same way (for the *at calls) and sets `last` to its last
  // name; -1 with errno set on failure.
  int open_parent(const std::string& rest, std::string& last) const;

 private:
  int fd_ = -1;
  std::string dir_;  // without a trailing '/'
};

}  // namespace volari
