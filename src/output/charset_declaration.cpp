#include "output/charset_declaration.h"

#include <cstring>

namespace volari {

namespace {

enum Where : uint8_t {
  kText,
  kTagName,
  kComment,
  kAttrs,
  kAttrName,
  kAfterName,
  kBeforeValue,
  kValue
};
enum Tag : uint8_t { kMeta, kXml };
enum Attr : uint8_t { kOtherAttr, kCharsetAttr, kContentAttr, kEncodingAttr };
// Inside a value: looking for "charset", then "=", then the name; kDone ignores the rest.
enum Sub : uint8_t { kSeek, kAfterKey, kAfterEq, kName, kDone };

constexpr char kShiftJis[] = "Shift_JIS";

bool blank(unsigned c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

unsigned lower(unsigned c) {
  return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

void start_word(DeclarationScan& s, unsigned c) {
  s.word_length = 0;
  if (c) s.word[s.word_length++] = static_cast<char>(lower(c));
}

// A name longer than the buffer stops growing there, longer than any name looked for.
void add_to_word(DeclarationScan& s, unsigned c) {
  if (s.word_length < sizeof s.word) s.word[s.word_length++] = static_cast<char>(lower(c));
}

bool word_is(const DeclarationScan& s, const char* w) {
  const size_t n = std::strlen(w);
  return s.word_length == n && std::memcmp(s.word, w, n) == 0;
}

void name_attr(DeclarationScan& s) {
  s.attr = kOtherAttr;
  if (s.tag == kMeta && word_is(s, "charset")) s.attr = kCharsetAttr;
  if (s.tag == kMeta && word_is(s, "content")) s.attr = kContentAttr;
  if (s.tag == kXml && word_is(s, "encoding")) s.attr = kEncodingAttr;
}

void start_value(DeclarationScan& s, unsigned quote) {
  s.where = kValue;
  s.quote = static_cast<unsigned char>(quote);
  s.sub = s.attr == kContentAttr ? kSeek : s.attr == kOtherAttr ? kDone : kAfterEq;
  s.key = 0;
}

// One byte of a value; true when it ends a name that began in this text.
bool value_byte(DeclarationScan& s, unsigned c, bool ends, size_t i) {
  static const char key[] = "charset";
  switch (s.sub) {
    case kSeek:
      if (lower(c) == static_cast<unsigned char>(key[s.key])) {
        if (++s.key == 7) s.sub = kAfterKey;
      } else {
        s.key = lower(c) == 'c' ? 1 : 0;
      }
      return false;
    case kAfterKey:
      if (c == '=') {
        s.sub = kAfterEq;
      } else if (!blank(c)) {
        s.sub = kSeek;
        s.key = lower(c) == 'c' ? 1 : 0;
      }
      return false;
    case kAfterEq:
      if (ends || blank(c) || c == '"' || c == '\'') return false;
      if (c == ';' || c == '>') {
        s.sub = kSeek;
        s.key = 0;
        return false;
      }
      s.sub = kName;
      s.name_start = i;
      s.name_here = true;
      return false;
    case kName:
      if (!(ends || blank(c) || c == ';' || c == '"' || c == '\'' || c == '>')) return false;
      s.sub = kDone;
      return s.name_here;
    default:
      return false;
  }
}

// Advances over one byte; true when a name ended at it.
bool step(DeclarationScan& s, unsigned c, size_t i) {
  switch (s.where) {
    case kText:
      if (c == '<') {
        s.where = kTagName;
        start_word(s, 0);
      }
      return false;
    case kTagName:
      if (blank(c) || c == '/' || c == '>') {
        s.where = kText;
        if (c != '>' && (word_is(s, "meta") || word_is(s, "?xml"))) {
          s.where = kAttrs;
          s.tag = word_is(s, "meta") ? kMeta : kXml;
        }
      } else if (c == '<') {
        start_word(s, 0);
      } else {
        add_to_word(s, c);
        if (word_is(s, "!--")) {
          s.where = kComment;
          s.dashes = 0;
        } else if (s.word_length > 4) {
          s.where = kText;
        }
      }
      return false;
    case kComment:
      if (c == '>' && s.dashes >= 2) s.where = kText;
      s.dashes = c == '-' ? static_cast<uint8_t>(s.dashes < 2 ? s.dashes + 1 : 2) : 0;
      return false;
    case kAttrs:
    case kAfterName:
      if (c == '>') {
        s.where = kText;
      } else if (c == '=' && s.where == kAfterName) {
        s.where = kBeforeValue;
      } else if (!blank(c) && c != '/' && c != '?') {
        s.where = kAttrName;
        start_word(s, c);
      }
      return false;
    case kAttrName:
      if (c == '>') {
        s.where = kText;
      } else if (c == '=' || blank(c) || c == '/') {
        name_attr(s);
        s.where = c == '=' ? kBeforeValue : c == '/' ? kAttrs : kAfterName;
      } else {
        add_to_word(s, c);
      }
      return false;
    case kBeforeValue:
      if (c == '>') {
        s.where = kText;
      } else if (c == '"' || c == '\'') {
        start_value(s, c);
      } else if (!blank(c)) {
        start_value(s, 0);
        return value_byte(s, c, false, i);
      }
      return false;
    case kValue: {
      const bool ends = s.quote ? c == s.quote : blank(c) || c == '>';
      const bool found = value_byte(s, c, ends, i);
      if (ends) s.where = c == '>' && !s.quote ? kText : kAttrs;
      return found;
    }
    default:
      return false;
  }
}

}  // namespace

bool next_charset_declaration(DeclarationScan& scan, const unsigned char* text, size_t length,
                              size_t& pos, size_t& start, size_t& end) {
  if (pos == 0) scan.name_here = false;
  while (pos < length) {
    if (scan.where == kText) {
      // Most of a page is outside tags, and most tags are no declaration and no comment: only
      // one whose name may begin "meta", "?xml" or "!--" (or is cut by the end of the line) is
      // looked at.
      const void* lt = std::memchr(text + pos, '<', length - pos);
      if (!lt) {
        pos = length;
        return false;
      }
      pos = static_cast<const unsigned char*>(lt) - text;
      const unsigned next = pos + 1 < length ? lower(text[pos + 1]) : 'm';
      if (next != 'm' && next != '?' && next != '!') {
        ++pos;
        continue;
      }
    }
    const size_t i = pos++;
    if (step(scan, text[i], i)) {
      scan.name_here = false;
      start = scan.name_start;
      end = i;
      return true;
    }
  }
  return false;
}

size_t rewrite_charset_declarations(DeclarationScan& scan, Charset page, const unsigned char* line,
                                    size_t length, std::string& out) {
  if (page == Charset::other) return 0;
  const char* bytes = reinterpret_cast<const char*>(line);
  size_t pos = 0, copied = 0, start = 0, end = 0, replaced = 0;
  while (next_charset_declaration(scan, line, length, pos, start, end)) {
    bool same = end - start == sizeof kShiftJis - 1;
    for (size_t k = 0; same && k < end - start; ++k) {
      same = lower(line[start + k]) == lower(static_cast<unsigned char>(kShiftJis[k]));
    }
    if (same) continue;
    if (replaced++ == 0) out.clear();
    out.append(bytes + copied, start - copied);
    out.append(kShiftJis);
    copied = end;
  }
  if (replaced > 0) out.append(bytes + copied, length - copied);
  return replaced;
}

}  // namespace volari
