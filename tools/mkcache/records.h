// Byte layouts of the browser's cache index and global history records, and the cache file names
// it generates. Integers inside records are little-endian unless said otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mkcache {

// `int32 key_size | int32 strlen(url)+1 | url NUL | tail`; the tail is `int32 0`, or for a POST
// result `int32 16 | 16 bytes` (the MD5 of the post data). `url_len` replaces the length word.
std::string cache_key(const std::string& url, const std::string* post_digest,
                      std::optional<uint32_t> url_len);

struct CacheRecord {
  int version = 5;  // 3: Navigator 3, 5: Communicator 4
  uint32_t last_modified = 0;
  uint32_t last_accessed = 0;
  uint32_t expires = 0;
  uint32_t content_length = 0;
  std::string name;                  // cache file name, relative to the cache directory
  std::optional<uint32_t> name_len;  // replaces the name length word (normally size + 1)
  bool post = false;                 // method 1 and a post-headers string
  std::string content_type;          // empty: absent
  std::string content_encoding;
  std::string charset;
  size_t url_size = 0;  // the zero padding at the end is url_size + 20 bytes, as the browser wrote
};

// The whole data record; its first word holds its own size.
std::string cache_data(const CacheRecord& rec);

// Offsets the page reader relies on.
constexpr size_t kDataNameLenAt = 29;
constexpr size_t kDataNameAt = 33;

// Communicator 4 history data: last visit, first visit, visit count, flags in the writer's byte
// order (`big_endian`), then the title and its NUL.
std::string history_data4(uint32_t last, uint32_t first, uint32_t visits, uint32_t flags,
                          const std::string& title, bool big_endian);
// Navigator 3 history data: last visit, little-endian.
std::string history_data3(uint32_t last);

// The URL's extension with its dot ("" when none): the text after the last '.' of the last path
// segment, query and fragment removed, letters and digits only, at most `max_chars` of them.
std::string url_extension(const std::string& url, size_t max_chars);

// Windows form: 'M' + 7 characters of [0-9A-V] + upper-cased extension of at most 3 characters.
std::string windows_name(uint64_t serial, const std::string& url);
// Unix form: "XX/cache" + hex time, counter and pid + the extension as in the URL.
std::string unix_name(uint64_t serial, uint32_t time, const std::string& url);

// Deterministic filler bytes for generated content.
std::string generated_bytes(const std::string& seed, size_t size);
// Deterministic 16 bytes standing in for the MD5 of the post data.
std::string post_digest(const std::string& post_data);

// Escaping of --dump fields: bytes 0x00-0x1F, 0x7F and '\' are escaped (\\ \t \n \r \xHH), every
// other byte, Shift-JIS included, is printed as it is.
std::string escape_field(const std::string& bytes);

uint32_t get_le32(const std::string& s, size_t at);
void put_le32(std::string& s, uint32_t v);

}  // namespace mkcache
