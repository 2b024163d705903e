// Start tags and their attributes in a page read line by line, with edits to single attributes
// or whole tags; every other byte of the page goes through unchanged.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
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
  // Edits: `replace` is written in double quotes in place of the value ('"' in it as "&quot;",
  // nothing else escaped); `remove` leaves out the attribute and the blanks before it.
  std::optional<std::string> replace;
  // As `replace`, a text kept by the caller until the tag is written (no copy for every link).
  const std::string* replace_kept = nullptr;
  bool remove = false;
  // Where it lies in the tag's bytes: blanks before it, name end, value as written (quotes
  // included), end.
  size_t lead = 0, name_end = 0, value_begin = 0, end = 0;
};

struct StartTag {
  std::string_view name;  // as written
  std::vector<TagAttribute> attributes;
  bool remove = false;  // edit: the whole tag is left out of the copy
  // The first attribute of that name (any case), or null.
  TagAttribute* find(std::string_view attribute_name);
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
  // Whether `on_tag` is to see the start tags of that name (as written).
  using TagFilter = bool (*)(std::string_view name);
  // `on_tag` sees each start tag (that `wants` lets through, when there is one) and may set its
  // edits; the views live until it returns.
  explicit TagScanner(std::function<void(StartTag&)> on_tag, TagFilter wants = nullptr)
      : on_tag_(std::move(on_tag)), wants_(wants) {}

  // Appends to `out` the bytes of `line` (and of lines held back) that are done.
  void feed(std::string_view line, std::string& out);
  // At the end of the page: appends whatever is still held back, as it is.
  void finish(std::string& out);

 private:
  enum class State { text, comment, declaration, raw_text };
  size_t scan(std::string_view data, std::string& out);
  size_t scan_raw_text(std::string_view data, size_t i);
  void write_tag(std::string_view bytes, std::string& out) const;

  std::function<void(StartTag&)> on_tag_;
  TagFilter wants_;
  State state_ = State::text;
  std::string held_;
  std::string raw_end_;  // the element whose end tag ends raw text
  StartTag tag_;
};

}  // namespace volari
