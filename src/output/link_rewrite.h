// Links of a page turned into links into the copy, line by line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

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
class LinkRewriter {
 public:
  LinkRewriter(std::string page_url, std::string page_path, LinkLookup lookup);
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

  std::string base_;
  std::string self_url_;
  std::string page_path_;
  LinkLookup lookup_;
  TagScanner scanner_;
};

}  // namespace volari
