// Where links into the copy lead (LOCAL_LINKS=1): the output paths of the entries this run
// converts, and the files earlier runs made of the other URLs of the index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/settings.h"
#include "output/link_rewrite.h"
#include "platform/platform.h"
#include "support/key_set.h"

namespace volari {

class LinkTargets final : public LinkLookup {
 public:
  // Targets are found on disk through `platform`, mapped as `settings` say.
  LinkTargets(Platform& platform, const Settings& settings)
      : platform_(platform), settings_(settings) {}

  // A URL of the index that maps to an output path; `converted` when this run converts it.
  void add(std::string_view url, const std::string& out_path, bool converted);
  size_t size() const { return paths_.size(); }
  // False when no URL of the index has that loose key (mapping/url_key.h).
  bool may_hold(uint64_t loose_key) const override;
  // The output path of `absolute_url` (as url_resolve gives it) when the copy holds it: the URL
  // is one of the index's, as far as case, %-escapes, a port, a user, a leading "www." and the
  // query can tell, and its output path is one this run writes or a file on disk. So any spelling
  // that maps to one path finds it ("~" and "%7E", case), and a link to a page the index never
  // held costs no mapping. Each URL is mapped once a run: a site links the same pages from every
  // page. Null when the copy does not hold it; the path lives as long as the table.
  const std::string* find(const std::string& absolute_url) override;

 private:
  // A path or URL is held as a 64-bit hash of it: a few dozen bytes an entry where the path
  // itself would take some two hundred, and two paths of one index share a hash about once in
  // 10^9 indexes of 100,000 entries.
  Platform& platform_;
  const Settings& settings_;
  KeySet urls_;  // loose keys of the index's URLs
  // A Bloom filter of urls_, 16 bits a key in words of 64 (three bits a key in one word): asked
  // for every link, it stays in the processor's cache where urls_ does not. Made at the first
  // question after the last add.
  mutable std::vector<uint64_t> filter_;
  mutable size_t filter_keys_ = 0;
  mutable int filter_shift_ = 64;
  KeySet paths_;  // this run's output paths
  // URLs looked up, by their hash: the output path of those the copy holds, "" for the others.
  std::unordered_map<uint64_t, std::string> looked_up_;
};

}  // namespace volari
