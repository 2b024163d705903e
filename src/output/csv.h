// Comma-separated values as RFC 4180 lays them out: the manifest's file format.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace volari {

using CsvRecord = std::vector<std::string>;

// Appends one record to `out`: the fields joined by ',', then CR LF. A field is put in quotes, each
// '"' in it doubled, when it holds ',', '"', CR or LF, when it begins or ends with a blank or a tab
// (spreadsheet programs trim those otherwise) or with a byte-order mark, and when it is a record's
// only field and empty (an empty line reads as no record). Bytes are written as they are.
void append_csv_record(const CsvRecord& fields, std::string& out);
void append_csv_record(const std::string_view* fields, size_t count, std::string& out);

struct CsvText {
  std::vector<CsvRecord> records;
  size_t faults = 0;  // places where the text broke the format (see parse_csv)
};

// The records of `text`; a UTF-8 byte-order mark at its start is skipped. A record ends at LF,
// CR LF or a lone CR outside quotes, or at the end of the text; an empty line is no record. A
// field that begins with '"' is quoted: it runs to the next '"' that is not doubled, across
// commas and line breaks, and "" in it reads as one '"'.
// A malformed text still gives records, each byte read once, and counts a fault for each of:
//   - a '"' inside an unquoted field: kept as a byte;
//   - bytes between a closing quote and the next ',' or record end: appended to the field;
//   - a quoted field still open at the end of the text: it holds the rest of the text.
CsvText parse_csv(std::string_view text);

}  // namespace volari
