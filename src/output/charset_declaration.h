// Charset declarations in a page's markup, in any case and quoting, attributes in any order:
//   <meta http-equiv="Content-Type" content="text/html; charset=NAME">
//   <meta charset=NAME>
//   <?xml version="1.0" encoding="NAME"?>
// A meta's content attribute counts whenever it holds "charset=", with or without http-equiv, so
// that a tag split over lines is still found from the line that holds the name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "output/page_encoding.h"

namespace volari {

// Where the scan stands in the markup, carried from one line of a page to the next (a tag may
// span lines). A fresh one for every page.
struct DeclarationScan {
  uint8_t where = 0;  // text, tag name, comment, attributes, attribute name, value...
  uint8_t tag = 0;    // meta or xml
  uint8_t attr = 0;   // charset, content, encoding or another
  uint8_t sub = 0;    // inside a value: looking for "charset", "=", the name
  uint8_t key = 0;    // letters of "charset" matched
  uint8_t dashes = 0;
  unsigned char quote = 0;  // the value's quote, 0 when unquoted
  uint8_t word_length = 0;  // tag or attribute name so far, lower case
  char word[11] = {};
  size_t name_start = 0;   // where the name began in the current text
  bool name_here = false;  // the name began in the current text, not in an earlier line
};

// Continues the scan over text[pos..length-1] (pos 0 starts a new line or text). Returns true at
// the next declared name, with its bytes at [start, end) and pos past it; false at the end of the
// text (pos = length). Names are not empty and lie whole in the text: one cut by the end of the
// text is not reported. Comments are skipped.
bool next_charset_declaration(DeclarationScan& scan, const unsigned char* text, size_t length,
                              size_t& pos, size_t& start, size_t& end);

// Returns the names in `line` (the converted line, Shift-JIS or ASCII bytes) that are not
// "Shift_JIS" (in any case), when the copy is Japanese (every charset but other); when there are
// any, `out` is set to the line with each replaced by "Shift_JIS", nothing else in the tag
// changed (else `out` is left alone: most lines hold none). A page of charset other keeps its
// declarations. `out` may be longer than the line; it is never cut.
size_t rewrite_charset_declarations(DeclarationScan& scan, Charset page, const unsigned char* line,
                                    size_t length, std::string& out);

}  // namespace volari
