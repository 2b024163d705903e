// A scratch directory for one test, removed with everything in it when the object goes away.
#pragma once

#include <string>

namespace volari::testing {

class TempDir {
 public:
  // Creates a fresh directory under $TMPDIR (or /tmp); throws std::runtime_error if it cannot.
  TempDir();
  // Removes the tree, read-only directories included; never follows symbolic links.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Absolute path, no trailing slash.
  const std::string& path() const { return path_; }
  // path() + "/" + relpath ("" gives path()).
  std::string file(const std::string& relpath) const;

  // Writes `bytes` exactly to relpath, creating missing parent directories; throws
  // std::runtime_error on failure.
  void write_file(const std::string& relpath, const std::string& bytes) const;
  // The whole file, byte for byte; throws std::runtime_error if it cannot be read.
  std::string read_file(const std::string& relpath) const;
  // True if relpath names anything (file, directory, link).
  bool exists(const std::string& relpath) const;

 private:
  std::string path_;
};

}  // namespace volari::testing
