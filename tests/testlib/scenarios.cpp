// The scenarios of the whole-program transcripts in tests/golden/.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

#include "testlib/golden.h"
#include "testlib/mkcache_runner.h"

namespace volari::testing {
namespace {

namespace fs = std::filesystem;

// Settings that read cache/FAT.DB and convert into out/, with lines of `dir` and `option` added.
std::string ini(const std::string& dir = "", const std::string& option = "",
                const std::string& domain = "") {
  return "[DOS32]\nDIR=DIR\nOPTION=OPTION\nDOMAIN=DOMAIN\n[DIR]\nFATNAME=../cache/FAT.DB\n"
         "OUTDIR=out\nHISTORY=HISTORY.HTM\nLOG=LOG.TXT\n" +
         dir + "[OPTION]\nDOMAIN_EXT=.DOM\nIP_ADDRESS=00\nROOTHTML=INDEX.HTM\n" + option +
         "[DOMAIN]\n" + domain;
}

// A file of tests/golden/inputs/.
std::string input(const std::string& name) {
  std::ifstream in(VOLARI_SOURCE_DIR "/tests/golden/inputs/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every kind of entry on a few hosts, with the names and texts that the naming rules and the
// conversion treat specially.
std::string mixed() {
  return input("mixed.txt");
}

// An index of one page holding `pairs` (URL, cache file name), laid out as the hash library lays
// out a page: the offset table first, the items packed downward from the end.
std::string index_of(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string file(8192, '\0');
  file.replace(0, 16, std::string("\0\x06\x15\x61\0\0\0\2\0\0\x04\xD2\0\0\x10\0", 16));
  const auto le32 = [](size_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), 0}; };
  size_t top = 8192, slot = 4096 + 2;
  const auto place = [&](const std::string& item) {
    top -= item.size();
    file.replace(top, item.size(), item);
    file[slot] = char((top - 4096) & 0xFF), file[slot + 1] = char((top - 4096) >> 8);
    slot += 2;
  };
  for (const auto& [url, name] : pairs) {
    place(le32(0) + le32(url.size() + 1) + url + '\0');
    place(std::string(29, '\0') + le32(name.size() + 1) + name + '\0');
  }
  file[4096] = char(2 * pairs.size());
  return file;
}

std::vector<Scenario> make_scenarios() {
  std::vector<Scenario> all;
  // The sample cache with the demo's settings, twice: the page and the log grow.
  all.push_back({"examples", "examples", "", "examples", {{}, {}}});
  all.push_back({"examples-debug2-quiet", "examples", "", "examples", {{"-!2", "-v"}}});
  const std::vector<std::vector<std::string>> levels = {
      {"-t", "-!2"}, {"-t2"}, {"-t3", "-!1"}, {"-t4"}, {"-T7", "-r"}};
  all.push_back({"examples-test-levels", "examples", "", "examples", levels});
  const std::string incremental = "LAST_FROM=1\nLAST_TIME=1998/11/22 09:42\nHISTORYDATE=15\n";
  all.push_back({"examples-incremental", "examples", "", ini(incremental), {{"-!2"}}});
  const std::vector<std::vector<std::string>> hosts = {{"WWW.TENKI.example.or.jp", "-!1"},
                                                       {"dev.example.net", "x", "-v"}};
  all.push_back({"examples-target-host", "examples", "", ini(), hosts});
  // Naming rules off their defaults, and the history page in its other forms.
  all.push_back({"examples-short-names",
                 "examples",
                 "",
                 ini("HISTORYSET=1\nHISTORYPUT=4\nHISTORYDATE=5\n",
                     "DIR_MAX=8\nCGI_FILE=3\nCGI_NAME=CGI.HTM\nSKIP_URL=0\nSKIP_WWW=5\n"
                     "DOMAIN_DIR=8\nDOMAIN_FLG=1\nCAPITAL_DOMAIN=0\nSHIFTJIS=0\n",
                     "DOM00=.example.ne.jp\nDIR00=.ISP.NE\nDOM01=\nDIR01=X\nDOM03=.or.jp\n"
                     "DOM05=.com\nDIR05=.C.O.M\n"),
                 {{"-!1"}}});
  all.push_back({"examples-sub-dir",
                 "examples",
                 "",
                 ini("HISTORYSET=3\nHISTORYPUT=2\nHISTORYDATE=12\n",
                     "DOMAIN_SUB=SUB\nCGI_FILE=2\nDOMAIN_DIR=2\nIP_ADDRESS=\nDOMAIN_EXT=0\n"
                     "ROOTHTML=DEFAULT.HTM\nSKIP_URL=5\nCAPITAL_FILE=0\n"),
                 {{"-!1"}}});
  all.push_back({"examples-cut-names-no-log",
                 "examples",
                 "",
                 "[DOS32]\nDIR=D\nOPTION=O\n[D]\nFATNAME=cache/FAT.DB\nOUTDIR=out\\\nLOG=\n"
                 "HISTORYSET=3\n[O]\nCGI_FILE=1\nDOMAIN_DIR=4\nCAPITAL_DIR=0\nDIR_MAX=-1\n",
                 {{"-!1"}}});
  all.push_back({"examples-escape", "examples", "", "examples", {{"-!1"}}, "", 40});
  all.push_back({"examples-escape-first-poll", "examples", "", "examples", {{}}, "", 1});
  // Small caches for the corners of the rules.
  all.push_back({"mixed-debug3", mixed(), "", ini("HISTORYSET=3\nHISTORYPUT=1\n"), {{"-!3"}}});
  all.back().prepare = [](const TempDir& d) {
    d.write_file("secret.txt", "secret\n");
    d.write_file("cache/LONG.HTM", std::string(33000, 'a') + "\n<title>x\n");
  };
  // Local links to a page there, one whose cache file is missing, one found only in another case
  // (as a copy on Windows was), one whose cache file is a symbolic link (not copied), the page
  // itself, a path with dot segments, a host of Shift-JIS.
  all.push_back({"local-links",
                 "http://aa.bb/d/a.html - text=<a\\shref=b.html><a\\shref=c.html><a\\shref=e.html>"
                 "<a\\shref=g.html><a\\shref=a.html><a\\shref=x/../b.html><img\\ssrc=/y.gif>\\n\n"
                 "http://aa.bb/d/b.html - text=b\nhttp://aa.bb/d/c.html - nofile\n"
                 "http://aa.bb/d/e.html m0case.htm text=e\nhttp://aa.bb/d/g.html m0link.htm\n"
                 "http://\x83\x41.bb/f.html - text=<img\\ssrc=/y.gif><img\\ssrc=z.gif>\\n\n",
                 "",
                 ini("", "LOCAL_LINKS=1\n"),
                 {{}}});
  all.back().prepare = [](const TempDir& d) {
    fs::rename(d.file("cache/m0case.htm"), d.file("cache/M0CASE.HTM"));
    fs::remove(d.file("cache/m0link.htm"));
    fs::create_symlink("M0CASE.HTM", d.file("cache/m0link.htm"));
  };
  all.push_back({"mixed-defaults-in-cache-dir", mixed(), "", "", {{"-!1"}, {"-?"}}, "cache"});
  all.push_back({"big-endian-8k", mixed(), "--bsize 8192 -i --records 3", ini(), {{"-i", "-!3"}}});
  all.push_back({"big-endian-switch", mixed(), "-i --no-intkeys", ini(), {{"-!2"}}});
  // The manifest and the sites page, merged into the file of an earlier run: Shift-JIS names
  // and titles with markup, hosts in any case or with a port, rows of each status; a second run
  // of one host keeps the rest.
  all.push_back(
      {"manifest",
       "http://Zz.jp/b.html - text=<title>B<i>&amp;\"</title> mtime=1998-01-02T03:04:05\n"
       "http://u@zz.jp:80/\\x95\\x5c/\\x82\\xa0\\x85.html - text=<title>\\s\\x93\\xfa\\x96"
       "\\x7b\\s&amp;&lt;b&gt;&#x41;&#66;\\s&#0;&bogus;\\s\\x85\\s\\r\\n</title>\n"
       "http://zz.jp/a\\s#\".html - text=<title>caf\\xe9</title> charset=iso-8859-1\n"
       "http://a.b/1 - text=new\nhttp://a.b/2 - text=old mtime=@631152000\n"
       "http://h.b/\\xff - text=x\nhttp://zz.jp/q.cgi?x - text=c\nftp://f.b/x - text=f\n"
       "http://a.b/gone - nofile\n",
       "",
       ini("LAST_TIME=1997/01/01 00:00\n", "MANIFEST=1\n"),
       {{}, {"zz.jp"}}});
  all.back().prepare = [](const TempDir& d) {
    d.write_file("out/VOLARI.CSV",
                 "extra,status,url,title,kind,path\r\nx,converted,http://a.b/1,One\r\n"
                 "x,cgi,http://a.b/2,Old\r\nx,converted,http://a.b/2,Two\r\n,converted,,none\r\n"
                 "x,converted,http://h.b/\xFF,\xE3\x81\r\n"
                 "x,converted,http://a.b/old,caf\xC3\xA9\xE8\xA1\xA8,page,B/A.DOM/OLD.HTM\r\n");
  };
  const std::string history = "history 4\nhttp://a.b/1\nhttp://a.b/<2>\nftp://x\"y/\n";
  all.push_back(
      {"history-mode", history, "", ini(), {{"-hcache/NETSCAPE.HST", "-!3"}, {"-h", "-r"}}});
  // Files that are no index: page size 0 behind a good magic number, all zeros, cut inside the
  // header, and a little-endian index read with -i; page sizes above the buffer, not a power of
  // two and negative; a header of 8192-byte pages cut inside its second read, and after 15
  // bytes. Each is an error, and LAST_TIME stays.
  const char* bad[] = {"ZERO.DB",  "ALLZERO.DB", "CUT.DB",  "FAT.DB", "32768.DB",
                       "32512.DB", "NEG.DB",     "6000.DB", "15.DB"};
  Scenario unreadable{
      "index-unreadable", mixed(), "", "", {{}, {}, {}, {"-i"}, {}, {}, {}, {}, {}}};
  for (const char* name : bad) {
    std::string settings = ini("LAST_TIME=1997/01/01 00:00\n");
    unreadable.inis.push_back(settings.replace(settings.find("FAT.DB"), 6, name));
  }
  unreadable.prepare = [](const TempDir& d) {
    const std::string good = d.read_file("cache/FAT.DB");
    const auto sized = [&good](uint32_t page, size_t length) {
      std::string h = good.substr(0, 12) + std::string{0, 0, char(page >> 8), char(page)};
      return (h + std::string(length, '\0')).substr(0, length);
    };
    d.write_file("cache/ZERO.DB", good.substr(0, 12) + std::string(4, '\0') + good.substr(16));
    d.write_file("cache/ALLZERO.DB", std::string(8192, '\0'));
    d.write_file("cache/CUT.DB", good.substr(0, 100));
    d.write_file("cache/32768.DB", sized(32768, 4096));
    d.write_file("cache/32512.DB", sized(32512, 4096));
    d.write_file("cache/NEG.DB", sized(128, 4096));
    d.write_file("cache/6000.DB", sized(8192, 6000));
    d.write_file("cache/15.DB", sized(8192, 15));
  };
  all.push_back(unreadable);
  all.push_back({"missing-index", "", "", ini("FATNAME=nothing.db\n"), {{"-k"}, {"-r", "-!1"}}});
  all.push_back({"usage", "", "", "", {{"-?"}, {"-??", "/K"}, {"-x", "-", "/?"}}});
  all.push_back({"no-dos32-section", mixed(), "", "[DIR]\nFATNAME=x\n", {{"-!1"}}, "cache"});
  // Settings files, one per run, each shown by the settings trace.
  const std::string dos32 = "[DOS32]\nDIR=DIR\nOPTION=OPTION\nDOMAIN=DOMAIN\n";
  Scenario settings{"settings-files", "", "", "", {}};
  for (int i = 1; i <= 7; ++i)
    settings.inis.push_back(input("settings-files-" + std::to_string(i) + ".ini"));
  settings.inis.push_back("");
  settings.runs.assign(settings.inis.size(), {"-!1", "-t"});
  settings.prepare = [](const TempDir& d) { d.write_file("out/sub/.keep", ""); };
  all.push_back(settings);
  // Where the settings file is: beside the program, whatever OUTDIR does to the current
  // directory; not at all when the program's folder does not fit.
  const std::string stay = dos32 +
                           "[DIR]\nFATNAME=../cache/FAT.DB\nOUTDIR=out\nLOG=L.TXT\n"
                           "LAST_TIME=1997/03/29 12:34\n";
  all.push_back({"settings-bare-program-name", mixed(), "", stay, {{"-!1"}}, "out"});
  all.back().prepare = [](const TempDir& d) {
    d.write_file("out/VOLARI.INI", "[DIR]\nLOG=WRONG\n");
  };
  all.back().program = "vold32";
  all.push_back({"settings-relative-program-folder", "", "", "", {{"-!1", "-t"}}});
  all.back().prepare = [stay](const TempDir& d) { d.write_file("bin/VOLARI.INI", stay); };
  all.back().program = "bin/vold32";
  all.push_back({"settings-program-folder-too-long", "", "", stay, {{"-!1", "-t"}}});
  all.back().program = "/" + std::string(300, 'd') + "/vold32";
  const std::string deep = std::string(150, 'd') + "/" + std::string(150, 'e');
  all.push_back({"settings-outdir-too-long",
                 "",
                 "",
                 dos32 + "[DIR]\nOUTDIR=x\\\nLOG=L.TXT\n",
                 {{"-!1", "-t"}},
                 deep});
  all.back().prepare = [deep](const TempDir& d) { d.write_file(deep + "/x/.keep", ""); };
  // Each URL once: the stale copies of live records that a page scan meets on freed overflow
  // pages are not counted again; of several records of one URL the newest existing file wins.
  std::string many;
  for (int i = 1; i <= 3000; ++i) {
    many += "http://host" + std::to_string(i % 13) + ".example.com/dir" + std::to_string(i % 5) +
            "/page" + std::to_string(i) + ".html - text=x\n";
  }
  all.push_back({"each-url-once",
                 many,
                 "",
                 "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=FAT.DB\n",
                 {{"-v", "-t2"}},
                 "cache"});
  all.push_back({"each-url-once-newest-file",
                 "",
                 "",
                 "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=../cache/FAT.DB\nOUTDIR=../out\n",
                 {{"-!1"}},
                 "cache"});
  all.back().prepare = [](const TempDir& d) {
    d.write_file("cache/FAT.DB", index_of({{"http://a.b/x.html", "OLD.HTM"},
                                           {"http://a.b/x.html", "NEW.HTM"},
                                           {"http://a.b/x.html", "GONE.HTM"},
                                           {"http://a.b/y.html", "GONE.HTM"},
                                           {"http://a.b/y.html", "OLD.HTM"}}));
    d.write_file("cache/OLD.HTM", "old\n");
    d.write_file("cache/NEW.HTM", "new\n");
    const auto t = fs::last_write_time(d.file("cache/NEW.HTM"));
    fs::last_write_time(d.file("cache/OLD.HTM"), t - std::chrono::hours(24));
  };
  // Japanese names: UTF-8 on disk, a Japanese OUTDIR and FATNAME typed in UTF-8, cache files
  // whose names were lower-cased on their way from a Windows disk.
  all.push_back(
      {"japanese-names",
       "http://jp.example/%89%BF%8Ai%95%5C.html - text=<title>sjis</title>\n\n"
       "http://jp.example/%B2%C1%B3%CA.html - text=euc\n"
       "http://jp.example/\\x93\\xfa\\x96\\x7b/\\x95\\x5c.html - text=raw\n",
       "",
       "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=../../キャッシュ/FAT.DB\nOUTDIR=出力/古いウェブ\n"
       "LOG=記録.TXT\nHISTORY=HISTORY.HTM\nHISTORYSET=3\n",
       {{"-!2"}, {"--version"}, {"--help"}}});
  all.back().prepare = [](const TempDir& d) {
    d.write_file("出力/古いウェブ/.keep", "");
    fs::rename(d.file("cache"), d.file("キャッシュ"));
  };
  // Cache files whose names were lower-cased on their way from a Windows disk.
  all.push_back({"lower-cased-cache",
                 "http://jp.example/low.html M0LOW001.HTM text=lower\n"
                 "http://jp.example/two.html M0TWO001.HTM text=two\n",
                 "",
                 "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=../cache/fat.db\nOUTDIR=out\n",
                 {{"-!2"}}});
  all.back().prepare = [](const TempDir& d) {
    fs::rename(d.file("cache/FAT.DB"), d.file("cache/Fat.Db"));
    fs::rename(d.file("cache/M0LOW001.HTM"), d.file("cache/m0low001.htm"));
    // Two names that differ only in case: neither is taken.
    fs::rename(d.file("cache/M0TWO001.HTM"), d.file("cache/m0two001.htm"));
    d.write_file("cache/M0two001.HTM", "other");
  };
  // A settings file that cannot be rewritten (no settings file is that large): LAST_TIME is not
  // stored, and the run says so.
  all.push_back({"settings-not-stored",
                 "http://aa.bb/a.html - text=a\n",
                 "",
                 ini() + ";" + std::string(1 << 20, '-') + "\n",
                 {{"-v"}}});
  // Links planted below OUTDIR: a copy replaces a link or a hard link of its own name, a link in a
  // folder on the way fails the copy, the log and the history page are not written through one,
  // and a cached file that is a link is missing. Nothing outside is touched.
  all.push_back({"links-below-outdir",
                 "http://aa.bb/a.html - text=new-a\nhttp://aa.bb/b.html - text=new-b\n"
                 "http://cc.dd/c.html - text=new-c\nhttp://aa.bb/s.html LINK.HTM nofile\n",
                 "", ini("HISTORYSET=3\n")});
  all.back().prepare = [](const TempDir& d) {
    d.write_file("secret.txt", "secret\n");
    d.write_file("elsewhere/a", "old-a");
    d.write_file("elsewhere/b", "old-b");
    d.write_file("elsewhere/log", "");
    d.write_file("elsewhere/dd/.keep", "");
    d.write_file("out/BB/AA.DOM/.keep", "");
    fs::create_symlink("../secret.txt", d.file("cache/LINK.HTM"));
    fs::create_symlink("../../../elsewhere/a", d.file("out/BB/AA.DOM/A.HTML"));
    fs::create_hard_link(d.file("elsewhere/b"), d.file("out/BB/AA.DOM/B.HTML"));
    fs::create_symlink("../elsewhere/dd", d.file("out/DD"));
    fs::create_symlink("../elsewhere/log", d.file("out/LOG.TXT"));
    fs::create_symlink("../elsewhere/hist", d.file("out/HISTORY.HTM"));
  };
  all.back().inspect = [](const TempDir& d) {
    EXPECT_EQ(d.read_file("elsewhere/a") + d.read_file("elsewhere/b"), "old-aold-b");
    EXPECT_EQ(d.read_file("elsewhere/log"), "");
    EXPECT_FALSE(fs::exists(d.file("elsewhere/hist")) || fs::exists(d.file("elsewhere/dd/CC.DOM")));
  };
  // History mode with HISTORY_VISITS: both record layouts in both byte orders, written by the hash
  // library; ties, odd seconds, titles in each Japanese encoding, with markup, none; dates no byte
  // order makes plausible. Then the key at 0 and absent: the plain listing.
  Scenario hv{"history-visits", "", "", "", {}};
  for (const char* form : {"4le", "4be", "3le", "3be", "4le", "3be"}) {
    hv.runs.push_back({std::string("-h../") + form + "/NETSCAPE.HST", "-!1"});
    hv.inis.push_back(dos32 + "[DIR]\nOUTDIR=out\nHISTORY=H.HTM\nLOG=L.TXT\nHISTORYDATE=2\n" +
                      (hv.inis.size() < 4 ? "[OPTION]\nHISTORY_VISITS=1\n" : "") +
                      (hv.inis.size() == 4 ? "[OPTION]\nHISTORY_VISITS=0\n" : ""));
  }
  hv.prepare = [](const TempDir& d) {
    const std::string manifest = input("history-visits.txt");
    for (const std::string form : {"4le", "4be", "3le", "3be"})
      EXPECT_EQ(run_mkcache(d.file(form), manifest,
                            "--history=" + form.substr(0, 1) + (form[1] == 'b' ? " -i" : "")),
                0);
  };
  all.push_back(hv);
  // Odd lines, clamped numbers and odd dates in settings files, each shown by the settings trace.
  const std::string piece(68, 'k');  // after "DOMAIN_EXT=", the rest of a piece of a line
  Scenario odd{"settings-odd-lines", "", "", "", {}};
  odd.inis = {
      "\xEF\xBB\xBF[DOS32]\nDIR=DI\nOPTION=OPTION\n[DI]R] ; x\nFATNAME=a=b\nLOG=L.TXT\n"
      "LAST_FROM=99999999999\nLAST_TIME=1979/12/31 23:59\n[OPTION]\nDOMAIN_EXT=" +
          piece + "IP_ADDRESS=yes\nDOMAIN_SUB=" + piece +
          "[X]\nSKIP_WWW=+4\nROOTHTML=" + std::string(300, 'r') +
          "\nCGI_NAME=" + std::string(2000, 'c') + "\nSKIP_URL=- 5\n[OPTION]\nDIR_MAX=7\n",
      dos32 +
          "[DIR]\nLOG=L.TXT\nLAST_FROM=-99999999999\nLAST_TIME=1997/17/33 25:61\n"
          "[OPTION]\nSKIP_WWW=3\n[junk\nSKIP_URL=1\n[DOMAIN]\nDOM00=.x\nDIR00=whole value",
      dos32 + "[DIR]\nLOG=L.TXT\nLAST_TIME=1997\n[OPTION\nSKIP_WWW=3\n",
      dos32 + "[DIR]\nLOG=L.TXT\nLAST_TIME=1997-03-29 12:34\n"};
  odd.runs.assign(odd.inis.size(), {"-!1", "-t"});
  all.push_back(odd);
  // Arguments: patterns matched in name order (hidden files, no '.' directories, an over-long
  // one nothing), long ones cut on a character boundary; the last names the target host.
  const std::string a257(257, 'a');
  Scenario args{"command-line", "", "", "", {}};
  args.runs = {{"/T", "?.DAT", "*.none"},
               {"-t", "*.txt"},
               {"-t", "*.hid"},
               {"-t", "sub/*.txt"},
               {"-t", "x", std::string(270, '*') + ".none"},
               {"-t", a257 + "b\x82\xa0tail"},
               {"-" + a257 + "cde"},
               {"-t", "\x83\x41X"},
               {"-t", "aaa\x82"}};
  args.prepare = [](const TempDir& d) {
    for (const char* f :
         {"b.txt", "a.txt", "c.dat", ".x.hid", "sub/e.txt", "d.txt/.k", ".z.hid/.k"})
      d.write_file(f, "");
  };
  all.push_back(args);
  return all;
}

}  // namespace

const std::vector<Scenario>& golden_scenarios() {
  static const std::vector<Scenario> all = make_scenarios();
  return all;
}

const Scenario& golden_scenario(const std::string& name) {
  for (const Scenario& s : golden_scenarios()) {
    if (s.name == name) return s;
  }
  throw std::invalid_argument("no golden scenario " + name);
}

}  // namespace volari::testing
