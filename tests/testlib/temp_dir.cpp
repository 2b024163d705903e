#include "testlib/temp_dir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace volari::testing {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "volari-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("TempDir: mkdtemp " + pattern + ": " + std::strerror(errno));
  path_ = fs::absolute(pattern).string();
}

// Gives the owner full access to every directory below `dir` so that the tree can be removed.
static void open_up(const fs::path& dir) {
  std::error_code ec;
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->symlink_status(ec).type() == fs::file_type::directory) open_up(it->path());
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  open_up(path_);
  fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& relpath) const {
  return relpath.empty() ? path_ : path_ + "/" + relpath;
}

void TempDir::write_file(const std::string& relpath, const std::string& bytes) const {
  const fs::path p = file(relpath);
  std::error_code ec;
  if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("TempDir: cannot write " + p.string());
}

std::string TempDir::read_file(const std::string& relpath) const {
  const std::string p = file(relpath);
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("TempDir: cannot open " + p);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("TempDir: cannot read " + p);
  return data;
}

bool TempDir::exists(const std::string& relpath) const {
  struct stat st;
  return lstat(file(relpath).c_str(), &st) == 0;
}

}  // namespace volari::testing
