#include "run/link_targets.h"

#include "mapping/map_url.h"
#include "mapping/url_key.h"
#include "support/hash64.h"

namespace volari {

namespace {

// Three bits of one word for a key, and the word.
uint64_t filter_bits(uint64_t key) {
  return uint64_t{1} << (key & 63) | uint64_t{1} << (key >> 6 & 63) |
         uint64_t{1} << (key >> 12 & 63);
}
size_t filter_word(uint64_t key, int shift) {
  return shift >= 64 ? 0 : static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift);
}

}  // namespace

void LinkTargets::add(std::string_view url, const std::string& out_path, bool converted) {
  urls_.insert(loose_url_key(url));
  if (converted) paths_.insert(hash64(out_path));
}

bool LinkTargets::may_hold(uint64_t loose_key) const {
  if (filter_keys_ != urls_.size() || filter_.empty()) {
    filter_keys_ = urls_.size();
    size_t words = 1;
    filter_shift_ = 64;
    while (words * 4 < filter_keys_) words *= 2, --filter_shift_;
    filter_.assign(words, 0);
    urls_.for_each(
        [this](uint64_t key) { filter_[filter_word(key, filter_shift_)] |= filter_bits(key); });
  }
  loose_key += loose_key == 0;  // as the set holds it
  const uint64_t bits = filter_bits(loose_key);
  return (filter_[filter_word(loose_key, filter_shift_)] & bits) == bits &&
         urls_.contains(loose_key);
}

const std::string* LinkTargets::find(const std::string& absolute_url) {
  if (!urls_.contains(loose_url_key(absolute_url))) return nullptr;
  auto [it, fresh] = looked_up_.try_emplace(hash64(absolute_url));
  if (fresh) {
    MappedUrl u = map_url(settings_, absolute_url);
    if (u.outcome == MapOutcome::mapped &&
        (paths_.contains(hash64(u.out_path)) || platform_.attributes(u.out_path.c_str()) != -1)) {
      it->second = std::move(u.out_path);
    }
  }
  return it->second.empty() ? nullptr : &it->second;
}

}  // namespace volari
