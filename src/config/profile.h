// Profile files (module ZEL_WIN, banner kZelWinBanner in support/error_line.h): "[section]" headers
// and "key=value" lines, read in text mode in pieces of 80 bytes. Nothing stays open between calls.
//
// What a reader sees: a piece is a line of at most 79 bytes with its line end; a longer line
// arrives as several pieces, each examined as a line of its own. One trailing '\n' is removed. A
// piece beginning with ';' is a comment. A header begins with '[' and holds ']'; its name is the
// text between them. A key line holds '='; the key is the text before the first '=', the value all
// after it. Nothing is trimmed; names compare exactly, case included. Only the first section of a
// name counts: its search ends at the next piece beginning with '['.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace volari {

// Size of a piece and of the caller's value buffer (a value has at most 78 bytes).
constexpr size_t kProfilePiece = 80;
// Longest file name profile_put accepts, terminator included (the size of Settings::sec_profile).
constexpr size_t kProfilePath = 272;
// The temporary file of a rewrite, made in the directory of the file it replaces.
extern const char kProfileTemp[];  // "ZEL_LIB.TMP"

// Value of `key` in the first section named `section` of `file`, into `out` (at least
// kProfilePiece bytes), which is emptied first. 1 when the key was found (also with an empty
// value), 0 when the file, the section or the key is not there.
int profile_get(Platform& platform, const char* file, const char* section, const char* key,
                char* out);

// Stores key=value in the first section named `section` of `file`, in text mode (CR LF):
// - the value already stored (and not empty): nothing is written;
// - the key in the section: its whole line is replaced in place;
// - the section without the key: a new line at the end of the section, after its trailing
//   comments and blank lines, before the next header (a line end is added first when the file's
//   last line has none);
// - no such section: "\n[section]\nkey=value\n" at the end of the file;
// - no file: the file holds exactly "[section]\nkey=value\n".
// Every other byte keeps its place; lines longer than 79 bytes are copied whole, never split.
// The new text is built in kProfileTemp next to `file` and renamed over it only when every write
// and the close succeeded, so the file always holds the complete old or the complete new text.
// Any failure leaves the file untouched and no temporary file behind; nothing is reported.
// Refused (nothing done): an empty or over-long file name; a file that exists but cannot be read;
// names or a value that could not be read back (a line end anywhere, '=' in the key, ']' in the
// section).
void profile_put(Platform& platform, const char* file, const char* section, const char* key,
                 const char* value);

}  // namespace volari
