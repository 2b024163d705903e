// SITES.HTM, made from the manifest and written beside it in OUTDIR: Shift-JIS with its charset
// declared, CR LF line ends.
//   - At the top: a link to each site's section, with its numbers of pages and images, and the
//     kNewestPages newest pages (by time, then URL).
//   - A section per site: the host of the URLs (no user part; port kept; ASCII in lower case;
//     "(no host)" for URLs without one), in the order of their names, each listing its pages by
//     path. Only converted rows count; a page is a row of kind page with a path, an image one of
//     kind image.
//   - A page's link is its path relative to OUTDIR: bytes that mean something in a URL or in the
//     page (controls, blanks, " # % & : < > ? \ ^ ` { | } and DEL) and every byte of a non-ASCII
//     character (so its UTF-8) are percent-escaped, which browsers on Windows and Linux both
//     resolve to the file. It is labelled with the title, or the path when there is none, and
//     the time "YYYY-MM-DD hh:mm".
//   - Text: < > & " become entity references, a character code page 932 cannot write becomes a
//     numeric character reference (bytes that are no UTF-8 count as U+FFFD).
#pragma once

#include <cstddef>
#include <string>

#include "output/manifest.h"

namespace volari {

constexpr size_t kNewestPages = 50;

std::string sites_page(const Manifest& manifest);

}  // namespace volari
