// Links of a page turned into links into the copy, line by line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "output/html_tags.h"

namespace volari {

// The output path (program form: '\' separators, Shift-JIS) of an absolute URL without fragment
// when its target is in the copy.
using LinkLookup = std::function<std::optional<std::string>(const std::string& absolute_url)>;

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
struct LinkMemo {
  struct Value {
    uint64_t target = 0;  // hash of the resolved URL: a value leading to the page itself is redone
    std::optional<std::string> value;
  };
  static constexpr size_t kMaxValues = 1 << 18;  // then it starts again: some megabytes at most
  std::unordered_map<uint64_t, Value> values;
};

class LinkRewriter {
 public:
  LinkRewriter(std::string page_url, std::string page_path, LinkLookup lookup,
               LinkMemo* memo = nullptr);
  LinkRewriter(const LinkRewriter&) = delete;
  LinkRewriter& operator=(const LinkRewriter&) = delete;

  // Appends to `out` the rewritten bytes of `line` that are done; a tag still open waits for
  // the lines that close it.
  void rewrite_line(std::string_view line, std::string& out) { scanner_.feed(line, out); }
  // At the end of the page: appends what is still held back.
  void finish(std::string& out) { scanner_.finish(out); }

  // The new value for the link `value`, or nothing when it stays as it is.
  std::optional<std::string> rewrite_value(std::string_view value) const;

 private:
  void on_tag(StartTag& tag);
  // As rewrite_value: the memo's copy, or `fresh` when the memo keeps none.
  const std::optional<std::string>& find_or_rewrite(std::string_view value,
                                                    std::optional<std::string>& fresh) const;
  std::optional<std::string> rewrite(std::string_view value, uint64_t& target, bool& on_page) const;
  void set_base(std::string base);

  std::string base_;
  // What resolve_link makes of the base URL's folder, when a plain name just joins it; or "".
  std::string folder_url_;
  // For the memo, by the form of a value: what of the base URL it depends on, and that with the
  // folder of the page.
  struct MemoContext {
    uint64_t any_page = 0, this_page = 0;
  };
  MemoContext contexts_[3];
  uint64_t self_hash_ = 0;
  std::string self_url_;
  std::string page_path_;
  LinkLookup lookup_;
  TagScanner scanner_;
  LinkMemo* memo_;
  std::string kept_;  // the new link of the tag being written when the memo keeps none
};

}  // namespace volari
