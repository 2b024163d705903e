// URL kinds and the split of a URL into its host, directory and file parts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace volari {

enum class UrlKind { http = 1, https, ftp, file, other };

// Kind by scheme prefix, ASCII case ignored: "HTTP://", "HTTPS://", "FTP://", "FILE://", in that
// order; anything else is other. The URL is not changed.
UrlKind classify_url(std::string_view url);

// Bytes that the splits skip for `kind`: 7, 8, 6, 7; 0 for other and any other value.
size_t url_prefix_length(UrlKind kind);

// The splits work on the URL after its prefix (the rest; never more is skipped than the URL holds).
// All '/' searches are plain byte searches; a '/' inside a query counts like any other.
// Host part: the rest up to its first '/', or all of it when it has none.
std::string split_url_domain(UrlKind kind, std::string_view url);
// Between the first and the last '/' of the rest, both left out; empty with fewer than two '/'.
std::string split_url_directory(UrlKind kind, std::string_view url);
// After the last '/' of the rest; empty when it ends in '/' or has no '/'.
std::string split_url_filename(UrlKind kind, std::string_view url);

}  // namespace volari
