#include "support/disk.h"

#include <cstring>

#include "support/sjis.h"

namespace volari {

namespace {

constexpr size_t kDirPathBuffer = 264;

// make_dirs, telling `created` about each directory it made itself.
template <typename Created>
bool walk_make_dirs(Platform& platform, const char* path, Created created) {
  const size_t len = std::strlen(path);
  if (len >= kDirPathBuffer) return false;
  char work[kDirPathBuffer];
  for (size_t i = 0; i < len; ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\' && i > 0) {
      work[i] = '\0';
      if (!dir_exists(platform, work) && platform.make_dir(work)) created(work);
    }
    work[i] = path[i];
    if (is_sjis_lead(c) && i + 1 < len) {
      ++i;
      work[i] = path[i];
    }
  }
  work[len] = '\0';
  if (!platform.make_dir(work)) return false;
  created(work);
  return true;
}

}  // namespace

bool file_exists(Platform& platform, const char* path, FileMode mode) {
  const FileHandle f = platform.open_file(path, mode);
  if (f == kNoFile) return false;
  platform.close_file(f);
  return true;
}

bool dir_exists(Platform& platform, const char* path) {
  // The attributes first: a directory is never opened as a file, so only for anything else is
  // the open of "a readable file is not a directory" needed.
  const int attributes = platform.attributes(path);
  if (attributes != -1) return (attributes & kAttrDirectory) != 0 || !file_exists(platform, path);
  const char d = ascii_upper(path[0]);
  return d >= 'A' && d <= 'Z' && path[1] == ':' && path[2] == '\0';
}

bool make_dirs(Platform& platform, const char* path) {
  return walk_make_dirs(platform, path, [](const char*) {});
}

void make_dirs_dated(Platform& platform, const char* path, const char* reference,
                     DatedDirs& dated) {
  const std::optional<UnixTime> written = file_write_time(platform, reference);
  if (!written) {
    make_dirs(platform, path);
    return;
  }
  const UnixTime when = *written;
  if (platform.dir_dating() == DirDating::by_clock) {
    DateTime utc;
    if (!platform.to_utc(when, &utc)) {
      make_dirs(platform, path);
      return;
    }
    const DateTime kept = platform.local_time();
    platform.set_system_time(utc);
    make_dirs(platform, path);
    platform.set_local_time(kept);
    return;
  }
  // Stamped only once all are made: making a child moves its parent's time.
  const size_t first = dated.stamped.size();
  walk_make_dirs(platform, path,
                 [&](const char* dir) { dated.stamped.emplace_back(std::string(dir), when); });
  for (size_t i = first; i < dated.stamped.size(); ++i) {
    platform.set_path_time(dated.stamped[i].first.c_str(), when);
  }
}

void restamp_dated_dirs(Platform& platform, const DatedDirs& dated) {
  for (const auto& entry : dated.stamped) platform.set_path_time(entry.first.c_str(), entry.second);
}

PackedTime pack_date_time(const DateTime& t) {
  return pack_fields(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

PackedTime now_packed(Platform& platform) {
  return pack_date_time(platform.local_time());
}

std::optional<UnixTime> file_write_time(Platform& platform, const char* path) {
  const FileHandle f = platform.open_file(path, FileMode::read);
  if (f == kNoFile) return std::nullopt;
  UnixTime access = 0, write = 0;
  const bool ok = platform.file_times(f, &access, &write);
  platform.close_file(f);
  return ok ? std::optional<UnixTime>(write) : std::nullopt;
}

PackedTime packed_local(Platform& platform, UnixTime time) {
  DateTime local;
  return platform.to_local(time, &local) ? pack_date_time(local) : 0;
}

PackedTime file_time_packed(Platform& platform, const char* path) {
  const std::optional<UnixTime> when = file_write_time(platform, path);
  return when ? packed_local(platform, *when) : 0;
}

bool copy_file_times(Platform& platform, FileHandle source, FileHandle destination) {
  UnixTime access = 0;
  UnixTime write = 0;
  if (!platform.file_times(source, &access, &write)) return false;
  if (access <= 0) access = write;
  return platform.set_file_times(destination, access, write);
}

}  // namespace volari
