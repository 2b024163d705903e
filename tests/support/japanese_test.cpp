// The Japanese texts are pinned against glibc's iconv, an independent Shift-JIS encoder.
#include "support/japanese.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

namespace volari {
namespace {

std::string to_sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("SHIFT_JIS", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* o = out.data();
  size_t out_left = out.size();
  EXPECT_NE(iconv(cd, &in, &in_left, &o, &out_left), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

TEST(JapaneseTexts, AreTheShiftJisBytesOfTheirText) {
  struct Row {
    const char* bytes;
    const char* utf8;
  } rows[] = {
      {ja::kBannerFormat, "\nVOLARI (%s,%s)\n処理を開始します。\n\n"},
      {ja::kBannerEdition, "32ビット版"},
      {ja::kTargetHostFormat, "対象ドメイン : %s\n"},
      {ja::kEndMessage, "\n処理を終了しました。\n"},
      {ja::kSummaryFirstFormat,
       "\n処理結果:\n  キャッシュファイル %5d\n\n  変換ファイル       %5d\n    HTMLファイル     "
       "%5d\n    画像ファイル     %5d\n\n"},
      {ja::kSummarySecondFormat,
       "  スキップファイル   %5d\n    前回実行以前     %5d\n    ファイルなし     %5d\n    http "
       "以外        %5d\n    CGI 等           %5d\n\n"},
      {ja::kKeyPrompt, "\n何かキーを押すと OS に戻ります。\n"},
      {ja::kCopyFailed, "ERROR:ファイルのコピーに失敗しました\n"},
      {ja::kSectionHeaderFormat, "</DL>\n<HR><DT><H3>変換時刻   %s</H3>\n<DL><P>\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(std::string(row.bytes), to_sjis(row.utf8)) << row.utf8;
}

// Every summary label, blanks included, is 21 bytes, so the numbers stand in one column.
TEST(JapaneseTexts, SummaryLabelsAreTwentyOneBytes) {
  for (const char* format : {ja::kSummaryFirstFormat, ja::kSummarySecondFormat}) {
    std::string text = format;
    size_t labels = 0;
    for (size_t start = 0, at; (at = text.find("%5d", start)) != std::string::npos;
         start = at + 3) {
      size_t line_start = text.rfind('\n', at) + 1;
      EXPECT_EQ(at - line_start, 21u) << text.substr(line_start, at - line_start);
      ++labels;
    }
    EXPECT_GE(labels, 4u);
  }
}

}  // namespace
}  // namespace volari
