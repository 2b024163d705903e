// A record of the browser's global history file: the data item stored under each URL key.
//   Navigator 3: int32 last visit (4 bytes).
//   Communicator 4: int32 last visit, first visit, visit count, flags, then the title and its NUL.
// The integers are Unix times and counts. A Navigator 3 record is little-endian on every host; a
// Communicator 4 record is in the byte order of the host that wrote it, which is the file's own
// unless the file was copied between hosts or written with a byte order asked for. Read in the
// wrong order, about one date in seven still looks plausible: the layout's order goes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace volari {

enum class HistoryLayout { unknown, navigator3, communicator4 };

struct HistoryRecord {
  HistoryLayout layout = HistoryLayout::unknown;
  uint32_t last_visit = 0;   // Unix time; plausible whenever the layout is known
  uint32_t first_visit = 0;  // Communicator 4, when plausible in the order taken; else 0
  uint32_t visit_count = 0;  // Communicator 4
  std::string_view title;    // Communicator 4: into the data, at most 259 bytes
};

// A visit date this program believes: from 1990-01-01 to 2010-12-31 (UTC).
bool plausible_visit(uint32_t unix_time);

// Decodes `size` bytes of a record's data: exactly 4 bytes are Navigator 3, 16 or more
// Communicator 4, any other size is unknown. The integers are read in the layout's own byte order
// first (Navigator 3 little-endian, Communicator 4 the file's own, `big_endian`), in the other when
// that last visit is not plausible and the other one is; a last visit plausible in neither gives
// unknown. The title runs from byte 16 to the first NUL or the end of the data, cut to 259 bytes.
// Only data[0..size-1] is read.
HistoryRecord decode_history_record(const unsigned char* data, size_t size, bool big_endian);

}  // namespace volari
