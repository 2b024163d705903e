// A page turned into its copy: its encoding decided, its lines and their charset declarations
// converted to Shift-JIS, its links rewritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "mapping/url_key.h"
#include "mapping/url_resolve.h"
#include "output/jis.h"
#include "output/link_rewrite.h"
#include "output/page_convert.h"
#include "output/page_encoding.h"
#include "testlib/iconv_text.h"

namespace volari {
namespace {

using testing::iconv_text;

const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

const std::string kProse =
    "日本語の文章です。漢字とひらがな、カタカナを含みます。\n"
    "  <p>完璧な罠に蟲がかかった。 ASCII \\ ~ も混ざる。</p>\n"
    "データベースの設定を、ファイルから読み込みます。\n";
const std::string kHalfWidth = "ﾃﾞｰﾀﾍﾞｰｽの設定をｺﾋﾟｰします｡\n";

// A page as a list of lines, converted in order; no line's output may be longer than the line.
std::string convert(Charset charset, const std::vector<std::string>& lines) {
  PageConversion state(charset);
  std::string result;
  for (const std::string& line : lines) {
    std::vector<unsigned char> out(line.size() + 1, 0xEE);
    const size_t n = convert_page_line(state, bytes(line), line.size(), out.data());
    EXPECT_LE(n, line.size());
    EXPECT_EQ(out[n], 0);
    result.append(reinterpret_cast<const char*>(out.data()), n);
  }
  return result;
}

// The record's charset, else that of the content type, else the page's declaration, else its
// bytes; a charset as the record or the content type may name it.
TEST(PageEncoding, Decision) {
  const auto in = [](const char* to, std::string s) { return iconv_text("UTF-8", to, s); };
  const std::string meta = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
  constexpr auto S = CharsetSource::server, P = CharsetSource::page, B = CharsetSource::bytes;
  const struct {
    const char *record, *type;
    std::string page;
    const char* want;
    CharsetSource source;
  } cases[] = {
      {" \"MS_KANJI\" ", "", "", "Shift_JIS", S},
      {" X-EUC-JP ", "text/html; charset=Shift_JIS", in("EUC-JP", kProse), "EUC-JP", S},
      {"", "text/html; level=1; Charset = \"iso-2022-jp\" ; q=1", "", "ISO-2022-JP", S},
      // Valid in both readings: the score decides.
      {"", "", in("EUC-JP", "あいう"), "EUC-JP", B},
      {"", "", in("SHIFT_JIS", "ｶﾀｶﾅ ﾃﾞｰ\n"), "Shift_JIS", B},
      // Lying declarations lose only to bytes valid in one reading.
      {"", "", meta + "Shift_JIS\">" + in("ISO-2022-JP", kProse), "ISO-2022-JP", B},
      {"", "", meta + "Shift_JIS\">" + in("EUC-JP", "あいう"), "Shift_JIS", P},
      // Other charsets hold unless the bytes are Japanese beyond doubt.
      {"iso-8859-1", "", in("ISO-8859-1", "Über Öl\n"), "other", S},
      {"iso-8859-1", "", in("EUC-JP", kProse), "EUC-JP", B},
      {"", "", kProse, "other", B},  // UTF-8
      {"", "", "\x80\x80\x1b$B", "unknown", B},
  };
  for (const auto& c : cases) {
    const PageCharset got = decide_page_charset(c.record, c.type, bytes(c.page), c.page.size());
    EXPECT_STREQ(charset_label(got.charset), c.want) << c.record << c.type << c.page;
    EXPECT_EQ(got.source, c.source) << c.record << c.type << c.page;
  }
}

// Every JIS X 0208 character comes out as iconv writes it in Shift-JIS, from each encoding, by
// both conversions; the scores count every code iconv refuses as unassigned; and a page's lines
// cut anywhere convert as the whole page does.
TEST(PageConvert, MatchesIconv) {
  const long long unassigned = read_bytes(bytes("\xa9\xa1"), 2).euc_score;  // row 9
  std::string every;  // in EUC-JP, a row a line
  for (int row = 1; row <= 94; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      const std::string one = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      const bool known = !iconv_text("EUC-JP", "SHIFT_JIS", one).empty();
      if (known) every += one;
      const bool vendor = row == 13 || (row >= 89 && row <= 92);
      EXPECT_TRUE(vendor || (read_bytes(bytes(one), 2).euc_score == unassigned) != known)
          << row << "-" << cell;
    }
    every += '\n';
  }
  ASSERT_EQ(every.size(), 6879 * 2 + 94);  // all of JIS X 0208
  const std::string sjis = iconv_text("EUC-JP", "SHIFT_JIS", every);
  const std::string iso = iconv_text("EUC-JP", "ISO-2022-JP", every);  // ESC $ B ... ESC ( B
  EXPECT_EQ(convert(Charset::euc_jp, {every}), sjis);
  EXPECT_EQ(convert(Charset::jis, {iso}), sjis);
  EXPECT_EQ(convert(Charset::unknown, {every}), sjis);  // to_shiftjis
  EXPECT_EQ(convert(Charset::unknown, {iso}), sjis);
  for (const auto& [encoding, charset] :
       {std::pair{"EUC-JP", Charset::euc_jp}, std::pair{"ISO-2022-JP-3", Charset::jis}}) {
    const std::string in = iconv_text("UTF-8", encoding, kHalfWidth + kProse);
    const std::string want = iconv_text("UTF-8", "SHIFT_JIS", kHalfWidth + kProse);
    for (size_t cut = 1; cut < in.size(); ++cut) {
      ASSERT_EQ(convert(charset, {in.substr(0, cut), in.substr(cut)}), want)
          << encoding << " cut at " << cut;
    }
  }
}

// Beyond iconv: JIS X 0212 as the geta mark, held bytes, half-width katakana by SO/SI and
// ESC ( I, the per-line guess of a page of unknown encoding, other charsets left alone; and
// to_shiftjis reads nothing past the length it is given.
TEST(PageConvert, BeyondIconv) {
  const struct {
    Charset charset;
    std::vector<std::string> lines;
    std::string want;
  } cases[] = {
      {Charset::euc_jp,
       {"a\x8f", "\xb0\xa1\x8f\xb0", "\xa1\xa4", "\xa2"},
       "a\x81\xac\x81\xac\x82\xa0"},
      {Charset::euc_jp, {"\x8e", "A\n"}, "A\n"},  // held bytes not completed are dropped
      {Charset::jis, {"\x1b$(D\x30", "\x21"}, "\x81\xac"},
      {Charset::jis, {"\x0e\x31\x32\x0f\x33\x1b(I\x34\x1b(J5"}, "\xb1\xb2\x33\xb4\x35"},
      {Charset::unknown, {"\x1b$B$\"", "$$\xa4\xa2\n"}, "\x82\xa0$$\x82\xa0\n"},
      {Charset::unknown, {"\x1b$@$\"\x1b(H>\x1b$B$\"\x1b(J<"}, "\x82\xa0>\x82\xa0<"},  // run ends
      {Charset::unknown, {"\xe0\xa1\x82\xa4", "\x41\x82"}, "\xe0\x9f\x82\xa4\x41\x82"},
      {Charset::other, {"\xa4\xa2\x1b$B$\""}, "\xa4\xa2\x1b$B$\""},
  };
  for (const auto& c : cases) EXPECT_EQ(convert(c.charset, c.lines), c.want) << c.lines[0];
  for (const auto& [in, length, want] : {std::tuple{"abcdefgh\xa4\xa2", 9, "abcdefgh\xa4"},
                                         std::tuple{"\x1b$B\x24\x22", 4, "\x82\x7e"}}) {
    std::vector<unsigned char> out(length + 2, 0xEE);
    const size_t n = to_shiftjis(bytes(in), length, out.data());
    EXPECT_EQ(std::string(out.begin(), out.begin() + n), want);
    EXPECT_EQ(out[n], 0);
    EXPECT_EQ(out[length + 1], 0xEE) << "wrote past length + 1";
  }
}

constexpr char kPageUrl[] = "http://h/d/p.htm";
constexpr char kPagePath[] = ".\\H\\D\\P.HTM";

// The copy as a table; with `every_key` every loose key may be in it, so that no link takes the
// quick way out of the copy.
struct TableLookup final : LinkLookup {
  const std::map<std::string, std::string>& copy;
  bool every_key;
  TableLookup(const std::map<std::string, std::string>& c, bool every)
      : copy(c), every_key(every) {}
  bool may_hold(uint64_t key) const override {
    return every_key || std::any_of(copy.begin(), copy.end(), [key](const auto& row) {
             return loose_url_key(row.first) == key;
           });
  }
  const std::string* find(const std::string& url) override {
    const auto it = copy.find(url);
    return it == copy.end() ? nullptr : &it->second;
  }
};

// Fed line by line, then byte by byte: where the pieces end must not matter.
TEST(LinkRewrite, RewritesThePage) {
  const std::map<std::string, std::string> copy = {{"http://h/i.gif", ".\\H\\I.GIF"},
                                                   {"http://h/d/b.htm", ".\\H\\D\\B.HTM"},
                                                   {"http://c/x/", ".\\C\\X\\INDEX.HTM"},
                                                   {"http://h/q", ".\\H\\\x95\\\\Q\x80\xB1.HTM"}};
  const struct {
    const char* in;   // lines end at each '\n'
    const char* out;  // null: as it was
  } rows[] = {
      // Plain names and paths, out of the copy and in it.
      {"<a href=x.htm><img src=/d/y.gif><a href=b.htm><a href=p.htm><a href=//c/x/><a "
       "href=\x82\xa0>",
       "<a href=\"http://h/d/x.htm\"><img src=\"http://h/d/y.gif\"><a href=\"B.HTM\"><a "
       "href=\"P.HTM\"><a href=\"../../C/X/INDEX.HTM\"><a href=\"http://h/d/%82%A0\">"},
      // Quotes, blanks around '=', other attributes kept.
      {"<img alt='a>b' src = '/i.gif' ismap>", "<img alt='a>b' src = \"../I.GIF\" ismap>"},
      // Not in the copy: the absolute URL, escaped for HTML and URL.
      {"<a href=\" /cgi?a=1&amp;b=<2> x\">", "<a href=\"http://h/cgi?a=1&amp;b=%3C2%3E%20x\">"},
      {"<a href=\"/\x95\x5C\\.htm#\x95\x5C\">", "<a href=\"http://h/%95%5C%5C.htm#%E8%A1%A8\">"},
      // In the copy: a Shift-JIS name as UTF-8, a byte that is no character as %25 and its digits.
      {"<a href=/q>", "<a href=\"../%E8%A1%A8/Q%2580%EF%BD%B1.HTM\">"},
      // Fragments, the page itself.
      {"<a href='p.htm#top'><a href=\"\"><a href=\"b.htm#s%201\">",
       "<a href=\"#top\"><a href=\"P.HTM\"><a href=\"B.HTM#s%201\">"},
      // Left alone: other schemes, FORM action, bare names, end tags, comments, script text.
      {"<a href=\"mailto:a@b\"><form action=\"b.htm\"><a name=x href></a >"},
      {"<!-- <a href=b.htm> --><!--><a href=b.htm>",
       "<!-- <a href=b.htm> --><!--><a href=\"B.HTM\">"},
      {"<SCRIPT src=b.htm>w('<a href=b.htm>')</SCRIPT ><a href=b.htm>",
       "<SCRIPT src=\"B.HTM\">w('<a href=b.htm>')</SCRIPT ><a href=\"B.HTM\">"},
      // BASE: the base of the rest, taken out of the copy but for its TARGET; Refresh.
      {"<BASE HREF=\"http://c/x/\" TARGET=_top><a href=\"#t\">",
       "<BASE TARGET=_top><a href=\"../../C/X/INDEX.HTM#t\">"},
      {"<meta http-equiv=refresh content='0;url=\"b.htm\"'><meta name=x content=\"b.htm\">",
       "<meta http-equiv=refresh content=\"0;url=&quot;B.HTM&quot;\"><meta name=x "
       "content=\"b.htm\">"},
  };
  for (const auto& row : rows) {
    for (const bool by_byte : {false, true}) {
      TableLookup lookup(copy, by_byte);
      LinkRewriter rewriter(kPageUrl, kPagePath, &lookup);
      std::string out;
      for (std::string_view in = row.in; !in.empty();) {
        const size_t piece = by_byte ? 1 : std::min(in.find('\n'), in.size() - 1) + 1;
        rewriter.rewrite_line(in.substr(0, piece), out);
        in.remove_prefix(piece);
      }
      rewriter.finish(out);
      EXPECT_EQ(out, row.out ? row.out : row.in) << by_byte;  // by byte: no quick way
    }
  }
}

}  // namespace
// Pages sharing one memo each get their own links: two pages of a folder, two bare hosts.
TEST(LinkRewrite, MemoKeepsEachPagesOwnLinks) {
  LinkMemo memo;
  const std::pair<const char*, const char*> pages[][2] = {
      {{"http://a.com/d/p1.htm", " ?x"}, {"http://a.com/d/p2.htm", " ?x"}},
      {{"http://a.com", "x.htm"}, {"http://b.com", "x.htm"}}};
  for (const auto& pair : pages) {
    for (const auto& [url, value] : pair) {
      LinkRewriter page(url, ".\\A.DOM\\P.HTM", nullptr, &memo);
      EXPECT_EQ(page.rewrite_value(value), resolve_link(url, value)->url);
    }
  }
}

}  // namespace volari
