// JIS to Shift-JIS code mapping and the line conversion built on it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace volari {

// The standard JIS X 0208 to Shift-JIS mapping; first byte in bits 8-15, second in bits 0-7, for
// both the code and the result. No range check: bytes outside 0x21-0x7E give whatever the
// arithmetic yields, each result byte cut to 8 bits.
uint16_t jis_to_sjis(uint16_t code);

// Converts the first `length` bytes of `in` to Shift-JIS into `out` and terminates it; returns the
// number of bytes written before the terminator. Every call starts in single-byte state.
//   - ESC $ B ... ESC ( B or ESC ( J, and ESC $ @ ... ESC ( J or ESC ( H: the escapes are dropped
//     and the bytes between are taken in pairs as JIS codes (control bytes and line breaks too);
//     any other escape inside such a run is converted as a pair.
//   - Outside: a byte of 0xA0 or more followed by one of 0xA1 or more is an EUC-JP character;
//     0x81-0x9F and 0xE0 or more start a Shift-JIS pair, copied as it is; everything else is
//     copied alone (0xA0-0xDF are half-width katakana).
// Bytes at or past `length` read as 0, the line's terminator: only in[0..length-1] is read. A
// Shift-JIS lead byte that is the last byte is written alone. `out` must hold length + 1 bytes:
// the result is never longer than the input.
size_t to_shiftjis(const unsigned char* in, size_t length, unsigned char* out);

}  // namespace volari
