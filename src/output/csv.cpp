#include "output/csv.h"

namespace volari {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

bool needs_quotes(std::string_view field, bool only) {
  if (field.empty()) return only;
  if (is_blank(field.front()) || is_blank(field.back())) return true;
  if (field.substr(0, 3) == "\xEF\xBB\xBF") return true;  // else read as a byte-order mark
  for (const char c : field) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

void append_field(std::string_view field, bool only, std::string& out) {
  if (!needs_quotes(field, only)) {
    out += field;
    return;
  }
  out += '"';
  for (size_t i = 0;;) {
    const size_t q = field.find('"', i);
    out.append(field, i, q == std::string_view::npos ? std::string_view::npos : q + 1 - i);
    if (q == std::string_view::npos) break;
    out += '"';
    i = q + 1;
  }
  out += '"';
}

}  // namespace

void append_csv_record(const std::string_view* fields, size_t count, std::string& out) {
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += ',';
    append_field(fields[i], count == 1, out);
  }
  out += "\r\n";
}

void append_csv_record(const CsvRecord& fields, std::string& out) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    append_field(fields[i], fields.size() == 1, out);
  }
  out += "\r\n";
}

CsvText parse_csv(std::string_view text) {
  CsvText result;
  size_t i = 0;
  const size_t n = text.size();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;

  CsvRecord record;
  std::string field;
  bool started = false;  // bytes of the current record have been read
  auto end_field = [&] {
    record.push_back(std::move(field));
    field.clear();
  };
  auto end_record = [&] {
    if (started) {
      end_field();
      const size_t width = record.size();  // the next record is likely as wide
      result.records.push_back(std::move(record));
      record = CsvRecord();
      record.reserve(width);
    }
    started = false;
  };

  while (i < n) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      ++i;  // CR LF: the LF ends an empty line, which is no record
      end_record();
      continue;
    }
    started = true;
    if (c == ',') {
      end_field();
      ++i;
      continue;
    }
    if (c != '"') {
      // An unquoted field: up to the next separator.
      const size_t start = i;
      for (; i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n'; ++i) {
        if (text[i] == '"') ++result.faults;
      }
      field.append(text, start, i - start);
      continue;
    }
    ++i;
    bool closed = false;
    while (i < n) {
      const size_t q = text.find('"', i);
      if (q == std::string_view::npos) break;
      field.append(text, i, q - i);
      if (q + 1 < n && text[q + 1] == '"') {
        field += '"';
        i = q + 2;
        continue;
      }
      i = q + 1;
      closed = true;
      break;
    }
    if (!closed) {
      field.append(text, i, n - i);
      i = n;
      ++result.faults;
      continue;
    }
    if (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') ++result.faults;
  }
  end_record();
  return result;
}

}  // namespace volari
