// URL kinds and the split of a URL into its host, directory and file parts.
#pragma once

#include <cstddef>
#include <string>

namespace volari {

enum UrlKind { kind_http = 1, kind_https, kind_ftp, kind_file, kind_other };

// Kind by scheme prefix, ASCII case ignored: "HTTP://", "HTTPS://", "FTP://", "FILE://", in that
// order; anything else is kind_other. The URL is not changed.
UrlKind classify_url(const std::string& url);

// Bytes that the splits skip for `kind`: 7, 8, 6, 7; 0 for kind_other and any other value.
size_t url_prefix_length(UrlKind kind);

// The splits work on the URL after its prefix (the rest; never more is skipped than the URL holds).
// All '/' searches are plain byte searches; a '/' inside a query counts like any other.
// Host part: the rest up to its first '/', or all of it when it has none.
std::string split_url_domain(UrlKind kind, const std::string& url);
// Between the first and the last '/' of the rest, both left out; empty with fewer than two '/'.
std::string split_url_directory(UrlKind kind, const std::string& url);
// After the last '/' of the rest; empty when it ends in '/' or has no '/'.
std::string split_url_filename(UrlKind kind, const std::string& url);

}  // namespace volari
