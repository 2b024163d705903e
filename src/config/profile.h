// Profile files: "[section]" headers and "key=value" lines, read in text mode. Nothing stays open
// between calls.
//
// What a reader sees: whole lines, their one line end removed. A line beginning with ';' is a
// comment. A header begins with '[' and holds ']'; its name is the text between them. A key line
// holds '='; the key is the text before the first '=', the value all after it. Nothing is
// trimmed; names compare exactly, case included. A UTF-8 mark (EF BB BF) that an editor put at
// the start of the file is no part of its first line. Only the first section of a name counts: its
// search ends at the next line beginning with '['.
//
// Lines are read whole, not in the 80-byte pieces of old, whose second piece was read as a line
// of its own: a path longer than 78 bytes was cut without a word, and an OUTDIR cut that way sent
// the whole output into the current directory.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace volari {

// Size of the pieces a file is read in; lines are made of them.
constexpr size_t kProfilePiece = 80;
// Size of the caller's value buffer: a longer value is cut to kProfileValue - 1 bytes.
constexpr size_t kProfileValue = 264;
// Longest line examined; the rest of a longer line is passed over.
constexpr size_t kProfileLine = 1024;
// Longest file name profile_put accepts, terminator included (the size of Settings::sec_profile).
constexpr size_t kProfilePath = 272;

// Value of `key` in the first section named `section` of `file`, into `out` (at least
// kProfileValue bytes), which is emptied first. True when the key was found (also with an empty
// value), false when the file, the section or the key is not there.
bool profile_get(Platform& platform, const char* file, const char* section, const char* key,
                 char* out);

// Stores key=value in the first section named `section` of `file`:
// - the value already stored (and not empty): nothing is written;
// - the key in the section: its whole line is replaced in place;
// - the section without the key: a new line at the end of the section, after its trailing
//   comments and blank lines, before the next header (a line end is added first when the file's
//   last line has none);
// - no such section: a line end, "[section]" and key=value at the end of the file;
// - no file: the file holds exactly "[section]" CR LF "key=value" CR LF.
// Every other byte keeps its place (a UTF-8 mark, a 0x1A, a NUL included); new lines end as the
// file's first line does (LF alone or CR LF). A file reached through a link is rewritten where it
// lies. The new text is written to a new temporary file beside it, with its permission bits, and
// renamed over it only when every write and the close succeeded: the file always holds the
// complete old or the complete new text, and a failure leaves no temporary file.
// False when the file could not be written, and for a refusal (nothing done): an empty or
// over-long file name; a file that exists but cannot be read, or is larger than 1 MiB; names or a
// value that could not be read back (a line end anywhere, '=' in the key, ']' in the section).
bool profile_put(Platform& platform, const char* file, const char* section, const char* key,
                 const char* value);

}  // namespace volari
