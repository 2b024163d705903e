#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/charset_declaration.h"
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

// `text` cut after every LF, and also at `cut`.
std::vector<std::string> lines(const std::string& text, size_t cut = std::string::npos) {
  std::vector<std::string> result;
  for (size_t begin = 0, end; begin < text.size(); begin = end) {
    end = std::min(text.find('\n', begin), text.size() - 1) + 1;
    if (cut > begin && cut < end) end = cut;
    result.push_back(text.substr(begin, end - begin));
  }
  return result;
}

TEST(PageEncoding, Decision) {
  const std::string latin = iconv_text("UTF-8", "ISO-8859-1", "Über Öl\n");
  const std::string meta = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
  const struct {
    const char *record, *type;
    std::string head;
    const char* encoding;  // of text, or null for head only
    std::string text;
    Charset want;
    CharsetSource source;
  } cases[] = {
      {"", "", "", "SHIFT_JIS", kProse, Charset::shift_jis, CharsetSource::bytes},
      {"", "", "", "EUC-JP", kProse, Charset::euc_jp, CharsetSource::bytes},
      {"", "", "", "ISO-2022-JP", kProse, Charset::jis, CharsetSource::bytes},
      {"", "", "", "EUC-JP", kHalfWidth + kProse, Charset::euc_jp, CharsetSource::bytes},
      {"", "", "", "SHIFT_JIS", kHalfWidth + kProse, Charset::shift_jis, CharsetSource::bytes},
      {"", "", "", "ISO-2022-JP-3", "ｶﾀｶﾅ", Charset::jis, CharsetSource::bytes},
      {"", "", "<p>plain</p>", nullptr, "", Charset::shift_jis, CharsetSource::bytes},
      // Valid in both readings: the score decides.
      {"", "", "", "EUC-JP", "あいう", Charset::euc_jp, CharsetSource::bytes},
      {"", "", "", "SHIFT_JIS", "ｶﾀｶﾅ ﾃﾞｰ\n", Charset::shift_jis, CharsetSource::bytes},
      {"", "", "", "EUC-JP", "ｶﾀｶﾅ ﾃﾞｰﾀ", Charset::euc_jp, CharsetSource::bytes},
      {" X-EUC-JP ", "text/html; charset=Shift_JIS", "", "EUC-JP", kProse, Charset::euc_jp,
       CharsetSource::server},
      {"", "text/html; charset=\"Shift_JIS\"", "", "SHIFT_JIS", kProse, Charset::shift_jis,
       CharsetSource::server},
      {"", "", meta + "EUC-JP\">", "EUC-JP", kProse, Charset::euc_jp, CharsetSource::page},
      {"", "", "<?xml version='1.0' encoding='x-sjis'?>", nullptr, "", Charset::shift_jis,
       CharsetSource::page},
      {"", "", std::string(4070, ' ') + "<meta charset=EUC-JP>", nullptr, "", Charset::euc_jp,
       CharsetSource::page},
      {"", "", std::string(4080, ' ') + "<meta charset=EUC-JP>", nullptr, "", Charset::shift_jis,
       CharsetSource::bytes},
      // Lying declarations lose only to bytes valid in one reading.
      {"", "", meta + "Shift_JIS\">", "EUC-JP", kProse, Charset::euc_jp, CharsetSource::bytes},
      {"EUC-JP", "", "", "SHIFT_JIS", kProse, Charset::shift_jis, CharsetSource::bytes},
      {"", "", meta + "Shift_JIS\">", "ISO-2022-JP", kProse, Charset::jis, CharsetSource::bytes},
      {"", "", meta + "EUC-JP\">", "UTF-8", kProse, Charset::other, CharsetSource::bytes},
      {"", "", meta + "Shift_JIS\">", "EUC-JP", "あいう", Charset::shift_jis, CharsetSource::page},
      // Other charsets hold unless the bytes are Japanese beyond doubt.
      {"iso-8859-1", "", "", nullptr, latin, Charset::other, CharsetSource::server},
      {"", "", "<meta charset=\"utf-8\">", "UTF-8", kProse, Charset::other, CharsetSource::page},
      {"iso-8859-1", "", "", "EUC-JP", kProse, Charset::euc_jp, CharsetSource::bytes},
      {"iso-8859-1", "", "", "EUC-JP", "東京都千代田区丸の内", Charset::other,
       CharsetSource::server},
      {"", "", "", "UTF-8", kProse, Charset::other, CharsetSource::bytes},
      {"", "", "", nullptr, latin, Charset::shift_jis, CharsetSource::bytes},  // Ü is ﾜ
      {"", "", "\x80\x80\x1b$B", nullptr, "", Charset::unknown, CharsetSource::bytes},
      {"", "", "x\x82\x7f", nullptr, "", Charset::unknown, CharsetSource::bytes},
      {"", "", meta + "EUC-JP\">\x80", nullptr, "", Charset::euc_jp, CharsetSource::page},
      {"", "", "", "EUC-JP", kProse + "\x1b$B$\"\x1b(B", Charset::unknown, CharsetSource::bytes},
  };
  for (const auto& c : cases) {
    const std::string page =
        c.head + (c.encoding ? iconv_text("UTF-8", c.encoding, c.text) : c.text);
    const PageCharset got = decide_page_charset(c.record, c.type, bytes(page), page.size());
    EXPECT_STREQ(charset_label(got.charset), charset_label(c.want)) << c.head << c.text;
    EXPECT_EQ(got.source, c.source) << c.head << c.text;
  }
}

TEST(PageEncoding, NamesAndContentTypes) {
  const struct {
    const char* text;
    bool content_type;
    Charset want;
  } cases[] = {
      {" \"X-SJIS\" ", false, Charset::shift_jis},
      {"cp932", false, Charset::shift_jis},
      {"csISO2022JP", false, Charset::jis},
      {"EUC-JP2", false, Charset::other},
      {"", false, Charset::unknown},
      {"text/html", true, Charset::unknown},
      {"text/html;charset='euc-jp'", true, Charset::euc_jp},
      {"text/html; level=1; Charset = \"iso-2022-jp\" ; q=1", true, Charset::jis},
      {"text/html; name=\"a;charset=euc-jp\"", true, Charset::unknown},
  };
  for (const auto& c : cases) {
    const std::string_view name = c.content_type ? content_type_charset(c.text) : c.text;
    EXPECT_STREQ(charset_label(charset_by_name(name)), charset_label(c.want)) << c.text;
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

TEST(PageConvert, MatchesIconvAtEveryCut) {
  std::string every;  // every JIS X 0208 character, in EUC-JP
  for (int row = 1; row <= 84; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      const std::string one = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      if (!iconv_text("EUC-JP", "SHIFT_JIS", one).empty()) every += one;
    }
    every += '\n';
  }
  const struct {
    const char* encoding;
    Charset charset;
    std::string text;
  } cases[] = {
      {"EUC-JP", Charset::euc_jp, kHalfWidth + kProse},
      {"ISO-2022-JP", Charset::jis, kProse},
      {"ISO-2022-JP-3", Charset::jis, kHalfWidth + kProse},
      {"SHIFT_JIS", Charset::shift_jis, kHalfWidth + kProse},
  };
  for (const auto& c : cases) {
    const std::string in = iconv_text("UTF-8", c.encoding, c.text);
    const std::string want = iconv_text("UTF-8", "SHIFT_JIS", c.text);
    for (size_t cut = 0; cut <= in.size(); ++cut) {
      ASSERT_EQ(convert(c.charset, lines(in, cut)), want) << c.encoding << " cut at " << cut;
    }
  }
  const std::string sjis = iconv_text("EUC-JP", "SHIFT_JIS", every);
  EXPECT_EQ(convert(Charset::euc_jp, lines(every)), sjis);
  EXPECT_EQ(convert(Charset::jis, lines(iconv_text("EUC-JP", "ISO-2022-JP", every))), sjis);
}

TEST(PageConvert, BeyondIconv) {
  const struct {
    Charset charset;
    std::vector<std::string> lines;
    std::string want;
  } cases[] = {
      {Charset::euc_jp,
       {"a\x8f\xb0\xa1"
        "b\n"},
       "a\x81\xac"
       "b\n"},  // JIS X 0212: geta
      {Charset::euc_jp, {"\x8e\x41\x8e\xe0\n\xa4\n\x80\xff"}, "\x8e\x41\x8e\xe0\n\xa4\n\x80\xff"},
      {Charset::euc_jp,
       {"a\x8f", "\xb0\xa1\x8f\xb0", "\xa1\xa4", "\xa2"},
       "a\x81\xac\x81\xac\x82\xa0"},
      {Charset::euc_jp, {"\x8e", "A\n"}, "A\n"},  // held bytes not completed are dropped
      {Charset::jis,
       {"\x1b$(D\x30\x21\x1b(Bx"},
       "\x81\xac"
       "x"},
      {Charset::jis, {"\x1b$(D\x30", "\x21"}, "\x81\xac"},
      {Charset::jis,
       {"\x0e"
        "12\x0f"
        "3\x1b(I4\x1b(J5"},
       "\xb1\xb2"
       "3\xb4"
       "5"},
      {Charset::jis, {"\x1b$B$\"\n", "$$ $&\x1b(B\n"}, "\x82\xa0\n\x82\xa2 \x82\xa4\n"},
      {Charset::jis, {"\x1b$A\xb1\x1b$", "@$\"\x1b&@$$\x7f"}, "\x1b$A\xb1\x82\xa0\x82\xa2\x7f"},
      {Charset::jis, {"\x1b$", "x"}, "x"},
      {Charset::unknown, {"\x1b$B$\"", "$$\xa4\xa2\n"}, "\x82\xa0$$\x82\xa0\n"},
      {Charset::other, {"\xa4\xa2\x1b$B$\""}, "\xa4\xa2\x1b$B$\""},
  };
  for (const auto& c : cases) EXPECT_EQ(convert(c.charset, c.lines), c.want) << c.lines[0];
}

TEST(CharsetDeclaration, Rewrite) {
  const std::string long_line = std::string(32511 - 22, 'x') + "<meta charset=EUC-JP>\n";
  const struct {
    Charset charset;
    std::vector<std::string> lines;
    std::string want;
  } cases[] = {
      {Charset::euc_jp,
       {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=EUC-JP\">"},
       "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">"},
      {Charset::jis,
       {"<meta content=text/html;CharSet=iso-2022-jp http-equiv=content-type/>"
        "<Meta Charset = 'x-sjis' >"},
       "<meta content=text/html;CharSet=Shift_JIS http-equiv=content-type/>"
       "<Meta Charset = 'Shift_JIS' >"},
      {Charset::unknown,
       {"<?xml version=\"1.0\" encoding=\"euc-jp\"?><meta charset=SHIFT_JIS>"},
       "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><meta charset=SHIFT_JIS>"},
      {Charset::euc_jp,
       {"<meta http-equiv=\"Content-Type\"\n", "  content=\"text/html; charset=EUC-JP\">\n"},
       "<meta http-equiv=\"Content-Type\"\n  content=\"text/html; charset=Shift_JIS\">\n"},
      {Charset::shift_jis,
       {"<!-- > <meta charset=EUC-JP> --><p charset=EUC-JP><meta charset=EUC", "-JP>"},
       "<!-- > <meta charset=EUC-JP> --><p charset=EUC-JP><meta charset=EUC-JP>"},
      {Charset::other, {"<meta charset=EUC-JP>"}, "<meta charset=EUC-JP>"},
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

}  // namespace
}  // namespace volari
