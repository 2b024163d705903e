#include "support/japanese.h"

namespace volari::ja {

// \nVOLARI (%s,%s)\n処理を開始します。\n\n
const char kBannerFormat[] =
    "\nVOLARI (%s,%s)\n\x8F\x88\x97\x9D\x82\xF0\x8AJ\x8En\x82\xB5\x82\xDC\x82\xB7\x81"
    "B\n\n";

// 32ビット版
const char kBannerEdition[] =
    "32\x83r\x83"
    "b\x83g\x94\xC5";

// 対象ドメイン : %s\n
const char kTargetHostFormat[] =
    "\x91\xCE\x8F\xDB\x83h\x83\x81\x83"
    "C\x83\x93 : %s\n";

// \n処理を終了しました。\n
const char kEndMessage[] =
    "\n\x8F\x88\x97\x9D\x82\xF0\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\n";

// \n処理結果:\n  キャッシュファイル %5d\n\n  変換ファイル       %5d\n    HTMLファイル     %5d\n
// 画像ファイル     %5d\n\n
const char kSummaryFirstFormat[] =
    "\n\x8F\x88\x97\x9D\x8C\x8B\x89\xCA:\n  \x83L\x83\x83\x83"
    "b\x83V\x83\x85\x83t\x83@\x83"
    "C\x83\x8B %5d\n\n  \x95\xCF\x8A\xB7\x83t\x83@\x83"
    "C\x83\x8B       %5d\n    HTML\x83t\x83@\x83"
    "C\x83\x8B     %5d\n    \x89\xE6\x91\x9C\x83t\x83@\x83"
    "C\x83\x8B     %5d\n\n";

//   スキップファイル   %5d\n    前回実行以前     %5d\n    ファイルなし     %5d\n    http 以外 %5d\n
//   CGI 等           %5d\n
const char kSummarySecondFormat[] =
    "  \x83X\x83L\x83"
    "b\x83v\x83t\x83@\x83"
    "C\x83\x8B   %5d\n    \x91O\x89\xF1\x8E\xC0\x8Ds\x88\xC8\x91O     %5d\n    \x83t\x83@\x83"
    "C\x83\x8B\x82\xC8\x82\xB5     %5d\n    http \x88\xC8\x8AO        %5d\n    CGI \x93\x99        "
    "   %5d\n";

//   コピー失敗         %5d\n
const char kSummaryCopyFailedFormat[] = "  \x83R\x83s\x81[\x8E\xB8\x94s         %5d\n";

// \n何かキーを押すと OS に戻ります。\n
const char kKeyPrompt[] =
    "\n\x89\xBD\x82\xA9\x83L\x81[\x82\xF0\x89\x9F\x82\xB7\x82\xC6 OS "
    "\x82\xC9\x96\xDF\x82\xE8\x82\xDC\x82\xB7\x81"
    "B\n";

// ERROR:ファイルのコピーに失敗しました : %s\n
const char kCopyFailedFormat[] =
    "ERROR:\x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x83R\x83s\x81[\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD : %s\n";

// </DL>\n<HR><DT><H3>変換時刻   %s</H3>\n<DL><P>\n
const char kSectionHeaderFormat[] =
    "</DL>\n<HR><DT><H3>\x95\xCF\x8A\xB7\x8E\x9E\x8D\x8F   %s</H3>\n<DL><P>\n";

}  // namespace volari::ja
