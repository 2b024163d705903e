// A page turned into its copy: its encoding decided, its lines and their charset declarations
// converted to Shift-JIS, its links rewritten.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "output/charset_declaration.h"
#include "output/jis.h"
#include "output/link_rewrite.h"
#include "output/page_convert.h"
#include "output/page_encoding.h"
#include "testlib/iconv_text.h"

namespace volari {
namespace {

using testing::iconv_text;

const unsigned char* bytes(const std::string& s) {
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

// to_shiftjis of in[0..length-1]: the bytes after it must not count, nor be written past length.
std::string to_sjis(const std::string& in, size_t length = std::string::npos) {
  length = std::min(length, in.size());
  std::vector<unsigned char> out(length + 2, 0xEE);
  const size_t n = to_shiftjis(bytes(in), length, out.data());
  EXPECT_EQ(out[n], 0);
  EXPECT_EQ(out[length + 1], 0xEE) << "wrote past length + 1";
  return std::string(reinterpret_cast<const char*>(out.data()), n);
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
      {"", "text/html; name=\"a;charset=euc-jp\"", "", "Shift_JIS", B},
      // Valid in both readings: the score decides.
      {"", "", in("EUC-JP", "あいう"), "EUC-JP", B},
      {"", "", in("SHIFT_JIS", "ｶﾀｶﾅ ﾃﾞｰ\n"), "Shift_JIS", B},
      // Lying declarations lose only to bytes valid in one reading.
      {"", "", meta + "Shift_JIS\">" + in("ISO-2022-JP", kProse), "ISO-2022-JP", B},
      {"", "", meta + "EUC-JP\">" + kProse, "other", B},
      {"", "", meta + "Shift_JIS\">" + in("EUC-JP", "あいう"), "Shift_JIS", P},
      {"", "", in("EUC-JP", kProse) + "\x8f\xb0\xa1x", "EUC-JP", B},  // JIS X 0212
      // Other charsets hold unless the bytes are Japanese beyond doubt.
      {"iso-8859-1", "", in("ISO-8859-1", "Über Öl\n"), "other", S},
      {"iso-8859-1", "", in("EUC-JP", kProse), "EUC-JP", B},
      {"iso-8859-1", "", in("EUC-JP", "東京都千代田区丸の内"), "other", S},
      {"", "", kProse, "other", B},  // UTF-8
      {"", "", "\x80\x80\x1b$B", "unknown", B},
      {"", "", "x\x82\x7f", "unknown", B},
  };
  for (const auto& c : cases) {
    const PageCharset got = decide_page_charset(c.record, c.type, bytes(c.page), c.page.size());
    EXPECT_STREQ(charset_label(got.charset), c.want) << c.record << c.type << c.page;
    EXPECT_EQ(got.source, c.source) << c.record << c.type << c.page;
  }
}

// The scores know which JIS X 0208 codes exist: every code iconv refuses counts as unassigned.
TEST(PageEncoding, AssignedCodesMatchIconv) {
  const long long unassigned = read_bytes(bytes("\xa9\xa1"), 2).euc_score;  // row 9
  for (int row = 1; row <= 94; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      if (row == 13 || (row >= 89 && row <= 92)) continue;  // vendor extensions
      const std::string euc = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      const bool known = !iconv_text("EUC-JP", "UTF-8", euc).empty();
      EXPECT_EQ(read_bytes(bytes(euc), 2).euc_score == unassigned, !known) << row << "-" << cell;
    }
  }
}

// Every JIS X 0208 character comes out as iconv writes it in Shift-JIS, from each encoding, by
// both conversions; and a page's lines cut anywhere convert as the whole page does.
TEST(PageConvert, MatchesIconv) {
  std::string every;  // in EUC-JP, a row a line
  for (int row = 1; row <= 84; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      const std::string one = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      if (!iconv_text("EUC-JP", "SHIFT_JIS", one).empty()) every += one;
    }
    every += '\n';
  }
  ASSERT_EQ(every.size(), 6879 * 2 + 84);  // all of JIS X 0208
  const std::string sjis = iconv_text("EUC-JP", "SHIFT_JIS", every);
  const std::string iso = iconv_text("EUC-JP", "ISO-2022-JP", every);  // ESC $ B ... ESC ( B
  EXPECT_EQ(convert(Charset::euc_jp, {every}), sjis);
  EXPECT_EQ(convert(Charset::jis, {iso}), sjis);
  EXPECT_EQ(to_sjis(every), sjis);
  EXPECT_EQ(to_sjis(iso), sjis);
  const struct {
    const char* encoding;
    Charset charset;
    std::string text;
  } cases[] = {
      {"EUC-JP", Charset::euc_jp, kHalfWidth + kProse},
      {"ISO-2022-JP-3", Charset::jis, kHalfWidth + kProse},
  };
  for (const auto& c : cases) {
    const std::string in = iconv_text("UTF-8", c.encoding, c.text);
    const std::string want = iconv_text("UTF-8", "SHIFT_JIS", c.text);
    for (size_t cut = 1; cut < in.size(); ++cut) {
      ASSERT_EQ(convert(c.charset, {in.substr(0, cut), in.substr(cut)}), want)
          << c.encoding << " cut at " << cut;
    }
  }
}

TEST(PageConvert, BeyondIconv) {
  const struct {
    Charset charset;
    std::vector<std::string> lines;
    std::string want;
  } cases[] = {
      {Charset::euc_jp, {"a\x8f\xb0\xa1"}, "a\x81\xac"},  // JIS X 0212: geta
      {Charset::euc_jp,
       {"a\x8f", "\xb0\xa1\x8f\xb0", "\xa1\xa4", "\xa2"},
       "a\x81\xac\x81\xac\x82\xa0"},
      {Charset::euc_jp, {"\x8e", "A\n"}, "A\n"},  // held bytes not completed are dropped
      {Charset::jis, {"\x1b$(D\x30", "\x21"}, "\x81\xac"},
      {Charset::jis, {"\x0e\x31\x32\x0f\x33\x1b(I\x34\x1b(J5"}, "\xb1\xb2\x33\xb4\x35"},
      {Charset::jis, {"\x1b$B$\"\n", "$$ $&\x1b(B\n"}, "\x82\xa0\n\x82\xa2 \x82\xa4\n"},
      {Charset::jis, {"\x1b$A\xb1\x1b$", "@$\"\x1b&@$$\x7f"}, "\x1b$A\xb1\x82\xa0\x82\xa2\x7f"},
      {Charset::unknown, {"\x1b$B$\"", "$$\xa4\xa2\n"}, "\x82\xa0$$\x82\xa0\n"},
      {Charset::other, {"\xa4\xa2\x1b$B$\""}, "\xa4\xa2\x1b$B$\""},
  };
  for (const auto& c : cases) EXPECT_EQ(convert(c.charset, c.lines), c.want) << c.lines[0];
}

// The per-line guess of a page of unknown encoding, and what it reads of its line.
TEST(ToShiftJis, Quirks) {
  const struct {
    const char* name;
    std::string in, out;
    size_t length = std::string::npos;
  } cases[] = {
      {"esc ( H, esc ( J end runs", "\x1b$@\x24\x22\x1b(H>\x1b$B\x24\x22\x1b(J<",
       "\x82\xa0>\x82\xa0<"},
      // Not an end for its run: taken as the pairs 1B 28 and 48 00 (the terminator).
      {"esc ( H inside the B run", "\x1b$B\x24\x22\x1b(H", "\x82\xa0\x7e\x47\x94\x7e"},
      {"odd byte ends a run", "\x1b$B\x24", "\x82\x7e"},
      {"euc before sjis: E0 A1 is EUC-JP 0x6021", "\xe0\xa1", "\xe0\x9f"},
      {"a0 a0 is no pair, a0 a4 is", "\xa0\xa0\xa4", "\xa0\x80\xa2"},
      {"lead byte at the end", "AB\x82", "AB\x82"},
      {"escape inside ascii", "abcdefg\x1b$B\x24\x22\x1b(BHIJKLMNO", "abcdefg\x82\xa0HIJKLMNO"},
      {"sjis leads take their partner", "\x82\xa4\xea\xa0", "\x82\xa4\xea\xa0"},
      // Bytes past the length read as the terminator, whatever the buffer holds there.
      {"pair partner beyond", "\x1b$B\x24\x22", "\x82\x7e", 4},
      {"ascii cut by the length", "abcdefghijkl", "abcdefghi", 9},
      {"euc partner beyond after ascii", "abcdefgh\xa4\xa2", "abcdefgh\xa4", 9},
  };
  for (const auto& c : cases) EXPECT_EQ(to_sjis(c.in, c.length), c.out) << c.name;
}

TEST(CharsetDeclaration, Rewrite) {
  const std::string long_line = std::string(32511 - 22, 'x') + "<meta charset=EUC-JP>\n";
  const struct {
    Charset charset;
    std::vector<std::string> lines;
    std::string want;
  } cases[] = {
      {Charset::euc_jp,
       {"<meta http-equiv=\"Content-Type\"\n", "  content=\"text/html; charset=EUC-JP\">\n"},
       "<meta http-equiv=\"Content-Type\"\n  content=\"text/html; charset=Shift_JIS\">\n"},
      {Charset::shift_jis,
       {"<!-- -> <meta charset=EUC-JP> --><p charset=EUC-JP><meta charset=EUC", "-JP>"},
       "<!-- -> <meta charset=EUC-JP> --><p charset=EUC-JP><meta charset=EUC-JP>"},
      {Charset::euc_jp, {long_line}, long_line.substr(0, long_line.size() - 8) + "Shift_JIS>\n"},
  };
  for (const auto& c : cases) {
    DeclarationScan scan;
    std::string got, out;
    for (const std::string& line : c.lines) {
      const bool changed =
          rewrite_charset_declarations(scan, c.charset, bytes(line), line.size(), out) > 0;
      got += changed ? out : line;
    }
    EXPECT_EQ(got, c.want) << c.lines[0].substr(0, 80);
  }
}

constexpr char kPageUrl[] = "http://h/d/p.htm";
constexpr char kPagePath[] = ".\\H\\D\\P.HTM";

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
      {"a < b <!DOCTYPE x> <? y ?> <xmp><a href=b.htm><"},
      // Comments and script text across lines.
      {"<!-- a\n<a href=b.htm>\n--\n>--><a href=b.htm>",
       "<!-- a\n<a href=b.htm>\n--\n>--><a href=\"B.HTM\">"},
      {"<script>\n</scriptx><a href=b.htm></scr\nipt></script>\n<a href=b.htm>",
       "<script>\n</scriptx><a href=b.htm></scr\nipt></script>\n<a href=\"B.HTM\">"},
      // BASE: the base of the rest, taken out of the copy but for its TARGET; Refresh.
      {"<BASE HREF=\"http://c/x/\" TARGET=_top><a href=\"#t\">",
       "<BASE TARGET=_top><a href=\"../../C/X/INDEX.HTM#t\">"},
      {"<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=b.htm\">",
       "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=B.HTM\">"},
      {"<meta http-equiv=refresh content='0;url=\"b.htm\"'><meta name=x content=\"b.htm\">",
       "<meta http-equiv=refresh content=\"0;url=&quot;B.HTM&quot;\"><meta name=x "
       "content=\"b.htm\">"},
  };
  for (const auto& row : rows) {
    for (const bool by_byte : {false, true}) {
      LinkRewriter rewriter(kPageUrl, kPagePath, [&copy](const std::string& url) {
        const auto it = copy.find(url);
        return it == copy.end() ? std::nullopt : std::optional<std::string>(it->second);
      });
      std::string out;
      for (std::string_view in = row.in; !in.empty();) {
        const size_t piece = by_byte ? 1 : std::min(in.find('\n'), in.size() - 1) + 1;
        rewriter.rewrite_line(in.substr(0, piece), out);
        in.remove_prefix(piece);
      }
      rewriter.finish(out);
      EXPECT_EQ(out, row.out ? row.out : row.in) << by_byte;
    }
  }
}

}  // namespace
}  // namespace volari
