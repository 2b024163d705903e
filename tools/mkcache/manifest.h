// The mkcache manifest: settings and entries, parsed from text (syntax: README.md and main.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mkcache {

// Settings shared by command line and manifest; unset fields fall back to the browser's values.
struct Options {
  std::optional<unsigned> bsize;
  std::optional<unsigned> ffactor;
  std::optional<unsigned> nelem;
  std::optional<unsigned> cachesize;
  std::optional<int> lorder;    // 1234 or 4321
  std::optional<int> records;   // 3 or 5
  std::optional<bool> intkeys;  // the three INT_ keys
  std::optional<int> history;   // 0: cache index, 3: Navigator 3 form, 4: Communicator 4 form
  std::optional<std::string> index;
  std::optional<bool> unix_names;
  std::optional<uint32_t> time;  // default mtime of entries

  // Fills every unset field from `lower`.
  void fill_from(const Options& lower);
};

// Sets option `name` (directive word, or long option without "--") from its value text.
bool set_option(Options& opt, const std::string& name, const std::string& value,
                std::string& error);
bool is_option_name(const std::string& word);

enum class Source { kEmpty, kFile, kText, kGenerated };

struct Entry {
  int line = 0;
  std::string url;
  std::optional<std::string> name;  // unset: generated
  Source source = Source::kEmpty;
  std::string source_text;  // file path (relative to the manifest) or inline bytes
  size_t generated_size = 0;
  std::optional<uint32_t> mtime, atime, expires;
  std::optional<uint32_t> url_len, name_len;
  bool post = false;
  std::string post_data;
  bool nofile = false;
  std::string type, encoding, charset;
  // history records
  std::string title;
  std::optional<uint32_t> first;
  uint32_t visits = 1;
  uint32_t hflags = 1;
};

struct Deletion {
  int line = 0;
  std::string url;
};

struct Manifest {
  Options options;
  std::vector<Entry> entries;
  std::vector<Deletion> deletions;
};

// `source_name` only labels error messages ("NAME:LINE: ...").
bool parse_manifest(const std::string& text, const std::string& source_name, Manifest& out,
                    std::string& error);

// "@unixseconds", "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DDTHH:MM:SS" (local time under TZ).
bool parse_time(const std::string& text, uint32_t& out);
// Decimal or 0x-hexadecimal, 0 to 0xFFFFFFFF.
bool parse_u32(const std::string& text, uint32_t& out);
// Decodes \\ \s \t \n \r \0 \xHH.
bool unescape(const std::string& text, std::string& out, std::string& error);

}  // namespace mkcache
