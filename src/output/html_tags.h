// Start tags and their attributes in a page read line by line, with edits to single attributes
// or whole tags; every other byte of the page goes through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace volari {

// True when `a` and `b` are equal with ASCII letters compared without regard to case.
inline bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

struct TagAttribute {
  std::string_view name;   // as written
  std::string_view value;  // without its quotes, entities not decoded; empty without '='
  bool has_value = false;  // false for a bare name (<TD NOWRAP>)
  // Edits: `replacement` and `replacement_tail` (when `replace`) are written in double quotes in
  // place of the value, as they are (a '"' in them is the caller's to escape); their bytes are
  // the caller's and must live until the tag is written. `remove` leaves out the attribute and
  // the blanks before it.
  std::string_view replacement, replacement_tail;
  bool replace = false;
  bool remove = false;
  // Where it lies in the tag's bytes: blanks before it, name end, value as written (quotes
  // included), end.
  size_t lead = 0, name_end = 0, value_begin = 0, end = 0;
};

// A tag name of up to 7 bytes as one number (0 for a longer one): each byte with its 0x20 bit
// set, so that a letter matches its lower case form in either case, and the length on top.
constexpr uint64_t tag_code(std::string_view name) {
  if (name.size() > 7) return 0;
  uint64_t code = name.size();
  for (const char c : name) code = code << 8 | (static_cast<unsigned char>(c) | 0x20);
  return code;
}

struct StartTag {
  std::string_view name;  // as written
  uint64_t code = 0;      // tag_code(name)
  // The attribute the handler looks at in tags of this name (TagInterests): only attributes of
  // that name are read, or all of them when it is empty.
  std::string_view only;
  std::vector<TagAttribute> attributes;
  bool remove = false;  // edit: the whole tag is left out of the copy
  // Made ready for a tag of that name, code and attribute of interest.
  void start(std::string_view tag_name, uint64_t name_code, std::string_view attribute) {
    name = tag_name;
    code = name_code;
    only = attribute;
    attributes.clear();
    remove = false;
  }
  // The first attribute of that name (any case), or null.
  TagAttribute* find(std::string_view attribute_name);
};

// The start tags a handler wants to see, by the tag_code of their names (up to 32 names of up to
// 7 bytes), each found with one look: a page has a tag every few bytes.
class TagInterests {
 public:
  struct Entry {
    uint64_t code = 0;
    std::string_view attribute;  // the one it looks at, in any case; "" for all of them
  };
  template <size_t N>
  constexpr explicit TagInterests(const Entry (&entries)[N]) {
    for (const Entry& e : entries) {
      Entry& slot = slots_[slot_of(e.code)];
      distinct_ = distinct_ && slot.code == 0 && e.code != 0;
      slot = e;
    }
  }
  // False when two names share a slot: choose other names or another factor.
  constexpr bool distinct() const { return distinct_; }
  const Entry* find(uint64_t code) const {
    const Entry& e = slots_[slot_of(code)];
    return code != 0 && e.code == code ? &e : nullptr;
  }

 private:
  static constexpr size_t slot_of(uint64_t code) {
    return static_cast<size_t>((code * 0x8DED3C9691EB79FBull) >> 59);
  }
  Entry slots_[32] = {};
  bool distinct_ = true;
};

// Finds the start tags of a page fed to it line by line. Tag and attribute names in any case;
// values in double, single or no quotes, blanks around '='. Comments (<!-- -->), declarations
// (<!...>, <?...>), end tags and the contents of SCRIPT, STYLE, XMP and TEXTAREA hold no tags.
// A tag still open at the end of a line is held back and written with the line that closes it,
// so the bytes of the page are the same, only not always cut at the same places; one that grows
// beyond kMaxHeldTag bytes is written as it is and scanning goes on after it.
class TagScanner {
 public:
  static constexpr size_t kMaxHeldTag = 65536;
  // The handler sees each start tag that `wants` holds and may set its edits; the views live
  // until it returns.
  using TagHandler = void (*)(void* context, StartTag& tag);
  TagScanner(TagHandler on_tag, void* context, const TagInterests& wants)
      : on_tag_(on_tag), context_(context), wants_(wants) {}

  // Appends to `out` the bytes of `line` (and of lines held back) that are done.
  void feed(std::string_view line, std::string& out);
  // At the end of the page: appends whatever is still held back, as it is.
  void finish(std::string& out);

 private:
  enum class State { text, comment, declaration, raw_text };
  size_t scan(std::string_view data, std::string& out);
  size_t scan_raw_text(std::string_view data, size_t i);
  // Appends to `out` d[done, ...) up to the edits of the tag at d[lt, lt + len) and the edits;
  // returns how far `d` is written then.
  size_t write_edits(std::string_view d, size_t lt, size_t len, size_t done,
                     std::string& out) const;

  TagHandler on_tag_;
  void* context_;
  const TagInterests& wants_;
  State state_ = State::text;
  std::string held_;
  std::string raw_end_;  // the element whose end tag ends raw text
  StartTag tag_;
};

}  // namespace volari
