// Where links into the copy lead (LOCAL_LINKS=1): the output paths of the entries this run
// converts, and the files earlier runs made of the other URLs of the index.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "config/settings.h"
#include "platform/platform.h"

namespace volari {

class LinkTargets {
 public:
  // A URL of the index that maps to an output path; `converted` when this run converts it.
  void add(std::string_view url, const std::string& out_path, bool converted);
  size_t size() const { return paths_.size(); }
  // The output path of `absolute_url` (as url_resolve gives it) when the copy holds it: the URL
  // is one of the index's, as far as case, %-escapes, a port, a user, a leading "www." and the
  // query can tell, and its output path is one this run writes or a file on disk. So any spelling
  // that maps to one path finds it ("~" and "%7E", case), and a link to a page the index never
  // held costs no mapping. Each URL is mapped once a run: a site links the same pages from every
  // page.
  std::optional<std::string> find(Platform& platform, const Settings& settings,
                                  const std::string& absolute_url);

 private:
  // A path or URL is held as a 64-bit hash of it (FNV-1a): a few dozen bytes an entry where the
  // path itself would take some two hundred, and two paths of one index share a hash about once
  // in 10^9 indexes of 100,000 entries.
  static uint64_t key(const std::string& text);

  // The URL with what may differ between spellings of one page taken out, hashed.
  static uint64_t loose_key(std::string_view url);

  std::unordered_set<uint64_t> urls_;   // loose keys of the index's URLs
  std::unordered_set<uint64_t> paths_;  // this run's output paths
  // URLs looked up, by their hash: the output path of those the copy holds, "" for the others.
  std::unordered_map<uint64_t, std::string> looked_up_;
};

}  // namespace volari
