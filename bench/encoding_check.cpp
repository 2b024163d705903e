// Corpus check of the page encoding decision and conversion (bench/encoding_corpus.sh builds and
// runs it). Reads UTF-8 text lines, keeps those that Shift-JIS, EUC-JP and ISO-2022-JP can all
// hold, makes pages of N lines in each encoding, with and without half-width katakana in every
// second line that has katakana, and counts pages decided wrongly and converted lines that differ
// from iconv's Shift-JIS of the source, beside the same count for the per-line rule (to_shiftjis).
//
//   encoding_check TEXT_FILE [LINES_PER_PAGE]
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "output/charset_declaration.h"
#include "output/jis.h"
#include "output/page_convert.h"
#include "output/page_encoding.h"
#include "testlib/iconv_text.h"

namespace {

using volari::Charset;

// glibc's converters; they must know both charsets.
std::string iconv_text(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "iconv has no %s to %s\n", from, to);
    std::exit(2);
  }
  iconv_close(cd);
  return volari::testing::iconv_text(from, to, in);
}

// Half-width forms of U+30A1 to U+30F6; empty where there is none.
const char* const kHalfKatakana[] = {
    "ｧ",  "ｱ",  "ｨ",  "ｲ",  "ｩ",  "ｳ",  "ｪ",  "ｴ", "ｫ",  "ｵ",  "ｶ",  "ｶﾞ", "ｷ",  "ｷﾞ", "ｸ",
    "ｸﾞ", "ｹ",  "ｹﾞ", "ｺ",  "ｺﾞ", "ｻ",  "ｻﾞ", "ｼ", "ｼﾞ", "ｽ",  "ｽﾞ", "ｾ",  "ｾﾞ", "ｿ",  "ｿﾞ",
    "ﾀ",  "ﾀﾞ", "ﾁ",  "ﾁﾞ", "ｯ",  "ﾂ",  "ﾂﾞ", "ﾃ", "ﾃﾞ", "ﾄ",  "ﾄﾞ", "ﾅ",  "ﾆ",  "ﾇ",  "ﾈ",
    "ﾉ",  "ﾊ",  "ﾊﾞ", "ﾊﾟ", "ﾋ",  "ﾋﾞ", "ﾋﾟ", "ﾌ", "ﾌﾞ", "ﾌﾟ", "ﾍ",  "ﾍﾞ", "ﾍﾟ", "ﾎ",  "ﾎﾞ",
    "ﾎﾟ", "ﾏ",  "ﾐ",  "ﾑ",  "ﾒ",  "ﾓ",  "ｬ",  "ﾔ", "ｭ",  "ﾕ",  "ｮ",  "ﾖ",  "ﾗ",  "ﾘ",  "ﾙ",
    "ﾚ",  "ﾛ",  "",   "ﾜ",  "",   "",   "ｦ",  "ﾝ", "ｳﾞ", "",   ""};

// The line with its katakana (and the long-vowel mark and middle dot) in half-width forms.
std::string half_width(const std::string& line, bool* changed) {
  std::string out;
  *changed = false;
  for (size_t i = 0; i < line.size();) {
    const unsigned char b0 = line[i];
    if (b0 == 0xE3 && i + 2 < line.size()) {
      const unsigned cp = (b0 & 0x0F) << 12 | (line[i + 1] & 0x3F) << 6 | (line[i + 2] & 0x3F);
      const char* half = cp >= 0x30A1 && cp <= 0x30F6 ? kHalfKatakana[cp - 0x30A1]
                         : cp == 0x30FC               ? "ｰ"
                         : cp == 0x30FB               ? "･"
                                                      : "";
      if (*half) {
        out += half;
        *changed = true;
        i += 3;
        continue;
      }
    }
    out += line[i++];
  }
  return out;
}

struct Corpus {
  const char* name;
  const char* encoding;  // iconv's name
  Charset charset;
  bool half;
  const char* lie;  // a Japanese charset the bytes are not in
};

struct Line {
  std::string bytes;  // in the corpus's encoding, with its LF
  std::string want;   // iconv's Shift-JIS of the source, with its LF
};

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s TEXT_FILE [LINES_PER_PAGE]\n", argv[0]);
    return 2;
  }
  const size_t per_page = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 40;
  if (per_page == 0) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::string> plain, halves;  // UTF-8 lines that every encoding can hold
  size_t read = 0, converted_to_half = 0, katakana_lines = 0;
  for (std::string line; std::getline(in, line); ++read) {
    bool ok = !line.empty();
    for (unsigned char c : line) ok = ok && (c >= 0x20 || c == '\t') && c != 0x7F;
    for (const char* e : {"SHIFT_JIS", "EUC-JP", "ISO-2022-JP"}) {
      ok = ok && !iconv_text("UTF-8", e, line).empty();
    }
    if (!ok) continue;
    bool changed = false;
    std::string half = half_width(line, &changed);
    // Every second line that has katakana gets it in half-width forms.
    if (changed && katakana_lines++ % 2 == 0) {
      ++converted_to_half;
    } else {
      half = line;
    }
    plain.push_back(line);
    halves.push_back(half);
  }
  std::printf("%zu lines read, %zu kept; %zu with half-width katakana; pages of %zu lines\n", read,
              plain.size(), converted_to_half, per_page);

  const Corpus corpora[] = {
      {"Shift-JIS", "SHIFT_JIS", Charset::shift_jis, false, "EUC-JP"},
      {"EUC-JP", "EUC-JP", Charset::euc_jp, false, "Shift_JIS"},
      {"ISO-2022-JP", "ISO-2022-JP", Charset::jis, false, "Shift_JIS"},
      {"Shift-JIS half-width", "SHIFT_JIS", Charset::shift_jis, true, "EUC-JP"},
      {"EUC-JP half-width", "EUC-JP", Charset::euc_jp, true, "Shift_JIS"},
      {"ISO-2022-JP-3 half-width", "ISO-2022-JP-3", Charset::jis, true, "Shift_JIS"},
  };
  std::printf("%-25s %7s %6s %6s %6s %6s %6s %6s %8s %8s %7s\n", "corpus", "lines", "pages",
              "wrong", "both", "lies", "latin1", "wrong", "old", "seconds", "MB/s");
  std::printf("%-25s %7s %6s %6s %6s %6s %6s %6s %8s %8s %7s\n", "", "", "", "decide", "valid",
              "caught", "caught", "lines", "wrong", "", "");
  int status = 0;
  for (const Corpus& corpus : corpora) {
    const std::vector<std::string>& source = corpus.half ? halves : plain;
    std::vector<Line> lines;
    for (const std::string& s : source) {
      Line line{iconv_text("UTF-8", corpus.encoding, s), iconv_text("UTF-8", "SHIFT_JIS", s)};
      if (line.bytes.empty() || line.want.empty()) continue;
      line.bytes += '\n';
      line.want += '\n';
      lines.push_back(std::move(line));
    }
    size_t pages = 0, wrong_pages = 0, both = 0, lies_caught = 0, latin_caught = 0;
    size_t wrong_lines = 0, old_wrong = 0, bytes = 0, shown = 0;
    double elapsed = 0;
    std::vector<unsigned char> out;
    std::string page, rewritten;
    for (size_t first = 0; first < lines.size(); first += per_page) {
      const size_t last = std::min(lines.size(), first + per_page);
      page.clear();
      for (size_t k = first; k < last; ++k) page += lines[k].bytes;
      const auto* p = reinterpret_cast<const unsigned char*>(page.data());
      ++pages;
      bytes += page.size();
      const auto start = std::chrono::steady_clock::now();
      const Charset got = volari::decide_page_charset("", "", p, page.size()).charset;
      volari::PageConversion state(got);
      volari::DeclarationScan scan;
      std::string converted;
      for (size_t k = first; k < last; ++k) {
        const std::string& b = lines[k].bytes;
        out.resize(b.size() + 1);
        const auto* line = reinterpret_cast<const unsigned char*>(b.data());
        const size_t n = volari::convert_page_line(state, line, b.size(), out.data());
        volari::rewrite_charset_declarations(scan, got, out.data(), n, rewritten);
        converted += rewritten;
      }
      elapsed += seconds_since(start);
      const volari::ByteReadings r = volari::read_bytes(p, page.size());
      both += r.shift_jis && r.euc_jp && r.high;
      // A page that the encoding left in ASCII (U+00A5 is 0x5C in EUC-JP) has no wrong decision.
      if (got != corpus.charset && (r.high || r.jis_escape)) {
        ++wrong_pages;
        if (shown++ < 3) {
          std::printf("  wrong page %zu: %s (Shift-JIS %s %lld, EUC-JP %s %lld)\n", pages,
                      volari::charset_label(got), r.shift_jis ? "valid" : "invalid", r.sjis_score,
                      r.euc_jp ? "valid" : "invalid", r.euc_score);
        }
      }
      size_t at = 0;
      for (size_t k = first; k < last; ++k) {
        const std::string& want = lines[k].want;
        wrong_lines += converted.compare(at, want.size(), want) != 0;
        at += want.size();
        const std::string& b = lines[k].bytes;
        out.resize(b.size() + 1);
        const size_t n = volari::to_shiftjis(reinterpret_cast<const unsigned char*>(b.data()),
                                             b.size(), out.data());
        old_wrong +=
            want.compare(0, std::string::npos, reinterpret_cast<char*>(out.data()), n) != 0;
      }
      // The same bytes under a lying Japanese declaration, and under a server's iso-8859-1.
      const std::string lie = "<meta charset=" + std::string(corpus.lie) + ">\n" + page;
      const auto* l = reinterpret_cast<const unsigned char*>(lie.data());
      lies_caught += volari::decide_page_charset("", "", l, lie.size()).charset == corpus.charset;
      latin_caught +=
          volari::decide_page_charset("iso-8859-1", "", p, page.size()).charset == corpus.charset;
    }
    if (wrong_pages || wrong_lines) status = 1;
    std::printf("%-25s %7zu %6zu %6zu %6zu %6zu %6zu %6zu %8zu %8.3f %7.1f\n", corpus.name,
                lines.size(), pages, wrong_pages, both, lies_caught, latin_caught, wrong_lines,
                old_wrong, elapsed, bytes / elapsed / 1e6);
  }
  return status;
}
