// Paths between the program's form (Shift-JIS, '\' as separator) and the Linux file system's
// (UTF-8 by convention, '/'), and the form shown to the user. Pure functions over cp932.h; a
// path may grow (a kanji is 2 bytes in Shift-JIS, 3 in UTF-8), nothing is cut.
//
// Native bytes that Shift-JIS cannot hold (a name that is no UTF-8, such as an EUC-JP folder
// from an old Unix disk, or a character code page 932 lacks, such as e-acute or an emoji) keep
// their exact bytes through an escape of two bytes in program form:
//   native byte X in 0x80-0xBF  ->  0xFD, 0xA0 + (X - 0x80)
//   native byte X in 0xC0-0xFF  ->  0xFF, 0xA0 + (X - 0xC0)
//   native byte '\'             ->  0xFD, 0x80
// 0xFD and 0xFF occur in no Shift-JIS or UTF-8 text (and 0xFF in no EUC-JP), so a name from a
// URL is hardly ever read as an escape; and neither byte of an escape is a lead byte, an ASCII
// byte or 0x5C, so every reader of program form, whether it pairs any byte of 0x80 or more with
// the next or only 0x81-0x9F and 0xE0-0xFC, steps over an escape as a whole, and a separator
// after it stays a separator. (0xFF followed by the native byte itself would not do: that byte
// may be a lead byte, which such a reader pairs with a '\' after it.)
#pragma once

#include <string>
#include <string_view>

namespace volari {

// Program form to native: '\' becomes '/' (never the second byte of a double-byte character);
// each Shift-JIS character becomes its UTF-8 form; an escape becomes its native byte; any other
// byte that is no Shift-JIS character becomes "%XX" (both bytes of an unassigned pair), so that
// every name made from a URL is UTF-8. Bytes that are UTF-8 already are read as Shift-JIS, as
// a browser reads a link in a Shift_JIS page, so that the link finds the name.
std::string native_path(std::string_view program);

// path_from_native, path_from_user and path_for_display (platform.h) are the other directions:
// path_from_native(native_path(p)) gives back p for every p it made, and native_path gives back
// exactly every native path path_from_native was given.

}  // namespace volari
