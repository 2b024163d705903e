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
    {"http://www.aa.bb/dir/sub/map.htm?x=1", ".\\BB\\AA.DOM\\DIR\\SUB\\MAP.HTM"},
    {"http://www.aa.bb/jp/", ".\\BB\\AA.DOM\\JP\\\x95\x5C.HTM"},  // U+8868
    {"http://cc.dd/x/", ".\\DD\\CC.DOM\\X\\INDEX.HTM"},
};

struct PageRow {
  const char* in;  // lines end at each '\n'
  const char* out;
};

const PageRow kPageRows[] = {
    // Quotes, case, blanks around '=', other attributes kept.
    {"<A HREF=\"../../img/logo.gif\">x</A>", "<A HREF=\"../../IMG/LOGO.GIF\">x</A>"},
    {"<img alt='a>b' src = '/img/logo.gif' ismap>",
     "<img alt='a>b' src = \"../../IMG/LOGO.GIF\" ismap>"},
    {"<Img Src=HTTP://WWW.AA.BB/img/logo.gif />", "<Img Src=\"../../IMG/LOGO.GIF\" />"},
    {"<body bgcolor=white background=\"/img/logo.gif\">",
     "<body bgcolor=white background=\"../../IMG/LOGO.GIF\">"},
    // Not in the copy: the absolute URL, escaped for HTML and URL.
    {"<a href=\" /cgi?a=1&amp;b=<2> x\">",
     "<a href=\"http://www.aa.bb/cgi?a=1&amp;b=%3C2%3E%20x\">"},
    {"<a href=\"/\x95\x5C\\.htm#\x95\x5C\">",
     "<a href=\"http://www.aa.bb/%95%5C%5C.htm#%E8%A1%A8\">"},
    // Fragments, the page itself, Shift-JIS names.
    {"<a href=#top><a href='page.htm#top'><a href=\"\">",
     "<a href=\"#top\"><a href=\"#top\"><a href=\"PAGE.HTM\">"},
    {"<a href=\"b.htm#s%201\">", "<a href=\"B.HTM#s%201\">"},
    {"<a href=\"/jp/\">", "<a href=\"../../JP/%E8%A1%A8.HTM\">"},
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
    {"x<a\nhref\n=\n\"b.htm\"\n>y\n", "x<a\nhref\n=\n\"B.HTM\"\n>y\n"},
    {"<!-- a\n<a href=b.htm>\n--\n>--><a href=b.htm>",
     "<!-- a\n<a href=b.htm>\n--\n>--><a href=\"B.HTM\">"},
    {"<script>\n</scriptx><a href=b.htm></scr\nipt></script>\n<a href=b.htm>",
     "<script>\n</scriptx><a href=b.htm></scr\nipt></script>\n<a href=\"B.HTM\">"},
    // BASE: taken out of the copy, the base of the rest; TARGET stays.
    {"<base href=\"http://cc.dd/x/y.htm\">\n<a href=\"./#t\"><a href=z.htm>",
     "\n<a href=\"../../../../DD/CC.DOM/X/INDEX.HTM#t\"><a href=\"http://cc.dd/x/z.htm\">"},
    {"<BASE HREF=\"http://cc.dd/x/\" TARGET=_top><a href=\"#t\">",
     "<BASE TARGET=_top><a href=\"../../../../DD/CC.DOM/X/INDEX.HTM#t\">"},
    // Refresh, image maps, frames.
    {"<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=b.htm\">",
     "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=B.HTM\">"},
    {"<meta http-equiv=refresh content='0;url=\"b.htm\"'><meta name=x content=\"b.htm\">",
     "<meta http-equiv=refresh content=\"0;url=&quot;B.HTM&quot;\"><meta name=x "
     "content=\"b.htm\">"},
    {"<area coords=\"0,0,1,1\" href=\"map.htm?x=1\"><img src=x usemap=\"#m\">",
     "<area coords=\"0,0,1,1\" href=\"MAP.HTM\"><img src=\"http://www.aa.bb/dir/sub/x\" "
     "usemap=\"#m\">"},
    {"<frameset><FRAME SRC=\"b.htm\" NAME=m><iframe src=\"//cc.dd/x/\">",
     "<frameset><FRAME SRC=\"B.HTM\" NAME=m><iframe src=\"../../../../DD/CC.DOM/X/INDEX.HTM\">"},
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
      {".\\A\\B\\P.HTM", ".\\A\\C\\Q.HTM", "../C/Q.HTM"},
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
