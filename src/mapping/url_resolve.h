// Link values resolved against the URL of the page they appear in, for the hierarchical schemes
// http, https, ftp and file (RFC 3986 section 5, with the leniency browsers have always shown).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace volari {

struct ResolvedLink {
  std::string url;       // absolute, without fragment; scheme and host in lower case
  std::string fragment;  // with its '#'; empty when the value had none
};

// `value` with "&amp;" (also "&AMP;") and the numeric forms "&#38;" and "&#x26;" turned into '&';
// every other byte as it is.
std::string decode_amp_entities(std::string_view value);

// Resolves the raw attribute `value` (entities as above decoded; leading and trailing blanks and
// every tab, CR and LF dropped, as browsers do) against `base`, an absolute URL (a fragment in it
// is ignored). Percent escapes stay as they are; dot segments are removed (never above the root);
// a reference whose scheme is that of the base but which has no "//" is taken as relative, as
// browsers of the time did. Nothing when the value has another scheme (mailto:, javascript:,
// news:, about:, ...), or is relative and `base` is not a URL of a hierarchical scheme.
// Bytes are Shift-JIS; no double-byte character is taken apart.
std::optional<ResolvedLink> resolve_link(std::string_view base, std::string_view value);

}  // namespace volari
