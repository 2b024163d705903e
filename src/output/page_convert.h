// Converts the lines of one page, whose encoding was decided once (page_encoding.h), to Shift-JIS.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/page_encoding.h"

namespace volari {

// The conversion's state from one line of a page to the next: the ISO-2022-JP designation and
// shift, and a character cut by the end of a line (a line split at the reader's limit).
struct PageConversion {
  explicit PageConversion(Charset page_charset) : charset(page_charset) {}

  Charset charset;
  uint8_t jis_set = 0;       // ASCII, JIS-Roman, half-width katakana, JIS X 0208, JIS X 0212
  bool shifted_out = false;  // between SO and SI: half-width katakana
  uint8_t held[3] = {};      // the start of an escape sequence, or an EUC-JP 0x8E / 0x8F prefix
  uint8_t held_length = 0;
  int16_t half = -1;  // what completes a character whose first output byte is already written
};

// Converts line[0..length-1], the page's next line in order, into `out` and terminates it.
// Returns the number of bytes written before the terminator: never more than `length`, so `out`
// needs length + 1 bytes.
//   - shift_jis, other: the line unchanged.
//   - euc_jp: JIS X 0208 pairs by jis_to_sjis; 0x8E and a half-width katakana byte give that
//     byte; 0x8F and two bytes (JIS X 0212, not in Shift-JIS) give the geta mark 0x81 0xAC.
//   - jis: ESC ( B, ESC ( J, ESC ( H (single bytes as they are), ESC ( I and SO ... SI
//     (half-width katakana), ESC $ @, ESC $ B, ESC $ ( O, ESC $ ( Q (JIS X 0208 pairs),
//     ESC $ ( D, ESC $ ( P (pairs given as the geta mark), ESC & @ (dropped). The set in use
//     carries over to the next line; control bytes and bytes of 0x7F or more are copied as they
//     are in every set, and so is an unknown escape.
//   - unknown: to_shiftjis, each line on its own.
// Bytes that form no character are copied as they are. A character cut by the end of the line is
// completed from the next line: its first output byte is written now, or the bytes that give no
// output yet are held. Held bytes that the next line does not complete are dropped.
size_t convert_page_line(PageConversion& state, const unsigned char* line, size_t length,
                         unsigned char* out);

}  // namespace volari
