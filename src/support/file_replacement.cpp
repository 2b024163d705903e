#include "support/file_replacement.h"

#include <cstdio>

#include "support/sjis.h"

namespace volari {

FileHandle create_temporary_beside(Platform& platform, const std::string& path,
                                   std::string& temporary) {
  const size_t cut = last_separator(path);
  const std::string folder = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  // Another run, or an earlier one killed, may hold a name: try the next.
  uint32_t seed = platform.tick_count() * 2654435761u;
  for (int attempt = 0; attempt < 16; ++attempt, seed += 0x9E3779B9u) {
    char name[16];
    std::snprintf(name, sizeof name, "~VL%05X.TMP", static_cast<unsigned>(seed >> 12) & 0xFFFFF);
    temporary = folder + name;
    const FileHandle f = platform.open_file(temporary.c_str(), FileMode::create_new);
    if (f != kNoFile) return f;
    if (platform.attributes(temporary.c_str()) == -1) break;  // not taken: creating fails as such
  }
  temporary.clear();
  return kNoFile;
}

bool replace_whole_file(Platform& platform, const std::string& path, std::string_view bytes,
                        FileHandle mode_from) {
  FileReplacement out(platform);
  const FileHandle f = out.open(path);
  bool ok = f != kNoFile &&
            platform.write_file(f, bytes.data(), bytes.size()) == static_cast<long>(bytes.size());
  if (ok && mode_from != kNoFile) ok = platform.copy_permissions(mode_from, f);
  if (f != kNoFile && !platform.close_file(f)) ok = false;
  if (mode_from != kNoFile) platform.close_file(mode_from);
  return ok && out.commit();
}

bool read_whole_file(Platform& platform, FileHandle file, int64_t max, std::string& bytes) {
  const int64_t size = platform.file_size(file);
  if (size < 0 || size > max) return false;
  bytes.resize(static_cast<size_t>(size));
  return platform.read_file(file, bytes.data(), bytes.size()) == static_cast<long>(size);
}

FileHandle FileReplacement::open(const std::string& path) {
  abandon();
  path_ = path;
  FileHandle f = platform_.open_file(path.c_str(), FileMode::create_new);
  if (f != kNoFile) {
    written_ = path;
    return f;
  }
  // A copy written over the old one in place would leave its folder's time alone; the temporary
  // file and the rename move it (a dated folder would show today), so it is put back.
  const size_t cut = last_separator(path);
  folder_ = cut == std::string::npos ? "." : path.substr(0, cut);
  folder_dated_ = platform_.path_write_time(folder_.c_str(), &folder_time_);
  return create_temporary_beside(platform_, path, written_);
}

bool FileReplacement::commit() {
  if (written_.empty()) return false;
  if (written_ == path_) {
    written_.clear();
    return true;
  }
  if (!platform_.rename_file(written_.c_str(), path_.c_str())) {
    abandon();
    return false;
  }
  written_.clear();
  if (folder_dated_) platform_.set_path_time(folder_.c_str(), folder_time_);
  return true;
}

void FileReplacement::abandon() {
  if (written_.empty()) return;
  platform_.remove_file(written_.c_str());
  if (written_ != path_ && folder_dated_) platform_.set_path_time(folder_.c_str(), folder_time_);
  written_.clear();
}

}  // namespace volari
