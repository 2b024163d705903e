#include "output/link_rewrite.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "mapping/url_key.h"
#include "mapping/url_resolve.h"
#include "platform/cp932.h"
#include "support/hash64.h"

namespace volari {

namespace {

// The tags whose links on_tag rewrites, by the attribute that holds the link; BASE and META,
// whose attributes on_tag reads, with "".
constexpr TagInterests::Entry kLinkTags[] = {{tag_code("a"), "href"},
                                             {tag_code("area"), "href"},
                                             {tag_code("link"), "href"},
                                             {tag_code("img"), "src"},
                                             {tag_code("frame"), "src"},
                                             {tag_code("iframe"), "src"},
                                             {tag_code("script"), "src"},
                                             {tag_code("embed"), "src"},
                                             {tag_code("input"), "src"},
                                             {tag_code("body"), "background"},
                                             {tag_code("table"), "background"},
                                             {tag_code("tr"), "background"},
                                             {tag_code("td"), "background"},
                                             {tag_code("th"), "background"},
                                             {tag_code("base"), ""},
                                             {tag_code("meta"), ""}};
constexpr TagInterests kLinkInterests(kLinkTags);
static_assert(kLinkInterests.distinct(), "two tags in one slot");

// How a text is written into a link: a path in the copy ('\' separating names), the fragment,
// or an absolute URL.
enum class Escape { path, fragment, url };

// Stands in sjis_to_utf8's output for a byte that is no Shift-JIS character: 0xFF never occurs
// in UTF-8.
constexpr unsigned char kBadByte = 0xFF;

void append_percent(unsigned char c, std::string& out, const char* mark = "%") {
  static const char kHex[] = "0123456789ABCDEF";
  out += mark;
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

constexpr bool is_name_safe(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case '@':
      return true;
    default:
      return false;
  }
}

// Printable ASCII that neither HTML nor a browser would read otherwise ('\' is a separator
// to browsers of today).
constexpr bool is_url_safe(unsigned char c) {
  return c > ' ' && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '&' && c != '\\';
}

// Both of the above for every byte, looked up in the loops over every byte of a link; kStop:
// a byte that keeps a value from joining the base URL as it is (a scheme's ':', an entity, a
// fragment, a byte the browser drops).
struct SafeBytes {
  enum : unsigned char { kName = 1, kUrl = 2, kStop = 4 };
  unsigned char of[256] = {};
  constexpr SafeBytes() {
    for (int c = 0; c < 256; ++c) {
      const auto b = static_cast<unsigned char>(c);
      const bool stop = b == ':' || b == '&' || b == '#' || b == '\t' || b == '\n' || b == '\r';
      of[c] = static_cast<unsigned char>((is_name_safe(b) ? kName : 0) |
                                         (is_url_safe(b) ? kUrl : 0) | (stop ? kStop : 0));
    }
  }
};

constexpr SafeBytes kSafeBytes;

bool is_url_safe(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (kSafeBytes.of[static_cast<unsigned char>(c)] & SafeBytes::kUrl) != 0;
  });
}

void append_escaped(std::string_view text, Escape how, std::string& out) {
  std::string utf8;
  if (how != Escape::url) {
    // In UTF-8 a 0x5C byte is always '\' itself, never half of a character.
    utf8 = sjis_to_utf8(text, [](unsigned char c, std::string& s) {
      s += static_cast<char>(kBadByte);
      s += static_cast<char>(c);
    });
    text = utf8;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t run = i;
    const unsigned char safe = how == Escape::path ? SafeBytes::kName : SafeBytes::kUrl;
    while (i < text.size() && (kSafeBytes.of[static_cast<unsigned char>(text[i])] & safe) != 0) ++i;
    out.append(text.substr(run, i - run));
    if (i == text.size()) break;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (how == Escape::path && (c == '\\' || c == '/')) {
      out += '/';
    } else if (how != Escape::url && c == kBadByte && i + 1 < text.size()) {
      // Such a byte is stored as "%XX" in a name on disk.
      append_percent(static_cast<unsigned char>(text[++i]), out, how == Escape::path ? "%25" : "%");
    } else if (how != Escape::path && c == '&') {
      out += "&amp;";
    } else if (how == Escape::url && c >= 0x80) {
      // The URL's own bytes, double-byte characters whole.
      const size_t n = sjis_char_length(reinterpret_cast<const unsigned char*>(text.data()) + i,
                                        text.size() - i);
      for (size_t k = 0; k < n; ++k) append_percent(static_cast<unsigned char>(text[i + k]), out);
      i += n - 1;
    } else {
      append_percent(c, out);
    }
  }
}

size_t char_length(std::string_view s, size_t i) {
  return sjis_char_length(reinterpret_cast<const unsigned char*>(s.data()) + i, s.size() - i);
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_scheme_char(char c) {
  return is_alpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Finds the URL in the CONTENT of a refresh ("5; URL=page.htm", "0;url='x'", "3, x.htm").
bool refresh_url(std::string_view content, size_t& begin, size_t& end) {
  size_t i = 0;
  while (i < content.size() && is_blank(content[i])) ++i;
  while (i < content.size() && ((content[i] >= '0' && content[i] <= '9') || content[i] == '.')) {
    ++i;
  }
  while (i < content.size() && is_blank(content[i])) ++i;
  if (i < content.size() && (content[i] == ';' || content[i] == ',')) ++i;
  while (i < content.size() && is_blank(content[i])) ++i;
  if (equals_ignoring_case(content.substr(i, 3), "url")) {
    size_t j = i + 3;
    while (j < content.size() && is_blank(content[j])) ++j;
    if (j < content.size() && content[j] == '=') {
      i = j + 1;
      while (i < content.size() && is_blank(content[i])) ++i;
    }
  }
  end = content.size();
  if (i < end && (content[i] == '\'' || content[i] == '"')) {
    end = std::min(end, content.find(content[i], i + 1));
    ++i;
  }
  while (end > i && is_blank(content[end - 1])) --end;
  begin = i;
  return begin < end;
}

// Where the scheme and host of `url` end.
size_t origin_end(std::string_view url) {
  size_t i = 0;
  if (!url.empty() && is_alpha(url[0])) {
    i = 1;
    while (i < url.size() && is_scheme_char(url[i])) ++i;
    i = i < url.size() && url[i] == ':' ? i + 1 : 0;
  }
  if (url.substr(i, 2) != "//") return i;
  i += 2;
  while (i < url.size() && url[i] != '/' && url[i] != '?' && url[i] != '#') ++i;
  return i;
}

// What of the base URL a value depends on, as it is written: 0 nothing (a scheme and "//"), 1
// its scheme and host (a single '/' first), 2 its folder; -1 when it may depend on the page
// itself (none, a query or a fragment alone, or that after a scheme, also when blanks or line
// breaks the browser drops may hide one).
int value_form(std::string_view value) {
  if (value.empty() || is_blank(value[0]) || value[0] == '?') return -1;
  for (const char c : value) {
    if (c == '#' || c == '\t' || c == '\n' || c == '\r') return -1;
  }
  if (is_alpha(value[0])) {
    size_t i = 1;
    while (i < value.size() && is_scheme_char(value[i])) ++i;
    if (i < value.size() && value[i] == ':') {
      const std::string_view rest = value.substr(i + 1);
      if (rest.substr(0, 2) == "//") return 0;
      if (rest.empty() || is_blank(rest[0]) || rest[0] == '?') return -1;
    }
    return 2;
  }
  if (value[0] == '/' && (value.size() == 1 || value[1] != '/')) return 1;
  return 2;
}

// True when `value` resolves to the base URL's folder followed by the value as it is, or to its
// origin followed by it when it begins with a single '/': nothing the browser would drop or
// decode, no scheme, host, fragment or dot segment. `escapes` then tells whether a byte of it is
// to be escaped in a link.
bool joins_as_it_is(std::string_view value, bool& escapes) {
  if (value.empty() || is_blank(value[0]) || is_blank(value.back())) return false;
  if (value[0] == '.' || value[0] == '?' || value.substr(0, 2) == "//") return false;
  unsigned char every = 0xFF, some = 0;  // the kinds of every byte, of some byte
  for (size_t i = 0; i < value.size(); ++i) {
    const unsigned char kind = kSafeBytes.of[static_cast<unsigned char>(value[i])];
    every &= kind;
    some |= kind;
    if (value[i] == '.' && value[i - 1] == '/') return false;
  }
  escapes = (every & SafeBytes::kUrl) == 0;
  return (some & SafeBytes::kStop) == 0;
}

}  // namespace

std::string relative_link(std::string_view from, std::string_view to) {
  size_t common = 0;  // just after the last separator up to which both are the same
  for (size_t i = 0; i < from.size();) {
    const size_t n = char_length(from, i);
    if (from.substr(i, n) != to.substr(i, n)) break;
    if (from[i] == '\\' || from[i] == '/') common = i + 1;
    i += n;
  }
  std::string out;
  for (size_t i = common; i < from.size(); i += char_length(from, i)) {
    if (from[i] == '\\' || from[i] == '/') out += "../";
  }
  append_escaped(to.substr(common), Escape::path, out);
  return out;
}

LinkRewriter::LinkRewriter(std::string page_url, std::string page_path, LinkLookup* lookup,
                           LinkMemo* memo)
    : page_path_(std::move(page_path)),
      lookup_(lookup),
      scanner_([](void* self, StartTag& tag) { static_cast<LinkRewriter*>(self)->on_tag(tag); },
               this, kLinkInterests),
      memo_(memo) {
  set_base(std::move(page_url));
  if (const auto self = resolve_link(base_, "")) self_url_ = self->url;
  self_hash_ = hash64(self_url_);
}

void LinkRewriter::set_base(std::string base) {
  base_ = std::move(base);
  const std::string_view url = std::string_view(base_).substr(0, base_.find_first_of("?#"));
  const size_t origin = origin_end(url);
  folder_url_.clear();
  const std::string_view path = url.substr(origin);
  if (path.find("/.") == std::string_view::npos && (path.empty() || path[0] != '.')) {
    // Then no dot segment can come up where a plain name joins the folder.
    if (auto probe = resolve_link(base_, "x"); probe && probe->url.back() == 'x') {
      folder_url_ = std::move(probe->url);
      folder_url_.pop_back();
    }
  }
  origin_url_.clear();
  if (auto probe = resolve_link(base_, "/x");
      probe && probe->url.size() >= 2 && probe->url.compare(probe->url.size() - 2, 2, "/x") == 0) {
    origin_url_ = std::move(probe->url);
    origin_url_.resize(origin_url_.size() - 2);
  }
  plain_folder_ = !folder_url_.empty() && is_url_safe(folder_url_);
  plain_origin_ = !origin_url_.empty() && is_url_safe(origin_url_);
  folder_key_ = loose_url_key(folder_url_);
  origin_key_ = loose_url_key(origin_url_);
  const std::string_view page = page_path_;
  const size_t page_folder = page.find_last_of("\\/");
  const uint64_t page_hash =
      hash64(page.substr(0, page_folder == std::string_view::npos ? 0 : page_folder));
  const std::string_view depends_on[] = {"", url.substr(0, origin),
                                         url.substr(0, std::max(origin, url.rfind('/') + 1))};
  for (size_t form = 0; form < 3; ++form) {
    MemoContext& c = contexts_[form];
    c.any_page = hash64(depends_on[form], hash64(std::string_view(&"arf"[form], 1)));
    c.this_page = (c.any_page ^ page_hash) * 0x9E3779B97F4A7C15ull;
  }
}

const LinkMemo::Value* LinkMemo::find(uint64_t key) const {
  if (slots_.empty()) return nullptr;
  key |= 1;
  const size_t mask = slots_.size() - 1;
  for (size_t i = (key >> 1) & mask;; i = (i + 1) & mask) {
    if (slots_[i].key == key) return &slots_[i];
    if (slots_[i].key == 0) return nullptr;
  }
}

std::optional<std::string_view> LinkMemo::keep(uint64_t key, uint64_t target,
                                               std::optional<std::string_view> value) {
  constexpr size_t kMaxTexts = size_t{16} << 20;
  if (used_ >= kMaxValues || texts_.size() + (value ? value->size() : 0) > kMaxTexts) {
    std::fill(slots_.begin(), slots_.end(), Value());
    used_ = 0;
    texts_.clear();
  }
  if (2 * (used_ + 1) > slots_.size()) {
    std::vector<Value> old(std::max<size_t>(1024, 2 * slots_.size()));
    old.swap(slots_);
    used_ = 0;
    for (const Value& v : old) {
      if (v.key != 0) *place(v.key) = v, ++used_;
    }
  }
  Value* slot = place(key | 1);
  if (slot->key == 0) ++used_;
  *slot = {key | 1, target, static_cast<uint32_t>(texts_.size()), kStays};
  if (!value) return std::nullopt;
  slot->size = static_cast<uint32_t>(value->size());
  texts_.append(*value);
  return std::string_view(texts_).substr(slot->begin);
}

LinkMemo::Value* LinkMemo::place(uint64_t key) {
  const size_t mask = slots_.size() - 1;
  size_t i = (key >> 1) & mask;
  while (slots_[i].key != 0 && slots_[i].key != key) i = (i + 1) & mask;
  return &slots_[i];
}

std::optional<std::string> LinkRewriter::rewrite_value(std::string_view value) {
  const std::optional<std::string_view> result = new_value(value);
  return result ? std::optional<std::string>(*result) : std::nullopt;
}

const std::string* LinkRewriter::join_start(std::string_view value, bool& escapes) const {
  if (!joins_as_it_is(value, escapes)) return nullptr;
  const std::string& start = value[0] == '/' ? origin_url_ : folder_url_;
  return start.empty() ? nullptr : &start;
}

const std::string* LinkRewriter::plain_start(std::string_view value) const {
  bool escapes = false;
  const std::string* start = join_start(value, escapes);
  const bool origin = start == &origin_url_;
  if (start == nullptr || escapes || !(origin ? plain_origin_ : plain_folder_)) return nullptr;
  if (lookup_ != nullptr &&
      lookup_->may_hold(loose_url_key(origin ? origin_key_ : folder_key_, value))) {
    return nullptr;
  }
  if (self_url_.size() == start->size() + value.size() &&
      self_url_.compare(start->size(), value.size(), value.data(), value.size()) == 0 &&
      self_url_.compare(0, start->size(), *start) == 0) {
    return nullptr;
  }
  return start;
}

std::optional<std::string_view> LinkRewriter::new_value(std::string_view value) {
  if (const std::string* start = plain_start(value)) {
    fresh_.assign(*start).append(value);
    return std::string_view(fresh_);
  }
  return find_or_rewrite(value);
}

std::optional<std::string_view> LinkRewriter::find_or_rewrite(std::string_view value) {
  const int form = memo_ == nullptr ? -1 : value_form(value);
  uint64_t target = 0;
  bool on_page = false;
  if (form < 0) {
    if (!rewrite(value, target, on_page)) return std::nullopt;
    return std::string_view(fresh_);
  }
  const MemoContext& context = contexts_[form];
  const uint64_t any_page = hash64(value, context.any_page);
  const uint64_t this_page = (any_page ^ context.this_page) * 0x9E3779B97F4A7C15ull;
  for (const uint64_t key : {any_page, this_page}) {
    const LinkMemo::Value* found = memo_->find(key);
    if (found != nullptr && found->target != self_hash_) return memo_->text(*found);
  }
  const bool changed = rewrite(value, target, on_page);
  const std::optional<std::string_view> fresh =
      changed ? std::optional<std::string_view>(fresh_) : std::nullopt;
  if (target == self_hash_) return fresh;
  return memo_->keep(on_page ? this_page : any_page, target, fresh);
}

bool LinkRewriter::rewrite(std::string_view value, uint64_t& target, bool& on_page) {
  std::optional<ResolvedLink> link;
  std::string_view fragment;
  bool escapes = false;
  if (const std::string* start = join_start(value, escapes)) {
    url_.assign(*start).append(value);
  } else {
    link = resolve_link(base_, value);
    if (!link) return false;
    url_.swap(link->url);
    fragment = link->fragment;
  }
  target = hash64(url_);
  fresh_.clear();
  const bool self = url_ == self_url_;
  if (!self || fragment.empty()) {
    const std::string* path = self ? &page_path_ : lookup_ ? lookup_->find(url_) : nullptr;
    if (path != nullptr) {
      on_page = true;
      fresh_ = relative_link(page_path_, *path);
    } else if (is_url_safe(url_)) {
      fresh_ = url_;  // nothing to escape: the usual absolute link
    } else {
      append_escaped(url_, Escape::url, fresh_);
    }
  }
  if (!fragment.empty()) {
    fresh_ += '#';
    append_escaped(fragment.substr(1), Escape::fragment, fresh_);
  }
  return true;
}

void LinkRewriter::on_tag(StartTag& tag) {
  if (tag.attributes.empty()) return;
  if (!tag.only.empty()) {
    // Only attributes of that name are read: the first is the link.
    TagAttribute& a = tag.attributes.front();
    if (!a.has_value) return;
    if (const std::string* start = plain_start(a.value)) {
      a.replacement = *start;
      a.replacement_tail = a.value;
      a.replace = true;
    } else if (const std::optional<std::string_view> value = find_or_rewrite(a.value)) {
      a.replacement = *value;  // the memo or fresh_ keeps it until the next link
      a.replace = true;
    }
    return;
  }
  constexpr uint64_t kBase = tag_code("base"), kMeta = tag_code("meta");
  if (tag.code == kBase) {
    const TagAttribute* href = tag.find("href");
    const std::optional<ResolvedLink> link =
        href != nullptr && href->has_value ? resolve_link(base_, href->value) : std::nullopt;
    if (!link) return;
    set_base(link->url);
    tag.remove = true;
    for (const TagAttribute& a : tag.attributes) tag.remove &= equals_ignoring_case(a.name, "href");
    for (TagAttribute& a : tag.attributes) a.remove = equals_ignoring_case(a.name, "href");
    return;
  }
  if (tag.code != kMeta) return;
  const TagAttribute* equiv = tag.find("http-equiv");
  TagAttribute* content = tag.find("content");
  size_t begin = 0;
  size_t end = 0;
  if (equiv == nullptr || !equals_ignoring_case(equiv->value, "refresh") || content == nullptr ||
      !refresh_url(content->value, begin, end)) {
    return;
  }
  if (const auto url = new_value(content->value.substr(begin, end - begin))) {
    refresh_.clear();
    for (const std::string_view piece :
         {content->value.substr(0, begin), *url, content->value.substr(end)}) {
      for (const char c : piece) {
        if (c == '"') {
          refresh_ += "&quot;";
        } else {
          refresh_ += c;
        }
      }
    }
    content->replacement = refresh_;
    content->replace = true;
  }
}

}  // namespace volari
