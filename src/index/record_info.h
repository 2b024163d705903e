// What a cache index record says beyond the cache file's name: the content type and the charset
// the server sent. Record layout after the name (little-endian int32 each; a string is an int32
// length that counts its NUL, 0 when absent, then its bytes): int32 0, one byte, int32
// security_on; Navigator 3 (version 3) adds key size, secret size and a cipher string; then a
// certificate or security-info string, int32 method, and the strings post headers, content type,
// content encoding and charset.
#pragma once

#include <cstddef>
#include <cstdint>

namespace volari {

struct RecordInfo {
  char content_type[64] = {};  // cut to 63 bytes
  char charset[40] = {};       // cut to 39 bytes
};

// Reads the strings from a data item (`data`, `size` bytes of it lie in the page; the record's
// own size at its start bounds it too). A record too short for them, or of a layout this program
// does not know, gives empty texts.
RecordInfo read_record_info(const unsigned char* data, size_t size);

}  // namespace volari
