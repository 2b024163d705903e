// Links of a page turned into links into the copy, line by line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/html_tags.h"

namespace volari {

// Where links lead: what the copy holds.
class LinkLookup {
 public:
  virtual ~LinkLookup() = default;
  // False when the copy holds no URL of that loose key (mapping/url_key.h): a quick test that
  // most links of most pages fail.
  virtual bool may_hold(uint64_t loose_key) const = 0;
  // The output path (program form: '\' separators, Shift-JIS) of an absolute URL without
  // fragment when its target is in the copy, else null; it lives as long as the lookup does.
  virtual const std::string* find(const std::string& absolute_url) = 0;
};

// The link from the page at output path `from` to the file at `to` (both program form, below
// one output folder; '\' and '/' both separate names, as on disk): "../" for each folder of
// `from` that `to` does not share, then the rest of `to` with '/'. Written for a browser: every
// byte but letters, digits and - . _ ~ ! $ ' ( ) * + , ; = @ is percent-escaped, a Shift-JIS
// character as the %-escaped bytes of its UTF-8 form (how names are stored on Linux, and what
// Windows maps to its Unicode names), a byte that is no Shift-JIS character as "%25" and its two
// hex digits (such a byte is stored as "%XX").
std::string relative_link(std::string_view from, std::string_view to);

// Rewrites the links of one page: href of A, AREA and LINK; src of IMG, FRAME, IFRAME, SCRIPT,
// EMBED and INPUT; background of BODY, TABLE, TR, TD and TH; the URL in the CONTENT of a META
// HTTP-EQUIV="Refresh". Each value is resolved against the page's URL, or the URL of the last
// <BASE HREF> before it; a BASE HREF is then left out of the copy (the whole tag, or only the
// HREF when the tag says more, such as TARGET). A target that `lookup` finds (a null lookup
// finds none) becomes relative_link, or only the fragment for the page itself; any other
// becomes its absolute URL, whose bytes that HTML or a browser would misread are escaped ('&'
// as "&amp;", others, a double-byte character whole, as %XX of its bytes). The fragment is put
// back with the same escapes, but a Shift-JIS character in it as %-escaped UTF-8, as browsers
// match it with the page's anchors. Values that are no link into the copy (mailto:,
// javascript:, ...) and everything else in the page stay as they are.
// Values already rewritten, kept from page to page (LOCAL_LINKS): the pages of a site link the
// same pages, and a value means the same in every page whose base URL has the same folder (a
// value beginning with a scheme and "//": in every page; one beginning with a single '/': where
// the base URL has the same scheme and host), unless it leads to the page itself. A link into
// the copy depends on the page's folder as well, an absolute URL does not. By a 64-bit hash of
// what the value depends on and the value.
class LinkMemo {
 public:
  // Then it starts again: 12 MB of slots and 16 MB of values at most.
  static constexpr size_t kMaxValues = 1 << 18;

  struct Value {
    uint64_t key = 0;     // 0: a free slot
    uint64_t target = 0;  // hash of the resolved URL: a value leading to the page itself is redone
    uint32_t begin = 0;   // the new value in texts_
    uint32_t size = kStays;
  };
  static constexpr uint32_t kStays = UINT32_MAX;  // size of a value that stays as it is

  // The value kept under `key`, or null.
  const Value* find(uint64_t key) const;
  // Keeps `value` under `key`; the view of it lives until the next keep.
  std::optional<std::string_view> keep(uint64_t key, uint64_t target,
                                       std::optional<std::string_view> value);
  std::optional<std::string_view> text(const Value& v) const {
    if (v.size == kStays) return std::nullopt;
    return std::string_view(texts_.data() + v.begin, v.size);
  }

 private:
  // Open addressing, linear probing, at most half full: one look for most links.
  Value* place(uint64_t key);  // its slot, or the free one where it goes
  std::vector<Value> slots_;
  size_t used_ = 0;
  std::string texts_;
};

class LinkRewriter {
 public:
  // A null `lookup` finds nothing.
  LinkRewriter(std::string page_url, std::string page_path, LinkLookup* lookup,
               LinkMemo* memo = nullptr);
  LinkRewriter(const LinkRewriter&) = delete;
  LinkRewriter& operator=(const LinkRewriter&) = delete;

  // Appends to `out` the rewritten bytes of `line` that are done; a tag still open waits for
  // the lines that close it.
  void rewrite_line(std::string_view line, std::string& out) { scanner_.feed(line, out); }
  // At the end of the page: appends what is still held back.
  void finish(std::string& out) { scanner_.finish(out); }

  // The new value for the link `value`, or nothing when it stays as it is.
  std::optional<std::string> rewrite_value(std::string_view value);

 private:
  void on_tag(StartTag& tag);
  // As rewrite_value; the view lives until the next link.
  std::optional<std::string_view> new_value(std::string_view value);
  // The same for a value that plain_start does not take: through the memo when there is one.
  std::optional<std::string_view> find_or_rewrite(std::string_view value);
  // The folder or origin URL that `value` joins as it is, or null; `escapes` as joins_as_it_is
  // tells.
  const std::string* join_start(std::string_view value, bool& escapes) const;
  // That URL when it and the value are the new value: the link leads out of the copy and has
  // nothing to escape. Most links of most pages, without the memo.
  const std::string* plain_start(std::string_view value) const;
  // The new value into fresh_, or false when it stays; `target` the hash of the URL it leads to,
  // `on_page` when the new value depends on the page's folder.
  bool rewrite(std::string_view value, uint64_t& target, bool& on_page);
  void set_base(std::string base);

  std::string base_;
  // What resolve_link makes of the base URL's folder, when a plain name just joins it, and of its
  // origin, when a plain path from the root just joins it; or "". With their loose keys.
  std::string folder_url_, origin_url_;
  uint64_t folder_key_ = 0, origin_key_ = 0;
  bool plain_folder_ = false, plain_origin_ = false;  // with nothing to escape in a link
  // For the memo, by the form of a value: what of the base URL it depends on, and that with the
  // folder of the page.
  struct MemoContext {
    uint64_t any_page = 0, this_page = 0;
  };
  MemoContext contexts_[3];
  uint64_t self_hash_ = 0;
  std::string self_url_;
  std::string page_path_;
  LinkLookup* lookup_;
  TagScanner scanner_;
  LinkMemo* memo_;
  std::string url_;      // the URL of the link being rewritten
  std::string fresh_;    // its new value
  std::string refresh_;  // the new CONTENT of a META refresh
};

}  // namespace volari
