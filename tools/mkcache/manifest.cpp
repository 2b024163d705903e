#include "manifest.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace mkcache {

void Options::fill_from(const Options& lower) {
  if (!bsize) bsize = lower.bsize;
  if (!ffactor) ffactor = lower.ffactor;
  if (!nelem) nelem = lower.nelem;
  if (!cachesize) cachesize = lower.cachesize;
  if (!lorder) lorder = lower.lorder;
  if (!records) records = lower.records;
  if (!intkeys) intkeys = lower.intkeys;
  if (!history) history = lower.history;
  if (!index) index = lower.index;
  if (!unix_names) unix_names = lower.unix_names;
  if (!time) time = lower.time;
}

bool parse_u32(const std::string& text, uint32_t& out) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFULL) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

static bool digits_at(const std::string& s, size_t at, size_t n, int& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

bool parse_time(const std::string& text, uint32_t& out) {
  if (!text.empty() && text[0] == '@') return parse_u32(text.substr(1), out);
  // YYYY-MM-DD?HH:MM:SS
  int y, mo, d, h, mi, s;
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
      (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':')
    return false;
  if (!digits_at(text, 0, 4, y) || !digits_at(text, 5, 2, mo) || !digits_at(text, 8, 2, d) ||
      !digits_at(text, 11, 2, h) || !digits_at(text, 14, 2, mi) || !digits_at(text, 17, 2, s))
    return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t < 0 || static_cast<long long>(t) > 0xFFFFFFFFLL) return false;
  out = static_cast<uint32_t>(t);
  return true;
}

static int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unescape(const std::string& text, std::string& out, std::string& error) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 >= text.size()) {
      error = "a lone '\\' at the end of \"" + text + "\"";
      return false;
    }
    const char c = text[++i];
    switch (c) {
      case '\\':
        out.push_back('\\');
        break;
      case 's':
        out.push_back(' ');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case '0':
        out.push_back('\0');
        break;
      case 'x': {
        const int hi = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
          error = "\\x needs two hex digits in \"" + text + "\"";
          return false;
        }
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default:
        error = std::string("unknown escape \\") + c + " in \"" + text + "\"";
        return false;
    }
  }
  return true;
}

static const char* const kOptionNames[] = {"bsize",  "ffactor", "nelem",   "cachesize",
                                           "lorder", "records", "intkeys", "history",
                                           "index",  "names",   "time"};

bool is_option_name(const std::string& word) {
  for (const char* n : kOptionNames)
    if (word == n) return true;
  return false;
}

static bool parse_switch(const std::string& value, bool& out) {
  if (value == "on" || value == "yes" || value == "1") {
    out = true;
  } else if (value == "off" || value == "no" || value == "0") {
    out = false;
  } else {
    return false;
  }
  return true;
}

bool set_option(Options& opt, const std::string& name, const std::string& value,
                std::string& error) {
  uint32_t n = 0;
  bool b = false;
  const bool numeric = parse_u32(value, n);
  if (name == "bsize") {
    // The library rounds any other size up to a power of two, so refuse instead of surprising.
    if (!numeric || n < 256 || n > 32768 || (n & (n - 1)) != 0) {
      error = "bsize must be a power of two from 256 to 32768: " + value;
      return false;
    }
    opt.bsize = n;
  } else if (name == "ffactor" || name == "nelem" || name == "cachesize") {
    if (!numeric) {
      error = name + " needs a number: " + value;
      return false;
    }
    (name == "ffactor" ? opt.ffactor : name == "nelem" ? opt.nelem : opt.cachesize) = n;
  } else if (name == "lorder") {
    if (!numeric || (n != 1234 && n != 4321)) {
      error = "lorder must be 1234 or 4321: " + value;
      return false;
    }
    opt.lorder = static_cast<int>(n);
  } else if (name == "records") {
    if (!numeric || (n != 3 && n != 5)) {
      error = "records must be 3 or 5: " + value;
      return false;
    }
    opt.records = static_cast<int>(n);
  } else if (name == "intkeys") {
    if (!parse_switch(value, b)) {
      error = "intkeys must be on or off: " + value;
      return false;
    }
    opt.intkeys = b;
  } else if (name == "history") {
    if (value == "off" || value == "0") {
      opt.history = 0;
    } else if (value == "3" || value == "4") {
      opt.history = value[0] - '0';
    } else {
      error = "history must be 3, 4 or off: " + value;
      return false;
    }
  } else if (name == "index") {
    if (value.empty() || value.find('\0') != std::string::npos) {
      error = "bad index file name";
      return false;
    }
    opt.index = value;
  } else if (name == "names") {
    if (value != "windows" && value != "unix") {
      error = "names must be windows or unix: " + value;
      return false;
    }
    opt.unix_names = value == "unix";
  } else if (name == "time") {
    if (!parse_time(value, n)) {
      error = "bad time (use @unixseconds or YYYY-MM-DD HH:MM:SS): " + value;
      return false;
    }
    opt.time = n;
  } else {
    error = "unknown option " + name;
    return false;
  }
  return true;
}

static std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    fields.push_back(line.substr(i, j - i));
    i = j;
  }
  return fields;
}

static bool is_date(const std::string& s) {
  int v;
  return s.size() == 10 && s[4] == '-' && s[7] == '-' && digits_at(s, 0, 4, v) &&
         digits_at(s, 5, 2, v) && digits_at(s, 8, 2, v);
}

static bool is_clock(const std::string& s) {
  int v;
  return s.size() == 8 && s[2] == ':' && s[5] == ':' && digits_at(s, 0, 2, v) &&
         digits_at(s, 3, 2, v) && digits_at(s, 6, 2, v);
}

// Reads the options of one entry from fields[1...].
static bool parse_entry_fields(const std::vector<std::string>& f, Entry& e, std::string& error) {
  std::string text;
  bool name_given = false;
  for (size_t i = 1; i < f.size(); ++i) {
    const std::string& raw = f[i];
    const size_t eq = raw.find('=');
    if (eq == std::string::npos) {
      if (raw == "post") {
        e.post = true;
      } else if (raw == "nofile") {
        e.nofile = true;
      } else if (name_given) {
        error = "a second cache file name: " + raw;
        return false;
      } else if (raw == "-") {
        name_given = true;
      } else {
        if (!unescape(raw, text, error)) return false;
        if (text.empty()) {
          error = "empty cache file name";
          return false;
        }
        e.name = text;
        name_given = true;
      }
      continue;
    }
    const std::string key = raw.substr(0, eq);
    std::string value = raw.substr(eq + 1);
    const bool is_time_key =
        key == "mtime" || key == "atime" || key == "expires" || key == "first" || key == "last";
    if (is_time_key && is_date(value) && i + 1 < f.size() && is_clock(f[i + 1]))
      value += " " + f[++i];
    if (!unescape(value, text, error)) return false;
    uint32_t n = 0;
    if (is_time_key) {
      if (!parse_time(text, n)) {
        error = "bad time for " + key + ": " + value;
        return false;
      }
      if (key == "mtime" || key == "last") e.mtime = n;
      if (key == "atime") e.atime = n;
      if (key == "expires") e.expires = n;
      if (key == "first") e.first = n;
    } else if (key == "file" || key == "text") {
      e.source = key == "file" ? Source::kFile : Source::kText;
      e.source_text = text;
    } else if (key == "gen") {
      if (!parse_u32(text, n)) {
        error = "gen needs a size: " + value;
        return false;
      }
      e.source = Source::kGenerated;
      e.generated_size = n;
    } else if (key == "name") {
      if (name_given || text.empty()) {
        error = "a second or empty cache file name: " + value;
        return false;
      }
      e.name = text;
      name_given = true;
    } else if (key == "post") {
      e.post = true;
      e.post_data = text;
    } else if (key == "urllen" || key == "namelen" || key == "visits" || key == "hflags") {
      if (!parse_u32(text, n)) {
        error = key + " needs a number: " + value;
        return false;
      }
      if (key == "urllen") e.url_len = n;
      if (key == "namelen") e.name_len = n;
      if (key == "visits") e.visits = n;
      if (key == "hflags") e.hflags = n;
    } else if (key == "type") {
      e.type = text;
    } else if (key == "encoding") {
      e.encoding = text;
    } else if (key == "charset") {
      e.charset = text;
    } else if (key == "title") {
      e.title = text;
    } else {
      error = "unknown entry option " + key;
      return false;
    }
  }
  return true;
}

bool parse_manifest(const std::string& text, const std::string& source_name, Manifest& out,
                    std::string& error) {
  size_t pos = 0;
  int line_no = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = split_fields(line);
    if (f.empty() || f[0][0] == '#') continue;
    std::string why;
    const std::string where = source_name + ":" + std::to_string(line_no) + ": ";
    if (f[0] == "delete") {
      Deletion d;
      d.line = line_no;
      if (f.size() != 2 || !unescape(f[1], d.url, why)) {
        error = where + (why.empty() ? "delete takes one URL" : why);
        return false;
      }
      out.deletions.push_back(d);
    } else if (is_option_name(f[0])) {
      std::string value, part;
      for (size_t i = 1; i < f.size(); ++i) {
        if (!unescape(f[i], part, why)) {
          error = where + why;
          return false;
        }
        value += (i > 1 ? " " : "") + part;
      }
      if (!set_option(out.options, f[0], value, why)) {
        error = where + why;
        return false;
      }
    } else {
      Entry e;
      e.line = line_no;
      if (!unescape(f[0], e.url, why) || !parse_entry_fields(f, e, why)) {
        error = where + why;
        return false;
      }
      if (e.url.empty()) {
        error = where + "empty URL";
        return false;
      }
      out.entries.push_back(std::move(e));
    }
  }
  return true;
}

}  // namespace mkcache
