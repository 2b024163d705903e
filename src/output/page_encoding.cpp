#include "output/page_encoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "output/charset_declaration.h"

namespace volari {

namespace {

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trim(std::string_view s, bool quotes) {
  auto strip = [&](char c) { return blank(c) || c == '\0' || (quotes && (c == '"' || c == '\'')); };
  while (!s.empty() && strip(s.front())) s.remove_prefix(1);
  while (!s.empty() && strip(s.back())) s.remove_suffix(1);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// What a JIS X 0208 code (or one of its vendor extensions) stands for, and its weight.
enum Kind { kKana, kPunct, kKanji1, kSymbol, kKanji2, kRare, kUnassigned };
// Tuned on real text cut into one-line pages, where both readings are often valid. Shift-JIS
// half-width katakana weigh nothing: EUC-JP reads in Shift-JIS as runs of them, and so does
// katakana-only Shift-JIS text, which reads in EUC-JP as kanji.
constexpr int kWeight[] = {12, 6, 2, 1, -8, -12, -20};
constexpr int kSjisHalfWidthWeight = 0;
constexpr int kEucHalfWidthWeight = 2;  // 0x8E marks them: little Shift-JIS text reads so
constexpr int kEucKanaRunWeight = -4;   // such a 0x8E pair after another, read as Shift-JIS

bool in(int cell, int lo, int hi) {
  return cell >= lo && cell <= hi;
}

Kind jis_kind(int row, int cell) {
  switch (row) {
    case 1:
      return kPunct;
    case 2:
      return in(cell, 1, 14) || in(cell, 26, 33) || in(cell, 42, 48) || in(cell, 60, 74) ||
                     in(cell, 82, 89) || cell == 94
                 ? kSymbol
                 : kUnassigned;
    case 3:
      return in(cell, 16, 25) || in(cell, 33, 58) || in(cell, 65, 90) ? kSymbol : kUnassigned;
    case 4:
      return cell <= 83 ? kKana : kUnassigned;
    case 5:
      return cell <= 86 ? kKana : kUnassigned;
    case 6:
      return in(cell, 1, 24) || in(cell, 33, 56) ? kSymbol : kUnassigned;
    case 7:
      return in(cell, 1, 33) || in(cell, 49, 81) ? kSymbol : kUnassigned;
    case 8:
      return cell <= 32 ? kSymbol : kUnassigned;
    case 13:  // the NEC special characters that Windows pages use (circled digits...)
      return kSymbol;
    case 47:
      return cell <= 51 ? kKanji1 : kUnassigned;
    case 84:
      return cell <= 6 ? kKanji2 : kUnassigned;
    default:
      if (row >= 16 && row <= 46) return kKanji1;
      if (row >= 48 && row <= 83) return kKanji2;
      if (row >= 89 && row <= 92) return kRare;  // the IBM extensions, as NEC selected them
      return kUnassigned;
  }
}

// The kind of every code, rows and cells 1-94, at (row - 1) * 94 + cell - 1.
const uint8_t* kinds() {
  static const struct Table {
    uint8_t kind[94 * 94];
    Table() {
      for (int row = 1; row <= 94; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
          kind[(row - 1) * 94 + cell - 1] = static_cast<uint8_t>(jis_kind(row, cell));
        }
      }
    }
  } table;
  return table.kind;
}

// The score of one reading so far.
struct Tally {
  long long score = 0;
  size_t kana = 0;
  size_t wide = 0;

  void add_wide(const uint8_t* kind_of, int row, int cell) {
    const int kind = kind_of[(row - 1) * 94 + cell - 1];
    score += kWeight[kind];
    kana += kind == kKana;
    ++wide;
  }
};

// Past the ASCII bytes at p[i...], eight at a time.
size_t skip_ascii(const unsigned char* p, size_t i, size_t n) {
  for (uint64_t w; i + 8 <= n; i += 8) {
    std::memcpy(&w, p + i, 8);
    if (w & 0x8080808080808080ULL) break;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// Whether p[0..n-1] is valid Shift-JIS, and its tally. A character cut by the end is valid.
bool read_shift_jis(const unsigned char* p, size_t n, Tally& t) {
  const uint8_t* kind = kinds();
  bool after_8e = false;  // the last character was 0x8E and a byte of 0xA1-0xDF
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x80) {
      i = skip_ascii(p, i, n);
      after_8e = false;
    } else if (c >= 0xA1 && c <= 0xDF) {
      t.score += kSjisHalfWidthWeight;
      after_8e = false;
      ++i;
    } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      if (i + 1 == n) return true;
      const unsigned b = p[i + 1];
      if (b < 0x40 || b == 0x7F || b > 0xFC) return false;
      const bool even = b >= 0x9F;
      const int row = (c <= 0x9F ? (c - 0x81) * 2 + 1 : (c - 0xE0) * 2 + 63) + even;
      const int cell = even ? b - 0x9E : b <= 0x7E ? b - 0x3F : b - 0x40;
      const bool like_8e = c == 0x8E && b >= 0xA1 && b <= 0xDF;
      if (like_8e && after_8e) {
        t.score += kEucKanaRunWeight;
        ++t.wide;
      } else if (c >= 0xF0) {  // user-defined, then the IBM extensions
        t.score += kWeight[c >= 0xFA ? kRare : kUnassigned];
        ++t.wide;
      } else {
        t.add_wide(kind, row, cell);
      }
      after_8e = like_8e;
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool euc_byte(unsigned c) {
  return c >= 0xA1 && c <= 0xFE;
}

bool read_euc_jp(const unsigned char* p, size_t n, Tally& t) {
  const uint8_t* kind = kinds();
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x80) {
      i = skip_ascii(p, i, n);
    } else if (euc_byte(c)) {
      if (i + 1 == n) return true;
      if (!euc_byte(p[i + 1])) return false;
      t.add_wide(kind, c - 0xA0, p[i + 1] - 0xA0);
      i += 2;
    } else if (c == 0x8E) {
      if (i + 1 == n) return true;
      if (p[i + 1] < 0xA1 || p[i + 1] > 0xDF) return false;
      t.score += kEucHalfWidthWeight;
      i += 2;
    } else if (c == 0x8F) {  // JIS X 0212: none of it is in Shift-JIS
      for (size_t k = 1; k < 3; ++k) {
        if (i + k == n) return true;
        if (!euc_byte(p[i + k])) return false;
      }
      t.score += kWeight[kRare];
      ++t.wide;
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

void read_utf8(const unsigned char* p, size_t n, ByteReadings& r) {
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x80) {
      i = skip_ascii(p, i, n);
      continue;
    }
    const size_t size = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : 4;
    // The second byte's range excludes overlong forms, surrogates and codes past U+10FFFF.
    const unsigned lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (c < 0xC2 || c > 0xF4) {
      r.utf8 = false;
      return;
    }
    for (size_t k = 1; k < size; ++k) {
      if (i + k == n) return;
      const unsigned t = p[i + k];
      if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF)) {
        r.utf8 = false;
        return;
      }
    }
    i += size;
  }
}

bool jis_designation(const unsigned char* p, size_t n) {
  if (n >= 2 && p[0] == '(' && (p[1] == 'B' || p[1] == 'J' || p[1] == 'I')) return true;
  if (n >= 2 && p[0] == '$' && (p[1] == '@' || p[1] == 'B')) return true;
  return n >= 3 && p[0] == '$' && p[1] == '(' && std::strchr("DOPQ", p[2]) && p[2];
}

// A reading that the bytes are beyond doubt Japanese text in.
bool japanese_beyond_doubt(const ByteReadings& r, Charset guess) {
  if (guess == Charset::jis) return r.jis;
  if (r.utf8 || (guess != Charset::shift_jis && guess != Charset::euc_jp)) return false;
  const bool sjis = guess == Charset::shift_jis;
  const size_t kana = sjis ? r.sjis_kana : r.euc_kana;
  const size_t wide = sjis ? r.sjis_wide : r.euc_wide;
  return kana >= 16 && kana * 4 >= wide;
}

}  // namespace

const char* charset_label(Charset charset) {
  switch (charset) {
    case Charset::shift_jis:
      return "Shift_JIS";
    case Charset::euc_jp:
      return "EUC-JP";
    case Charset::jis:
      return "ISO-2022-JP";
    case Charset::other:
      return "other";
    default:
      return "unknown";
  }
}

Charset charset_by_name(std::string_view name) {
  static const struct {
    const char* name;
    Charset charset;
  } names[] = {
      {"shift_jis", Charset::shift_jis},
      {"shift-jis", Charset::shift_jis},
      {"x-sjis", Charset::shift_jis},
      {"sjis", Charset::shift_jis},
      {"ms_kanji", Charset::shift_jis},
      {"csshiftjis", Charset::shift_jis},
      {"windows-31j", Charset::shift_jis},
      {"cp932", Charset::shift_jis},
      {"euc-jp", Charset::euc_jp},
      {"x-euc-jp", Charset::euc_jp},
      {"cseucpkdfmtjapanese", Charset::euc_jp},
      {"iso-2022-jp", Charset::jis},
      {"csiso2022jp", Charset::jis},
  };
  name = trim(name, true);
  if (name.empty()) return Charset::unknown;
  for (const auto& n : names) {
    if (same_name(name, n.name)) return n.charset;
  }
  return Charset::other;
}

std::string_view content_type_charset(std::string_view type) {
  // Parameters follow the first ';'; a quoted value may hold ';'.
  size_t i = type.find(';');
  while (i < type.size()) {
    const size_t eq = type.find_first_of("=;", ++i);
    if (eq == std::string_view::npos || type[eq] == ';') {
      i = eq;
      continue;
    }
    const bool charset = same_name(trim(type.substr(i, eq - i), false), "charset");
    size_t begin = eq + 1;
    while (begin < type.size() && blank(type[begin])) ++begin;
    size_t end = type.find(';', begin);
    if (begin < type.size() && (type[begin] == '"' || type[begin] == '\'')) {
      end = type.find(type[begin], begin + 1);
      ++begin;
    }
    end = std::min(end, type.size());
    if (charset) return trim(type.substr(begin, end - begin), true);
    i = type.find(';', end);
  }
  return {};
}

std::string_view declared_charset_name(const unsigned char* page, size_t length) {
  DeclarationScan scan;
  size_t pos = 0, start = 0, end = 0;
  length = std::min(length, kDeclarationWindow);
  if (!next_charset_declaration(scan, page, length, pos, start, end)) return {};
  return std::string_view(reinterpret_cast<const char*>(page) + start, end - start);
}

ByteReadings read_bytes(const unsigned char* page, size_t length) {
  ByteReadings r;
  if (length == 0) return r;
  r.high = skip_ascii(page, 0, length) < length;
  for (const unsigned char* e = page; !r.jis_escape; ++e) {
    e = static_cast<const unsigned char*>(std::memchr(e, 0x1B, length - (e - page)));
    if (!e) break;
    r.jis_escape = jis_designation(e + 1, length - (e + 1 - page));
  }
  r.jis = !r.high;
  if (r.jis_escape) {
    r.shift_jis = r.euc_jp = r.utf8 = false;
  } else if (r.high) {
    Tally sjis, euc;
    r.shift_jis = read_shift_jis(page, length, sjis);
    r.euc_jp = read_euc_jp(page, length, euc);
    r.sjis_score = sjis.score;
    r.sjis_kana = sjis.kana;
    r.sjis_wide = sjis.wide;
    r.euc_score = euc.score;
    r.euc_kana = euc.kana;
    r.euc_wide = euc.wide;
    read_utf8(page, length, r);
  }
  return r;
}

Charset charset_from_bytes(const ByteReadings& r) {
  if (r.jis_escape) return r.jis ? Charset::jis : Charset::unknown;
  if (!r.high) return Charset::shift_jis;
  if (r.utf8 && !r.euc_jp) return Charset::other;  // a few EUC-JP kanji can be UTF-8 too
  if (r.shift_jis && r.euc_jp) {
    return r.euc_score > r.sjis_score ? Charset::euc_jp : Charset::shift_jis;
  }
  if (r.shift_jis) return Charset::shift_jis;
  return r.euc_jp ? Charset::euc_jp : Charset::unknown;
}

PageCharset decide_page_charset(std::string_view record_charset, std::string_view content_type,
                                const unsigned char* page, size_t length) {
  PageCharset declared{charset_by_name(record_charset), CharsetSource::server};
  if (declared.charset == Charset::unknown) {
    declared.charset = charset_by_name(content_type_charset(content_type));
  }
  if (declared.charset == Charset::unknown) {
    declared = {charset_by_name(declared_charset_name(page, length)), CharsetSource::page};
  }
  const ByteReadings r = read_bytes(page, length);
  const Charset guess = charset_from_bytes(r);
  const PageCharset from_bytes{guess, CharsetSource::bytes};
  switch (declared.charset) {
    case Charset::unknown:
      return from_bytes;
    case Charset::other:
      return japanese_beyond_doubt(r, guess) ? from_bytes : declared;
    default: {
      const bool fits = declared.charset == Charset::jis         ? r.jis
                        : declared.charset == Charset::shift_jis ? r.shift_jis
                                                                 : r.euc_jp;
      const int readings = r.jis + r.shift_jis + r.euc_jp + r.utf8;
      if (fits || readings != 1) return declared;
      return {r.jis         ? Charset::jis
              : r.shift_jis ? Charset::shift_jis
              : r.euc_jp    ? Charset::euc_jp
                            : Charset::other,
              CharsetSource::bytes};
    }
  }
}

}  // namespace volari
