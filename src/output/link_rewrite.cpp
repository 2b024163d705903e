#include "output/link_rewrite.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "mapping/url_resolve.h"
#include "platform/cp932.h"

namespace volari {

namespace {

// A tag name of up to 7 bytes as one number, or 0. Each byte with its 0x20 bit set: a byte
// then matches a lower case letter only when it is that letter in either case.
constexpr uint64_t packed_name(std::string_view name) {
  if (name.size() > 7) return 0;
  uint64_t packed = name.size();
  for (const char c : name) packed = packed << 8 | (static_cast<unsigned char>(c) | 0x20);
  return packed;
}

struct LinkTag {
  uint64_t packed = 0;         // packed_name
  std::string_view attribute;  // that holds a link; "" for BASE and META, which on_tag reads
};
constexpr LinkTag kLinkTags[] = {{packed_name("a"), "href"},
                                 {packed_name("area"), "href"},
                                 {packed_name("link"), "href"},
                                 {packed_name("img"), "src"},
                                 {packed_name("frame"), "src"},
                                 {packed_name("iframe"), "src"},
                                 {packed_name("script"), "src"},
                                 {packed_name("embed"), "src"},
                                 {packed_name("input"), "src"},
                                 {packed_name("body"), "background"},
                                 {packed_name("table"), "background"},
                                 {packed_name("tr"), "background"},
                                 {packed_name("td"), "background"},
                                 {packed_name("th"), "background"},
                                 {packed_name("base"), ""},
                                 {packed_name("meta"), ""}};

// The tags by a multiplicative hash of their packed names that gives each its own slot: one
// look for every tag of every page.
constexpr size_t link_tag_slot(uint64_t packed) {
  return static_cast<size_t>((packed * 0x8DED3C9691EB79FBull) >> 59);
}
struct LinkTagSlots {
  LinkTag of[32] = {};
  bool distinct = true;
  constexpr LinkTagSlots() {
    for (const LinkTag& tag : kLinkTags) {
      LinkTag& slot = of[link_tag_slot(tag.packed)];
      distinct = distinct && slot.packed == 0;
      slot = tag;
    }
  }
};
constexpr LinkTagSlots kLinkTagSlots;
static_assert(kLinkTagSlots.distinct, "two tags in one slot: choose another factor");

// The tag of that name (any case) on_tag looks at, or null.
const LinkTag* link_tag(std::string_view name) {
  const uint64_t packed = packed_name(name);
  const LinkTag& tag = kLinkTagSlots.of[link_tag_slot(packed)];
  return packed != 0 && tag.packed == packed ? &tag : nullptr;
}

bool may_link(std::string_view tag) {
  return link_tag(tag) != nullptr;
}

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

// Both of the above for every byte, looked up in the loops over every byte of a link.
struct SafeBytes {
  enum : unsigned char { kName = 1, kUrl = 2 };
  unsigned char of[256] = {};
  constexpr SafeBytes() {
    for (int c = 0; c < 256; ++c) {
      of[c] = static_cast<unsigned char>((is_name_safe(static_cast<unsigned char>(c)) ? kName : 0) |
                                         (is_url_safe(static_cast<unsigned char>(c)) ? kUrl : 0));
    }
  }
};
constexpr SafeBytes kSafeBytes;

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

// A 64-bit hash of `text` going on from `hash`, eight bytes a step (the rounds and the final
// mix of xxHash64): the memo hashes every link of every page.
uint64_t hashed(std::string_view text, uint64_t hash = 0x9E3779B185EBCA87ull) {
  constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull, kPrime2 = 0xC2B2AE3D27D4EB4Full;
  const auto round = [&hash](uint64_t word) {
    hash += word * kPrime2;
    hash = (hash << 31 | hash >> 33) * kPrime1;
  };
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    round(word);
  }
  uint64_t tail = 0;
  if (i < text.size()) std::memcpy(&tail, text.data() + i, text.size() - i);
  round(tail);
  round(text.size());
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  hash *= 0x165667B19E3779F9ull;
  return hash ^ (hash >> 32);
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

// True when `value` resolves to the folder of the base URL followed by the value as it is:
// nothing the browser would drop or decode, no scheme, host, fragment, folder of its own above
// or dot segment.
bool joins_plainly(std::string_view value) {
  if (value.empty() || is_blank(value[0]) || is_blank(value.back())) return false;
  if (value[0] == '.' || value[0] == '/' || value[0] == '?') return false;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == ':' || c == '&' || c == '#' || c == '\t' || c == '\n' || c == '\r' ||
        (c == '.' && value[i - 1] == '/')) {
      return false;
    }
  }
  return true;
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

LinkRewriter::LinkRewriter(std::string page_url, std::string page_path, LinkLookup lookup,
                           LinkMemo* memo)
    : page_path_(std::move(page_path)),
      lookup_(std::move(lookup)),
      scanner_([this](StartTag& tag) { on_tag(tag); }, may_link),
      memo_(memo) {
  set_base(std::move(page_url));
  if (const auto self = resolve_link(base_, "")) self_url_ = self->url;
  self_hash_ = hashed(self_url_);
}

void LinkRewriter::set_base(std::string base) {
  base_ = std::move(base);
  size_t cut = 0;
  while (cut < base_.size() && base_[cut] != '?' && base_[cut] != '#') ++cut;
  const std::string_view url = std::string_view(base_).substr(0, cut);
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
  const std::string_view page = page_path_;
  const size_t page_folder = page.find_last_of("\\/");
  const uint64_t page_hash =
      hashed(page.substr(0, page_folder == std::string_view::npos ? 0 : page_folder));
  const std::string_view depends_on[] = {"", url.substr(0, origin),
                                         url.substr(0, std::max(origin, url.rfind('/') + 1))};
  for (size_t form = 0; form < 3; ++form) {
    MemoContext& c = contexts_[form];
    c.any_page = hashed(depends_on[form], hashed(std::string_view(&"arf"[form], 1)));
    c.this_page = (c.any_page ^ page_hash) * 0x9E3779B97F4A7C15ull;
  }
}

std::optional<std::string> LinkRewriter::rewrite_value(std::string_view value) const {
  std::optional<std::string> fresh;
  const std::optional<std::string>& result = find_or_rewrite(value, fresh);
  return &result == &fresh ? std::move(fresh) : result;
}

const std::optional<std::string>& LinkRewriter::find_or_rewrite(
    std::string_view value, std::optional<std::string>& fresh) const {
  const int form = memo_ == nullptr ? -1 : value_form(value);
  uint64_t target = 0;
  bool on_page = false;
  if (form < 0) return fresh = rewrite(value, target, on_page);
  const MemoContext& context = contexts_[form];
  const uint64_t any_page = hashed(value, context.any_page);
  const uint64_t this_page = (any_page ^ context.this_page) * 0x9E3779B97F4A7C15ull;
  for (const uint64_t key : {any_page, this_page}) {
    const auto found = memo_->values.find(key);
    if (found != memo_->values.end() && found->second.target != self_hash_) {
      return found->second.value;
    }
  }
  fresh = rewrite(value, target, on_page);
  if (target == self_hash_) return fresh;
  if (memo_->values.size() >= LinkMemo::kMaxValues) memo_->values.clear();
  LinkMemo::Value& kept = memo_->values[on_page ? this_page : any_page];
  kept = {target, std::move(fresh)};
  return kept.value;
}

std::optional<std::string> LinkRewriter::rewrite(std::string_view value, uint64_t& target,
                                                 bool& on_page) const {
  std::optional<ResolvedLink> link;
  if (!folder_url_.empty() && joins_plainly(value)) {
    link.emplace();
    link->url.reserve(folder_url_.size() + value.size());
    link->url.append(folder_url_).append(value);
  } else {
    link = resolve_link(base_, value);
  }
  if (!link) return std::nullopt;
  target = hashed(link->url);
  std::string out;
  const bool self = link->url == self_url_;
  if (!self || link->fragment.empty()) {
    const std::optional<std::string> path = self      ? std::optional<std::string>(page_path_)
                                            : lookup_ ? lookup_(link->url)
                                                      : std::nullopt;
    if (path) {
      on_page = true;
      out = relative_link(page_path_, *path);
    } else if (std::all_of(link->url.begin(), link->url.end(), [](char c) {
                 return (kSafeBytes.of[static_cast<unsigned char>(c)] & SafeBytes::kUrl) != 0;
               })) {
      out = std::move(link->url);  // nothing to escape: the usual absolute link
    } else {
      append_escaped(link->url, Escape::url, out);
    }
  }
  if (!link->fragment.empty()) {
    out += '#';
    append_escaped(std::string_view(link->fragment).substr(1), Escape::fragment, out);
  }
  return out;
}

void LinkRewriter::on_tag(StartTag& tag) {
  if (tag.attributes.empty()) return;
  if (equals_ignoring_case(tag.name, "base")) {
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
  if (const LinkTag* link = link_tag(tag.name); link != nullptr && !link->attribute.empty()) {
    TagAttribute* a = tag.find(link->attribute);
    if (a == nullptr || !a->has_value) return;
    std::optional<std::string> fresh;
    const std::optional<std::string>& value = find_or_rewrite(a->value, fresh);
    if (!value) return;
    if (&value == &fresh) {
      kept_ = std::move(*fresh);
      a->replace_kept = &kept_;
    } else {
      a->replace_kept = &*value;  // the memo keeps it at least until the next link
    }
    return;
  }
  if (!equals_ignoring_case(tag.name, "meta")) return;
  const TagAttribute* equiv = tag.find("http-equiv");
  TagAttribute* content = tag.find("content");
  size_t begin = 0;
  size_t end = 0;
  if (equiv == nullptr || !equals_ignoring_case(equiv->value, "refresh") || content == nullptr ||
      !refresh_url(content->value, begin, end)) {
    return;
  }
  if (const auto url = rewrite_value(content->value.substr(begin, end - begin))) {
    std::string value(content->value.substr(0, begin));
    value += *url;
    value.append(content->value.substr(end));
    content->replace = std::move(value);
  }
}

}  // namespace volari
