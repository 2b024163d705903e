#include "output/html_tags.h"

#include <cstring>
#include <utility>

#include "support/find_byte.h"

namespace volari {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Bytes that end names and values in a tag, one bit a kind: a lookup is cheaper than four
// comparisons, and tags make up much of a page.
enum : unsigned char { kBlank = 1, kSlash = 2, kClose = 4, kEquals = 8 };
struct ByteKinds {
  unsigned char of[256] = {};
  constexpr ByteKinds() {
    set(" \t\n\r\f", kBlank);
    set("/", kSlash);
    set(">", kClose);
    set("=", kEquals);
  }
  constexpr void set(std::string_view bytes, unsigned char kind) {
    for (const char c : bytes) of[static_cast<unsigned char>(c)] = kind;
  }
};
constexpr ByteKinds kByteKinds;
// The first byte from s[i] that is of one of the `kinds` (or with `stop` false: of none), or
// the size of `s`.
template <unsigned char kinds, bool stop>
size_t skip(std::string_view s, size_t i) {
  while (i < s.size() && ((kByteKinds.of[static_cast<unsigned char>(s[i])] & kinds) != 0) != stop) {
    ++i;
  }
  return i;
}

bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Elements whose contents are text to the browser, never tags.
bool is_raw_text(std::string_view name, uint64_t code) {
  constexpr uint64_t kScript = tag_code("script"), kStyle = tag_code("style"),
                     kXmp = tag_code("xmp");
  if (code == 0) return equals_ignoring_case(name, "textarea");
  return code == kScript || code == kStyle || code == kXmp;
}

// The end of the name of the start tag at the beginning of `s` ("<" and a letter), and its
// tag_code.
size_t tag_name_end(std::string_view s, uint64_t& code) {
  uint64_t bytes = 0;
  size_t i = 1;
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if ((kByteKinds.of[c] & (kBlank | kSlash | kClose)) != 0) break;
    bytes = bytes << 8 | (c | 0x20);
  }
  const size_t length = i - 1;
  code = length > 7 ? 0 : static_cast<uint64_t>(length) << (8 * length) | bytes;
  return i;
}

// Reads the attributes of the start tag at the beginning of `s` from s[i], the end of its name,
// into `tag` when it is not null (only those named `only`, in any case, when it is not empty);
// the tag's length in bytes, or 0 when `s` ends before the tag does.
size_t parse_attributes(std::string_view s, size_t i, StartTag* tag, std::string_view only = {}) {
  for (;;) {
    const size_t lead = i;
    i = skip<kBlank | kSlash, false>(s, i);
    if (i >= s.size()) return 0;
    if (s[i] == '>') return i + 1;
    const size_t name_begin = i;  // a name may begin with '='
    i = skip<kBlank | kSlash | kClose | kEquals, true>(s, i + 1);
    const size_t name_end = i;
    size_t j = skip<kBlank, false>(s, i);
    if (j >= s.size()) return 0;
    size_t value_begin = 0;
    size_t value_end = 0;
    if (s[j] == '=') {
      j = skip<kBlank, false>(s, j + 1);
      if (j >= s.size()) return 0;
      value_begin = j;
      if (s[j] == '"' || s[j] == '\'') {
        const size_t close = find_byte(s, j + 1, s[j]);
        if (close == std::string_view::npos) return 0;
        value_end = close;
        i = close + 1;
      } else {
        const size_t k = skip<kBlank | kClose, true>(s, j);
        if (k >= s.size()) return 0;
        value_end = i = k;
      }
    }
    if (tag == nullptr) continue;
    const std::string_view name = s.substr(name_begin, name_end - name_begin);
    if (!only.empty() && !equals_ignoring_case(name, only)) continue;
    TagAttribute& a = tag->attributes.emplace_back();
    a.lead = lead;
    a.name = name;
    a.name_end = name_end;
    a.end = i;
    if (value_begin != 0) {
      const size_t quoted = i != value_end;
      a.has_value = true;
      a.value_begin = value_begin;
      a.value = s.substr(value_begin + quoted, value_end - value_begin - quoted);
    }
  }
}

// The length of the start tag at the beginning of `s`, whose name ends at s[i], as
// parse_attributes gives it.
size_t tag_length(std::string_view s, size_t i) {
  // Only a quote after '=' hides a '>', so without one the first '>' ends the tag.
  const size_t k = find_any_byte(s, i, '>', '"', '\'');
  if (k == std::string_view::npos) return 0;
  return s[k] == '>' ? k + 1 : parse_attributes(s, i, nullptr);
}

bool edited(const StartTag& tag) {
  if (tag.remove) return true;
  for (const TagAttribute& a : tag.attributes) {
    if (a.remove || a.replace) return true;
  }
  return false;
}

// True when `have` (from a '<' to the end of the data) may still grow into "</name".
bool may_begin_end_tag(std::string_view have, std::string_view name) {
  if (have.size() < 2) return true;
  const size_t n = have.size() - 2;
  return have[1] == '/' && n <= name.size() &&
         equals_ignoring_case(have.substr(2), name.substr(0, n));
}

}  // namespace

TagAttribute* StartTag::find(std::string_view attribute_name) {
  for (TagAttribute& a : attributes) {
    if (equals_ignoring_case(a.name, attribute_name)) return &a;
  }
  return nullptr;
}

void TagScanner::feed(std::string_view line, std::string& out) {
  if (held_.empty()) {
    held_.assign(line.substr(scan(line, out)));
  } else {
    std::string data = std::move(held_);
    data.append(line);
    held_.assign(data, scan(data, out));
  }
  if (held_.size() > kMaxHeldTag) finish(out);
}

void TagScanner::finish(std::string& out) {
  out += held_;
  held_.clear();
}

// Returns how many bytes of `d` are done; the rest must wait for more.
size_t TagScanner::scan(std::string_view d, std::string& out) {
  size_t i = 0;
  size_t done = 0;  // d[done, i) is unchanged and not yet written
  const auto flush = [&](size_t to) {
    out.append(d.data() + done, to - done);
    return done = to;
  };
  while (i < d.size()) {
    if (state_ == State::text) {
      const size_t lt = find_byte(d, i, '<');
      if (lt == std::string_view::npos) break;
      if (lt + 1 >= d.size()) return flush(lt);
      const char c = d[lt + 1];
      if (is_alpha(c)) {
        const std::string_view rest = d.substr(lt);
        uint64_t code = 0;
        const size_t name_end = tag_name_end(rest, code);
        const std::string_view name = rest.substr(1, name_end - 1);
        // A tag that the handler passes over is only measured, and it stays as it is.
        const TagInterests::Entry* interest = wants_.find(code);
        const bool seen = interest != nullptr;
        size_t len = 0;
        if (seen) {
          tag_.start(name, code, interest->attribute);
          len = parse_attributes(rest, name_end, &tag_, interest->attribute);
        } else {
          len = tag_length(rest, name_end);
        }
        if (len == 0) return flush(lt);
        if (seen) {
          on_tag_(context_, tag_);
          if (edited(tag_)) done = write_edits(d, lt, len, done, out);
        }
        i = lt + len;
        if (!(seen && tag_.remove) && is_raw_text(name, code)) {
          state_ = State::raw_text;
          raw_end_.assign(name);
        }
      } else if (c == '!') {
        const std::string_view start = d.substr(lt, 4);
        if (start.size() < 4 && std::string_view("<!--").substr(0, start.size()) == start) {
          return flush(lt);
        }
        state_ = start == "<!--" ? State::comment : State::declaration;
        i = lt + 2;  // so that "<!-->" ends where it begins
      } else if (c == '/' || c == '?') {
        // An end tag or a processing instruction: nothing in it up to its '>'.
        const size_t gt = find_byte(d, lt + 2, '>');
        if (gt == std::string_view::npos) {
          state_ = State::declaration;
          break;
        }
        i = gt + 1;
      } else {
        i = lt + 1;
      }
    } else if (state_ == State::comment) {
      const size_t close = d.find("-->", i);
      if (close == std::string_view::npos) {
        size_t keep = 0;  // a "--" at the end may close with the next line
        while (keep < 2 && keep < d.size() - i && d[d.size() - 1 - keep] == '-') ++keep;
        return flush(d.size() - keep);
      }
      i = close + 3;
      state_ = State::text;
    } else if (state_ == State::declaration) {
      const size_t gt = find_byte(d, i, '>');
      if (gt == std::string_view::npos) break;
      i = gt + 1;
      state_ = State::text;
    } else {
      i = scan_raw_text(d, i);
      if (state_ == State::raw_text && i < d.size()) return flush(i);
    }
  }
  return flush(d.size());
}

// Looks for the end tag of the raw-text element from d[i]: its '<' (state back to text), the
// size of `d` when there is none, or the '<' of a possible beginning of it at the end of `d`.
size_t TagScanner::scan_raw_text(std::string_view d, size_t i) {
  while (i < d.size()) {
    const size_t lt = find_byte(d, i, '<');
    if (lt == std::string_view::npos) break;
    const std::string_view have = d.substr(lt, raw_end_.size() + 3);
    if (have.size() < raw_end_.size() + 3) {
      if (may_begin_end_tag(have, raw_end_)) return lt;
    } else if (have[1] == '/' && equals_ignoring_case(have.substr(2, raw_end_.size()), raw_end_) &&
               (is_blank(have.back()) || have.back() == '/' || have.back() == '>')) {
      state_ = State::text;
      return lt;
    }
    i = lt + 1;
  }
  return d.size();
}

size_t TagScanner::write_edits(std::string_view d, size_t lt, size_t len, size_t done,
                               std::string& out) const {
  if (tag_.remove) {
    out.append(d.substr(done, lt - done));
    return lt + len;
  }
  for (const TagAttribute& a : tag_.attributes) {
    if (a.remove) {
      out.append(d.substr(done, lt + a.lead - done));
    } else if (a.replace) {
      out.append(d.substr(done, lt + (a.has_value ? a.value_begin : a.name_end) - done));
      // One resize for the quotes and the two pieces.
      const std::string_view open = a.has_value ? "\"" : "=\"";
      const size_t at = out.size();
      out.resize(at + open.size() + a.replacement.size() + a.replacement_tail.size() + 1);
      char* p = &out[at];
      for (const std::string_view piece : {open, a.replacement, a.replacement_tail}) {
        if (!piece.empty()) std::memcpy(p, piece.data(), piece.size());
        p += piece.size();
      }
      *p = '"';
    } else {
      continue;
    }
    done = lt + a.end;
  }
  return done;
}

}  // namespace volari
