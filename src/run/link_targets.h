// Where links into the copy lead (LOCAL_LINKS=1): the output paths of the entries this run
// converts, and files an earlier run left in the output tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "config/settings.h"
#include "platform/platform.h"

namespace volari {

class LinkTargets {
 public:
  void add(const std::string& out_path) { paths_.insert(key(out_path)); }
  size_t size() const { return paths_.size(); }
  // The output path of `absolute_url` (as url_resolve gives it) when the copy holds it. Any
  // spelling that maps to one path finds it ("~" and "%7E"). A path not in the table is looked
  // for on disk, once a run.
  std::optional<std::string> find(Platform& platform, const Settings& settings,
                                  const std::string& absolute_url);

 private:
  // A path is held as a 64-bit hash of it (FNV-1a): a few dozen bytes an entry where the path
  // itself would take some two hundred, and two paths of one index share a hash about once in
  // 10^9 indexes of 100,000 entries.
  static uint64_t key(const std::string& out_path);

  std::unordered_set<uint64_t> paths_;
  std::unordered_map<uint64_t, bool> on_disk_;  // paths looked for on disk, by their hash
};

}  // namespace volari
