// Links of a page rewritten into the copy: tags, values, relative paths.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "output/link_rewrite.h"

namespace volari {
namespace {

constexpr char kPageUrl[] = "http://www.aa.bb/dir/sub/page.htm";
constexpr char kPagePath[] = ".\\BB\\AA.DOM\\DIR\\SUB\\PAGE.HTM";

const std::map<std::string, std::string> kCopy = {
    {"http://www.aa.bb/img/logo.gif", ".\\BB\\AA.DOM\\IMG\\LOGO.GIF"},
    {"http://www.aa.bb/dir/sub/b.htm", ".\\BB\\AA.DOM\\DIR\\SUB\\B.HTM"},
    {"http://cc.dd/x/", ".\\DD\\CC.DOM\\X\\INDEX.HTM"},
};

struct PageRow {
  const char* in;  // lines end at each '\n'
  const char* out;
};

const PageRow kPageRows[] = {
    // Quotes, blanks around '=', other attributes kept.
    {"<img alt='a>b' src = '/img/logo.gif' ismap>",
     "<img alt='a>b' src = \"../../IMG/LOGO.GIF\" ismap>"},
    // Not in the copy: the absolute URL, escaped for HTML and URL.
    {"<a href=\" /cgi?a=1&amp;b=<2> x\">",
     "<a href=\"http://www.aa.bb/cgi?a=1&amp;b=%3C2%3E%20x\">"},
    {"<a href=\"/\x95\x5C\\.htm#\x95\x5C\">",
     "<a href=\"http://www.aa.bb/%95%5C%5C.htm#%E8%A1%A8\">"},
    // Fragments, the page itself.
    {"<a href='page.htm#top'><a href=\"\"><a href=\"b.htm#s%201\">",
     "<a href=\"#top\"><a href=\"PAGE.HTM\"><a href=\"B.HTM#s%201\">"},
    // Left alone: other schemes, FORM action, bare names, end tags, comments, script text.
    {"<a href=\"mailto:a@b\"><form action=\"b.htm\"><a name=x href></a >",
     "<a href=\"mailto:a@b\"><form action=\"b.htm\"><a name=x href></a >"},
    {"<!-- <a href=b.htm> --><!--><a href=b.htm>",
     "<!-- <a href=b.htm> --><!--><a href=\"B.HTM\">"},
    {"<SCRIPT src=b.htm>w('<a href=b.htm>')</SCRIPT ><a href=b.htm>",
     "<SCRIPT src=\"B.HTM\">w('<a href=b.htm>')</SCRIPT ><a href=\"B.HTM\">"},
    {"a < b <!DOCTYPE x> <? y ?> <a", "a < b <!DOCTYPE x> <? y ?> <a"},
    {"<xmp><a href=b.htm><", "<xmp><a href=b.htm><"},
    // Tags, comments and script text across lines.
    {"<!-- a\n<a href=b.htm>\n--\n>--><a href=b.htm>",
     "<!-- a\n<a href=b.htm>\n--\n>--><a href=\"B.HTM\">"},
    {"<script>\n</scriptx><a href=b.htm></scr\nipt></script>\n<a href=b.htm>",
     "<script>\n</scriptx><a href=b.htm></scr\nipt></script>\n<a href=\"B.HTM\">"},
    // BASE: the base of the rest, taken out of the copy but for its TARGET.
    {"<BASE HREF=\"http://cc.dd/x/\" TARGET=_top><a href=\"#t\">",
     "<BASE TARGET=_top><a href=\"../../../../DD/CC.DOM/X/INDEX.HTM#t\">"},
    // Refresh.
    {"<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=b.htm\">",
     "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=B.HTM\">"},
    {"<meta http-equiv=refresh content='0;url=\"b.htm\"'><meta name=x content=\"b.htm\">",
     "<meta http-equiv=refresh content=\"0;url=&quot;B.HTM&quot;\"><meta name=x "
     "content=\"b.htm\">"},
};

// Fed line by line, then byte by byte: where the pieces end must not matter.
TEST(LinkRewrite, RewritesThePage) {
  for (const PageRow& row : kPageRows) {
    for (const bool by_byte : {false, true}) {
      SCOPED_TRACE(row.in);
      LinkRewriter rewriter(kPageUrl, kPagePath, [](const std::string& url) {
        const auto it = kCopy.find(url);
        return it == kCopy.end() ? std::nullopt : std::optional<std::string>(it->second);
      });
      std::string out;
      for (std::string_view in = row.in; !in.empty();) {
        const size_t piece = by_byte ? 1 : std::min(in.find('\n'), in.size() - 1) + 1;
        rewriter.rewrite_line(in.substr(0, piece), out);
        in.remove_prefix(piece);
      }
      rewriter.finish(out);
      EXPECT_EQ(out, row.out);
    }
  }
}

TEST(LinkRewrite, RelativePaths) {
  const char* const rows[][3] = {
      {".\\A/B/C/D\\P.HTM", ".\\A/B/Q.HTM", "../../Q.HTM"},  // '/' separates names on disk too
      {".\\A\\P.HTM", ".\\A\\B\\A B#%?&:\"<.HTM", "B/A%20B%23%25%3F%26%3A%22%3C.HTM"},
      {".\\\x95\\\\P.HTM", ".\\\x95\\\\Q\x80\xB1.HTM", "Q%2580%EF%BD%B1.HTM"},
      {"D:\\OUT\\X\\P.HTM", "D:\\OUT\\~a-_.!$'()*+,;=@", "../~a-_.!$'()*+,;=@"},
  };
  for (const auto& row : rows) EXPECT_EQ(relative_link(row[0], row[1]), row[2]) << row[1];
}

TEST(LinkRewrite, AnOverlongTagIsWrittenAsItIs) {
  LinkRewriter rewriter(kPageUrl, kPagePath, nullptr);
  const std::string tag = "<a title=\"" + std::string(TagScanner::kMaxHeldTag, 'x') + "\n";
  std::string out;
  rewriter.rewrite_line(tag, out);
  rewriter.rewrite_line("<a href=b.htm>", out);
  EXPECT_EQ(out, tag + "<a href=\"http://www.aa.bb/dir/sub/b.htm\">");
}

}  // namespace
}  // namespace volari
