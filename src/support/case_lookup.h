// Files found without regard to ASCII case, as Windows finds them: a cache copied from an old
// Windows disk often comes with its names lower-cased ("m00jaudt.htm" where the index says
// "M00JAUDT.HTM"), and a case-sensitive file system would miss every one.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "platform/platform.h"

namespace volari {

class CaseFreeLookup {
 public:
  // `path` when it can be opened as a file in `mode` (a read mode); else the path of the one file
  // in its folder whose name differs only in ASCII case, when that can; else nothing (also when
  // several do). Each folder is listed once, on its first miss.
  std::optional<std::string> find(Platform& platform, const std::string& path,
                                  FileMode mode = FileMode::read);

 private:
  // Folder -> name with ASCII letters lowered -> the name on disk ("" when several match).
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> folders_;
};

}  // namespace volari
