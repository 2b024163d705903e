#include "records.h"

#include <cctype>
#include <cstdio>

namespace mkcache {

void put_le32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

static void put_be32(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t get_le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

static void put_string(std::string& s, const std::string& text) {
  if (text.empty()) {
    put_le32(s, 0);
    return;
  }
  put_le32(s, static_cast<uint32_t>(text.size() + 1));
  s += text;
  s.push_back('\0');
}

std::string cache_key(const std::string& url, const std::string* post_digest,
                      std::optional<uint32_t> url_len) {
  std::string tail;
  if (post_digest) {
    put_le32(tail, 16);
    tail += *post_digest;
  } else {
    put_le32(tail, 0);
  }
  std::string key;
  put_le32(key, static_cast<uint32_t>(8 + url.size() + 1 + tail.size()));
  put_le32(key, url_len ? *url_len : static_cast<uint32_t>(url.size() + 1));
  key += url;
  key.push_back('\0');
  key += tail;
  return key;
}

std::string cache_data(const CacheRecord& rec) {
  std::string d;
  put_le32(d, 0);  // total size, filled in below
  put_le32(d, static_cast<uint32_t>(rec.version));
  put_le32(d, rec.last_modified);
  put_le32(d, rec.last_accessed);
  put_le32(d, rec.expires);
  put_le32(d, rec.content_length);
  d.push_back('\0');  // is_netsite
  put_le32(d, 0);     // lock_date
  put_le32(d, rec.name_len ? *rec.name_len : static_cast<uint32_t>(rec.name.size() + 1));
  d += rec.name;
  d.push_back('\0');
  put_le32(d, 0);
  d.push_back('\1');
  put_le32(d, 0);  // security_on
  if (rec.version == 3) {
    put_le32(d, 0);  // key size
    put_le32(d, 0);  // secret size
    put_le32(d, 0);  // cipher
  }
  put_le32(d, 0);  // certificate / security info
  put_le32(d, rec.post ? 1 : 0);
  put_string(d, rec.post ? "Content-type: application/x-www-form-urlencoded\r\n" : "");
  put_string(d, rec.content_type);
  put_string(d, rec.content_encoding);
  put_string(d, rec.charset);
  d.push_back('\0');  // incomplete
  put_le32(d, rec.content_length);
  if (rec.version != 3) put_le32(d, 0);  // page services URL
  d.append(rec.url_size + 20, '\0');
  const uint32_t total = static_cast<uint32_t>(d.size());
  for (int i = 0; i < 4; ++i) d[i] = static_cast<char>((total >> (8 * i)) & 0xFF);
  return d;
}

std::string history_data4(uint32_t last, uint32_t first, uint32_t visits, uint32_t flags,
                          const std::string& title, bool big_endian) {
  std::string d;
  for (uint32_t v : {last, first, visits, flags}) {
    if (big_endian)
      put_be32(d, v);
    else
      put_le32(d, v);
  }
  d += title;
  d.push_back('\0');
  return d;
}

std::string history_data3(uint32_t last) {
  std::string d;
  put_le32(d, last);
  return d;
}

std::string url_extension(const std::string& url, size_t max_chars) {
  std::string path = url.substr(0, url.find_first_of("?#"));
  size_t start = 0;
  const size_t scheme = path.find("://");
  if (scheme != std::string::npos) {
    start = path.find('/', scheme + 3);
    if (start == std::string::npos) return "";
  }
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash >= start) start = slash + 1;
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return "";
  std::string ext = path.substr(dot + 1);
  if (ext.empty()) return "";
  for (char c : ext)
    if (!std::isalnum(static_cast<unsigned char>(c))) return "";
  return "." + ext.substr(0, max_chars);
}

std::string windows_name(uint64_t serial, const std::string& url) {
  // An odd multiplier is a bijection modulo 2^35, so distinct serials give distinct stems.
  const uint64_t v = (serial * 0x2F5A3C1B7ULL + 0x13579BDULL) & ((1ULL << 35) - 1);
  static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
  std::string name = "M";
  for (int i = 6; i >= 0; --i) name.push_back(digits[(v >> (5 * i)) & 31]);
  std::string ext = url_extension(url, 3);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name + ext;
}

std::string unix_name(uint64_t serial, uint32_t time, const std::string& url) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02X/cache%08X%03X%04X", static_cast<unsigned>(serial % 32),
                static_cast<unsigned>(time), static_cast<unsigned>(serial % 0x1000),
                static_cast<unsigned>(0x1000 + (serial / 0x1000) % 0xF000));
  return buf + url_extension(url, 5);
}

static uint64_t fnv1a(const std::string& s) {
  uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : s) h = (h ^ c) * 0x100000001B3ULL;
  return h;
}

std::string generated_bytes(const std::string& seed, size_t size) {
  uint64_t x = fnv1a(seed) ^ (size * 0x9E3779B97F4A7C15ULL);
  if (x == 0) x = 1;
  std::string out;
  out.reserve(size);
  while (out.size() < size) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    for (int i = 0; i < 8 && out.size() < size; ++i)
      out.push_back(static_cast<char>((x >> (8 * i)) & 0xFF));
  }
  return out;
}

std::string post_digest(const std::string& post_data) {
  std::string d;
  uint64_t h1 = fnv1a(post_data);
  uint64_t h2 = fnv1a("post:" + post_data);
  for (int i = 0; i < 8; ++i) d.push_back(static_cast<char>((h1 >> (8 * i)) & 0xFF));
  for (int i = 0; i < 8; ++i) d.push_back(static_cast<char>((h2 >> (8 * i)) & 0xFF));
  return d;
}

std::string escape_field(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace mkcache
