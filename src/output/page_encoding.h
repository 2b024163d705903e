// The encoding of a text-mode page, decided once for the whole page before its lines are
// converted: the charset the server sent, else the page's own declaration, else its bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace volari {

// other: a charset that is not Japanese (the page is copied unconverted). unknown: nothing
// decides it (each line is converted on its own by to_shiftjis's guess).
enum class Charset { unknown, shift_jis, euc_jp, jis, other };

// "Shift_JIS", "EUC-JP", "ISO-2022-JP", "other" or "unknown".
const char* charset_label(Charset charset);

// By name, without regard to case and to blanks and quotes around it: Shift_JIS, shift-jis,
// x-sjis, sjis, ms_kanji, csShiftJIS, windows-31j and cp932 are shift_jis; EUC-JP, x-euc-jp and
// csEUCPkdFmtJapanese euc_jp; ISO-2022-JP and csISO2022JP jis; any other name other; none unknown.
Charset charset_by_name(std::string_view name);

// The charset parameter of a content type, unquoted: "text/html; charset=\"x-sjis\"" gives
// "x-sjis". Empty when there is none.
std::string_view content_type_charset(std::string_view content_type);

// How much of a page's head is searched for a declaration.
constexpr size_t kDeclarationWindow = 4096;

// The name in the first declaration (the forms of charset_declaration.h) lying whole within the
// first kDeclarationWindow bytes of `page`; empty when there is none.
std::string_view declared_charset_name(const unsigned char* page, size_t length);

// What the bytes of a page allow. A character cut by the end of the bytes (the page read only in
// part) does not make a reading invalid.
struct ByteReadings {
  bool high = false;        // a byte of 0x80 or more
  bool jis_escape = false;  // ESC $ @, ESC $ B, ESC $ ( D/O/P/Q, ESC ( B, ESC ( J or ESC ( I
  // Valid readings. An ISO-2022-JP escape rules out the 8-bit ones, a byte of 0x80 or more the
  // 7-bit one; plain ASCII is valid in all.
  bool jis = true;
  bool shift_jis = true;
  bool euc_jp = true;
  bool utf8 = true;
  // How much each 8-bit reading looks like Japanese text: full-width kana weigh most, then
  // punctuation, JIS level-1 kanji, EUC-JP's 0x8E half-width katakana and other symbols; Shift-JIS
  // half-width katakana weigh nothing; level-2 kanji, vendor extensions, JIS X 0212, unassigned
  // codes and, in the Shift-JIS reading, a run of kanji 0x8E 0xA1-0xDF (EUC-JP half-width
  // katakana) count down.
  long long sjis_score = 0;
  long long euc_score = 0;
  size_t sjis_kana = 0;  // full-width hiragana and katakana
  size_t euc_kana = 0;
  size_t sjis_wide = 0;  // characters of more than one byte
  size_t euc_wide = 0;
};
ByteReadings read_bytes(const unsigned char* page, size_t length);

// The bytes alone: an ISO-2022-JP escape means jis (unknown when 8-bit bytes come with it: only
// the per-line rule converts both); plain ASCII is shift_jis; valid UTF-8 that is not valid
// EUC-JP is other, so that it is never converted; valid in exactly one of Shift-JIS and EUC-JP
// means that one; valid in both, the higher score (a tie is shift_jis, the copy that changes
// nothing); else unknown.
Charset charset_from_bytes(const ByteReadings& readings);

enum class CharsetSource { server, page, bytes };

struct PageCharset {
  Charset charset;
  CharsetSource source;
};

// Decides a page's encoding from the index record's charset (else the charset parameter of its
// content type), else the page's declaration, else charset_from_bytes; `page` is the first part
// of the page (up to 1 MiB). A declared Japanese encoding that the bytes are not valid in loses to
// the bytes when they are valid in exactly one reading (Shift-JIS, EUC-JP, ISO-2022-JP, UTF-8); a
// declared other charset holds unless the bytes are Japanese beyond doubt: ISO-2022-JP escapes in
// 7-bit text, or a likelier 8-bit reading that is not valid UTF-8 and has at least 16 full-width
// kana making at least a quarter of its characters of more than one byte (Latin, Chinese and
// Korean text misread as Japanese has next to none).
PageCharset decide_page_charset(std::string_view record_charset, std::string_view content_type,
                                const unsigned char* page, size_t length);

}  // namespace volari
