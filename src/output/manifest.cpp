#include "output/manifest.h"

#include "output/csv.h"
#include "platform/cp932.h"

namespace volari {

namespace {

struct Column {
  const char* name;
  std::string ManifestRow::*field;
};

const Column kColumns[] = {
    {"url", &ManifestRow::url},
    {"status", &ManifestRow::status},
    {"path", &ManifestRow::path},
    {"kind", &ManifestRow::kind},
    {"title", &ManifestRow::title},
    {"time", &ManifestRow::time},
    {"size", &ManifestRow::size},
    {"content_type", &ManifestRow::content_type},
    {"charset", &ManifestRow::charset},
    {"encoding", &ManifestRow::encoding},
    {"cache_file", &ManifestRow::cache_file},
};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

void bad_text(unsigned char, std::string& out) {
  out += kReplacement;
}

void bad_percent(unsigned char c, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// Gives every byte of `text` that does not belong to a UTF-8 character to `bad`.
void make_valid_utf8(std::string& text, void (*bad)(unsigned char, std::string&)) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  size_t n = 0;
  while (i < text.size() && (n = utf8_char_length(s + i, text.size() - i)) != 0) i += n;
  if (i == text.size()) return;
  std::string out(text, 0, i);
  while (i < text.size()) {
    n = utf8_char_length(s + i, text.size() - i);
    if (n == 0) {
      bad(s[i++], out);
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  text = std::move(out);
}

// The path relative to OUTDIR with '/', the name the platform layer gives the file on Linux:
// '\\' is a separator where it is no second byte of a double-byte character.
std::string relative_path(std::string_view path, std::string_view out_directory) {
  if (!out_directory.empty() && path.substr(0, out_directory.size()) == out_directory) {
    path.remove_prefix(out_directory.size());
  }
  while (path.substr(0, 2) == ".\\") path.remove_prefix(2);
  const auto* s = reinterpret_cast<const unsigned char*>(path.data());
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size();) {
    if (s[i] < 0x80) {
      out += s[i] == '\\' ? '/' : path[i];
      ++i;
      continue;
    }
    const size_t n = sjis_char_length(s + i, path.size() - i);
    const char32_t c = cp932_to_unicode(s + i, n);
    if (c != 0) {
      append_utf8(c, out);
    } else {
      for (size_t k = 0; k < n; ++k) bad_percent(s[i + k], out);
    }
    i += n;
  }
  return out;
}

// UTF-8 of a Shift-JIS text; most are ASCII, and copied as they are.
std::string to_utf8(std::string_view sjis, void (*bad)(unsigned char, std::string&)) {
  for (const char c : sjis) {
    if (static_cast<unsigned char>(c) >= 0x80) return sjis_to_utf8(sjis, bad);
  }
  return std::string(sjis);
}

// A character reference at text[i] ('&'): its UTF-8 into `out` and its length, or 0.
size_t decode_reference(std::string_view text, size_t i, std::string& out) {
  static const struct {
    const char* name;
    char32_t c;
  } kNamed[] = {{"&amp;", '&'},  {"&lt;", '<'},    {"&gt;", '>'},
                {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", 0xA0}};
  for (const auto& e : kNamed) {
    const std::string_view name(e.name);
    if (text.substr(i, name.size()) == name) {
      append_utf8(e.c, out);
      return name.size();
    }
  }
  if (text.substr(i, 2) != "&#") return 0;
  size_t j = i + 2;
  const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
  if (hex) ++j;
  const size_t digits = j;
  uint32_t value = 0;
  for (; j < text.size() && j - digits < 8; ++j) {
    const char c = text[j];
    uint32_t d;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint32_t>(c - '0');
    } else if (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      d = static_cast<uint32_t>((c | 0x20) - 'a' + 10);
    } else {
      break;
    }
    value = value * (hex ? 16 : 10) + d;
  }
  if (j == digits || j >= text.size() || text[j] != ';') return 0;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  append_utf8(static_cast<char32_t>(value), out);
  return j + 1 - i;
}

// The title as a browser shows it: references decoded, white space runs one blank, trimmed.
std::string clean_title(std::string_view sjis) {
  const std::string text = to_utf8(sjis, bad_text);
  std::string decoded;
  for (size_t i = 0; i < text.size();) {
    const size_t n = text[i] == '&' ? decode_reference(text, i, decoded) : 0;
    if (n == 0) decoded += text[i++];
    i += n;
  }
  std::string out;
  bool blank = false;
  for (char c : decoded) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

void append_padded(unsigned value, size_t width, std::string& out) {
  char digits[16];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) out += digits[--n];
}

std::string iso_time(const DateTime& t) {
  std::string out;
  out.reserve(20);
  append_padded(t.year, 4, out);
  const unsigned rest[] = {t.month, t.day, t.hour, t.minute, t.second};
  const char before[] = "--T::";
  for (size_t i = 0; i < 5; ++i) {
    out += before[i];
    append_padded(rest[i], 2, out);
  }
  return out;
}

}  // namespace

const char* status_word(EntryStatus status) {
  switch (status) {
    case EntryStatus::converted:
      return "converted";
    case EntryStatus::missing:
      return "missing";
    case EntryStatus::not_http:
      return "not_http";
    case EntryStatus::cgi:
      return "cgi";
    case EntryStatus::before_last_time:
      return "before_last_time";
    case EntryStatus::other_host:
      return "other_host";
    case EntryStatus::copy_failed:
      return "copy_failed";
  }
  return "";
}

ManifestRow make_manifest_row(const ManifestEntry& e, std::string_view out_directory) {
  ManifestRow row;
  row.url = to_utf8(e.url, bad_percent);
  row.status = status_word(e.status);
  if (!e.out_path.empty()) {
    row.path = relative_path(e.out_path, out_directory);
    row.kind = e.page ? "page" : "image";
  }
  row.title = clean_title(e.title);
  if (e.time) row.time = iso_time(*e.time);
  if (e.size) row.size = std::to_string(*e.size);
  row.content_type = to_utf8(e.content_type, bad_text);
  row.charset = to_utf8(e.charset, bad_text);
  row.encoding = to_utf8(e.encoding, bad_text);
  row.cache_file = to_utf8(e.cache_file, bad_text);
  return row;
}

void record_entry(Manifest& manifest, const ManifestEntry& entry, std::string_view out_directory) {
  if (entry.url.empty()) return;  // a row no later run could find again
  ManifestRow row = make_manifest_row(entry, out_directory);
  const bool keeps_old =
      entry.status == EntryStatus::before_last_time || entry.status == EntryStatus::other_host;
  auto found = manifest.rows.find(row.url);
  if (found == manifest.rows.end()) {
    std::string url = row.url;
    manifest.rows.emplace(std::move(url), std::move(row));
  } else if (!keeps_old) {
    found->second = std::move(row);
  }
}

bool load_manifest(std::string_view text, Manifest& manifest) {
  CsvText csv = parse_csv(text);
  if (csv.records.empty()) return true;
  const CsvRecord& header = csv.records.front();
  std::vector<const Column*> columns(header.size(), nullptr);
  bool has_url = false;
  for (size_t j = 0; j < header.size(); ++j) {
    for (const Column& c : kColumns) {
      if (header[j] == c.name) columns[j] = &c;
    }
    has_url = has_url || (columns[j] && columns[j]->field == &ManifestRow::url);
  }
  if (!has_url) return false;
  for (size_t r = 1; r < csv.records.size(); ++r) {
    CsvRecord& record = csv.records[r];
    ManifestRow row;
    for (size_t j = 0; j < record.size() && j < columns.size(); ++j) {
      if (columns[j] == nullptr) continue;
      const bool is_url = columns[j]->field == &ManifestRow::url;
      make_valid_utf8(record[j], is_url ? bad_percent : bad_text);
      row.*(columns[j]->field) = std::move(record[j]);
    }
    if (row.url.empty()) continue;
    std::string url = row.url;
    manifest.rows.insert_or_assign(std::move(url), std::move(row));
  }
  return true;
}

std::string manifest_text(const Manifest& manifest) {
  std::string out = "\xEF\xBB\xBF";
  out.reserve(manifest.rows.size() * 160);
  std::string_view fields[kColumnCount];
  for (size_t j = 0; j < kColumnCount; ++j) fields[j] = kColumns[j].name;
  append_csv_record(fields, kColumnCount, out);
  for (const auto& [url, row] : manifest.rows) {
    for (size_t j = 0; j < kColumnCount; ++j) fields[j] = row.*(kColumns[j].field);
    append_csv_record(fields, kColumnCount, out);
  }
  return out;
}

}  // namespace volari
