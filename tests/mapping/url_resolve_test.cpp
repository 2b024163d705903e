// Link values resolved against a base URL.
#include <gtest/gtest.h>

#include "mapping/url_key.h"
#include "mapping/url_resolve.h"

namespace volari {
namespace {

constexpr char kNone[] = "(none)";

struct ResolveRow {
  const char* base;
  const char* value;
  const char* url;  // kNone: not a link
  const char* fragment;
};

const ResolveRow kRows[] = {
    // RFC 3986 5.4 examples (the base's query and fragment are dropped as the RFC says).
    {"http://a/b/c/d;p?q", "g", "http://a/b/c/g", ""},
    {"http://a/b/c/d;p?q", "./g/", "http://a/b/c/g/", ""},
    {"http://a/b/c/d;p?q", "/g", "http://a/g", ""},
    {"http://a/b/c/d;p?q", "//g", "http://g", ""},
    {"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y", ""},
    {"http://a/b/c/d;p?q", "g?y#s", "http://a/b/c/g?y", "#s"},
    {"http://a/b/c/d;p?q", "#s", "http://a/b/c/d;p?q", "#s"},
    {"http://a/b/c/d;p?q#f", "", "http://a/b/c/d;p?q", ""},
    {"http://a/b/c/d;p?q", ".", "http://a/b/c/", ""},
    {"http://a/b/c/d;p?q", "..", "http://a/b/", ""},
    {"http://a/b/c/d;p?q", "../..", "http://a/", ""},
    {"http://a/b/c/d;p?q", "../../../../g", "http://a/g", ""},
    {"http://a/b/c/d;p?q", "/./g/../h/.", "http://a/h/", ""},
    {"http://a/b/c/d;p?q", "g;x=1/../y", "http://a/b/c/y", ""},
    {"http://a/b/c/d;p?q", "..g/.g", "http://a/b/c/..g/.g", ""},
    {"http://a", "x.htm", "http://a/x.htm", ""},
    // Case of scheme and host, userinfo and port, a same-scheme relative, other schemes.
    {"HTTP://WWW.AA.BB/Dir/P.HTM", "HTTPS://Us@X.COM:8080/A/b", "https://Us@x.com:8080/A/b", ""},
    {"http://aa.bb/dir/p.htm", "http:sub/x.htm", "http://aa.bb/dir/sub/x.htm", ""},
    {"http://aa.bb/dir/p.htm", "ftp://ftp.aa.bb/pub/", "ftp://ftp.aa.bb/pub/", ""},
    {"file:///C|/web/p.htm", "../img/a.gif", "file:///C|/img/a.gif", ""},
    {"http://aa.bb/", "mailto:x@aa.bb", kNone, ""},
    {"http://aa.bb/", "JavaScript:go('a.htm')", kNone, ""},
    {"http://aa.bb/", "news:comp.lang.c", kNone, ""},
    {"about:blank", "x.htm", kNone, ""},
    {"about:blank", "http://aa.bb/x", "http://aa.bb/x", ""},
    // Entities, blanks, escapes and Shift-JIS bytes ("\x95\x5C" holds a '\', "\x83\x41" an 'A').
    {"http://aa.bb/", "cgi?a=1&amp;b=2&#38;c=3&#x26;d&AMP;e&amp",
     "http://aa.bb/cgi?a=1&b=2&c=3&d&e&amp", ""},
    {"http://aa.bb/", " \tx\n.htm\r\n ", "http://aa.bb/x.htm", ""},
    {"http://aa.bb/", "%7Euser/a%20b.htm#%41", "http://aa.bb/%7Euser/a%20b.htm", "#%41"},
    {"http://aa.bb/d/", "\x95\x5C/../\x83\x41.htm", "http://aa.bb/d/\x83\x41.htm", ""},
    {"http://\x83\x41X.bb/", "", "http://\x83\x41x.bb/", ""},
};

TEST(UrlResolve, ResolvesAgainstTheBase) {
  for (const ResolveRow& row : kRows) {
    SCOPED_TRACE(std::string(row.base) + " + " + row.value);
    const auto link = resolve_link(row.base, row.value);
    ASSERT_EQ(link.has_value(), row.url != kNone);
    if (!link) continue;
    EXPECT_EQ(link->url, row.url);
    EXPECT_EQ(link->fragment, row.fragment);
  }
}

// Spellings of one page share a loose key, whether it is taken whole or from a beginning.
TEST(UrlKey, SpellingsOfOnePageShareALooseKey) {
  const std::pair<const char*, const char*> same[] = {
      {"http://www.Aa.bb/~u/X.htm", "HTTP://user@aa.BB:8080/%7eU/x%2EHTM?q=1#f"},
      {"http://aa.bb", "http://aa.bb?q"},
      {"file:/c/x", "file:/c/x#y"},
      {"http://aa.bb/%4", "http://AA.bb/%4"},
  };
  for (const auto& [a, b] : same) EXPECT_EQ(loose_url_key(a), loose_url_key(b)) << a;
  const std::pair<const char*, const char*> other[] = {{"http://aa.bb/x", "http://aa.bb/y"},
                                                       {"http://www./x", "http:///x"},
                                                       {"http://aa.bb/x", "http://aa.bbx"},
                                                       {"http://aa.bb/a%2fb", "http://aa.bb/a%2"}};
  for (const auto& [a, b] : other) EXPECT_NE(loose_url_key(a), loose_url_key(b)) << a;
  for (const std::string start : {"http://www.aa.bb", "http://aa.bb/d/", "file:"}) {
    for (const std::string rest : {"", "/x%7E.htm?a/b", "/D/x.htm#%41", "/%4"}) {
      EXPECT_EQ(loose_url_key(loose_url_key(start), rest), loose_url_key(start + rest))
          << start << rest;
    }
  }
}

}  // namespace
}  // namespace volari
