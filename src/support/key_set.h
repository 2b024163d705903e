// A set of 64-bit hashes, flat: a lookup for every link of every page touches one or two cache
// lines where a node-based set chases pointers.
#pragma once

#include <cstdint>
#include <vector>

namespace volari {

class KeySet {
 public:
  void insert(uint64_t key) {
    key = key == 0 ? 1 : key;  // 0 marks a free slot
    if (2 * (size_ + 1) > slots_.size()) grow();
    uint64_t& slot = slots_[find_slot(key)];
    if (slot == 0) ++size_;
    slot = key;
  }
  bool contains(uint64_t key) const {
    if (slots_.empty()) return false;
    key = key == 0 ? 1 : key;
    return slots_[find_slot(key)] == key;
  }
  size_t size() const { return size_; }
  template <class Visit>
  void for_each(Visit visit) const {
    for (const uint64_t key : slots_) {
      if (key != 0) visit(key);
    }
  }

 private:
  size_t find_slot(uint64_t key) const {
    // The top bits of a multiplication spread keys whose low bits are alike (FNV hashes).
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[i] != 0 && slots_[i] != key) i = (i + 1) & mask;
    return i;
  }
  void grow() {
    std::vector<uint64_t> old(slots_.empty() ? 64 : 2 * slots_.size());
    old.swap(slots_);
    shift_ = 64;
    for (size_t n = slots_.size(); n > 1; n >>= 1) --shift_;
    size_ = 0;
    for (const uint64_t key : old) {
      if (key != 0) insert(key);
    }
  }
  std::vector<uint64_t> slots_;
  size_t size_ = 0;
  int shift_ = 64;  // 64 - log2 of the slots
};

}  // namespace volari
