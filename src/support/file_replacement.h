// Writing a file so that neither a failure nor a kill damages what its name held before: a name
// that is free is created exclusively, and removed again when the write fails; a name that is
// taken (by a file, a link, a hard link) gets a new temporary file beside it, renamed over it only
// once complete. A link is thus replaced, never written through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace volari {

class FileReplacement {
 public:
  explicit FileReplacement(Platform& platform) : platform_(platform) {}
  ~FileReplacement() { abandon(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Opens the file that is to become `path`, binary; kNoFile when nothing could be created.
  FileHandle open(const std::string& path);
  // Once the caller has closed the file: puts it in place. False when that fails; what was
  // written is then removed. A folder keeps its time through a replacement, as it does when a
  // file is written over in place.
  bool commit();
  // Removes what was written; nothing when nothing is open or all is committed.
  void abandon();

 private:
  Platform& platform_;
  std::string path_;     // the name to fill
  std::string written_;  // what is being written: path_ or a temporary file; "" when none
  std::string folder_;   // path_'s folder, and its time before a temporary file came
  UnixTime folder_time_ = 0;
  bool folder_dated_ = false;
};

// Writes `bytes` as the whole new content of `path` through a FileReplacement. `mode_from`, when
// given, lends its permission bits and is closed before the new file takes the name (Windows
// renames over no open file). False when it could not: what `path` held is then as it was.
bool replace_whole_file(Platform& platform, const std::string& path, std::string_view bytes,
                        FileHandle mode_from = kNoFile);
// The whole content of an open file of at most `max` bytes; false when it is larger or cannot be
// read whole.
bool read_whole_file(Platform& platform, FileHandle file, int64_t max, std::string& bytes);

// A free temporary name beside `path` ("~VL" and five hex digits, ".TMP"), created exclusively
// and open; kNoFile when none could be made.
FileHandle create_temporary_beside(Platform& platform, const std::string& path,
                                   std::string& temporary);

}  // namespace volari
