// mkcache: writes Netscape cache index files (FAT.DB, index.db) with their cache files, and global
// history files (NETSCAPE.HST), through the real Berkeley DB 1.85 library, for tests; and dumps
// such files through the library's own seq().
//
//   mkcache [options] MANIFEST OUTDIR      write OUTDIR/FAT.DB and the cache files beside it
//   mkcache --dump [--history] FILE        print every pair seq() returns, one per line
//
// Options (each also a manifest directive "NAME VALUE"; the command line wins):
//   --bsize N, -b N      page size, a power of two from 256 to 32768       (4096)
//   --lorder N           1234 or 4321; -i is --lorder 4321                  (host order)
//   --records N          cache record version: 3 (Navigator 3), 5 (Communicator 4)    (5)
//   --intkeys on|off     write INT_DiskCacheSize, INT_DiskCacheNumber,
//                        INT_ExternalCacheNameString; --no-intkeys is off  (on)
//   --history[=4|3|off]  write a global history file instead: 4 Communicator 4 form (with
//                        title), 3 Navigator 3 form; bare --history is 4   (off)
//   --index NAME, -o     index file name inside OUTDIR       (FAT.DB, NETSCAPE.HST in history)
//   --names windows|unix generated names: M0GQR9J4.HTM or 0A/cache35A1B2C3001A2F4.html
//   --ffactor N --nelem N --cachesize N      HASHINFO (0, 0, 96K; history 64K: the browser's)
//   --time T             default mtime of entries           (@883612800, 1998-01-01 UTC)
//
// Manifest: one item per line; fields are separated by blanks; '#' first on a line makes a
// comment. Inside a field: \\ \s (space) \t \n \r \0 \xHH. A line whose first field is a
// directive word (the option names above, or "delete") is a directive; any other line is an entry:
//
//   URL [NAME|-] [file=PATH | text=BYTES | gen=SIZE] [mtime=T] [atime=T] [post[=DATA]] [nofile]
//       [urllen=N] [namelen=N] [type=T] [encoding=E] [charset=C] [expires=T]
//       [title=TEXT] [first=T] [visits=N] [hflags=N]       (history entries; last visit = mtime)
//   delete URL
//
// NAME is the cache file name relative to OUTDIR ('-' or none: generated). Content: file= is read
// relative to the manifest's directory, text= is inline, gen= is SIZE deterministic bytes, none
// is empty. T is @unixseconds or YYYY-MM-DD HH:MM:SS in local time (TZ). post adds the POST key
// tail (16 deterministic bytes from DATA, or from the URL). nofile keeps the index entry but
// writes no cache file. urllen/namelen force the length words of the key and data records.
// atime defaults to mtime. A later entry with the same key replaces the earlier one (as put()
// does). "delete URL" removes every key written for URL with del(), after all puts; cache files
// stay. The INT_ keys are put first, counting the entries that remain in the end.
// To start an entry URL with a directive word, escape its first byte (\x64elete).
//
// Dump lines (fields escaped: \\ \t \n \r \xHH for bytes below 0x20 and 0x7F; all other bytes raw):
//   URL<TAB>NAME            cache entry          POST<TAB>URL<TAB>NAME   POST key
//   INT<TAB>KEY<TAB>VALUE   INT_ key (number, or the text)
//   RAW<TAB>KEY<TAB>DATA    a pair of no known form (both escaped in full)
//   URL                     history entry (--history)
//
// Exit status 0 on success, 1 on any error (message on stderr), 2 on a usage error.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "libdb185.h"
#include "manifest.h"
#include "records.h"

namespace mkcache {
namespace {

constexpr uint32_t kDefaultTime = 883612800;  // 1998-01-01 00:00:00 UTC

struct Failure {
  std::string message;
};

[[noreturn]] void fail(const std::string& message) {
  throw Failure{message};
}

std::string errno_text() {
  return std::strerror(errno);
}

std::string read_whole_file(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) fail("cannot open " + path + ": " + errno_text());
  std::string data;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  const bool bad = std::ferror(f);
  std::fclose(f);
  if (bad) fail("cannot read " + path);
  return data;
}

void make_dirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    const std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      fail("cannot create directory " + part + ": " + errno_text());
  }
}

void write_cache_file(const std::string& path, const std::string& bytes, uint32_t mtime,
                      uint32_t atime) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fail("cannot create " + path + ": " + errno_text());
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      fail("cannot write " + path + ": " + errno_text());
    }
    done += static_cast<size_t>(n);
  }
  const struct timespec times[2] = {{static_cast<time_t>(atime), 0},
                                    {static_cast<time_t>(mtime), 0}};
  const bool timed = futimens(fd, times) == 0;
  const int timed_errno = errno;
  if (close(fd) != 0) fail("cannot write " + path + ": " + errno_text());
  errno = timed_errno;
  if (!timed) fail("cannot set the times of " + path + ": " + errno_text());
}

// A name the file system would resolve outside OUTDIR cannot be written; the index may hold it.
bool stays_inside(const std::string& name) {
  if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

int host_lorder() {
  const uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1 ? 1234 : 4321;
}

class Database {
 public:
  Database(const std::string& path, int flags, const HASHINFO* info) : path_(path) {
    std::string error;
    DbOpenFn open_fn = load_dbopen(error);
    if (!open_fn) fail(error);
    errno = 0;
    db_ = open_fn(path.c_str(), flags, 0644, DB_HASH, info);
    if (!db_) fail("dbopen " + path + ": " + (errno ? errno_text() : "failed"));
  }
  ~Database() {
    if (db_) db_->close(db_);
  }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void put(const std::string& key, const std::string& data) {
    DBT k{const_cast<char*>(key.data()), key.size()};
    DBT d{const_cast<char*>(data.data()), data.size()};
    if (db_->put(db_, &k, &d, 0) != 0) fail("put into " + path_ + ": " + errno_text());
  }
  // Returns false when the key was not there.
  bool del(const std::string& key) {
    DBT k{const_cast<char*>(key.data()), key.size()};
    const int r = db_->del(db_, &k, 0);
    if (r < 0) fail("del in " + path_ + ": " + errno_text());
    return r == 0;
  }
  // Walks the pairs in the library's order; returns false at the end.
  bool seq(bool first, std::string& key, std::string& data) {
    DBT k{nullptr, 0}, d{nullptr, 0};
    const int r = db_->seq(db_, &k, &d, first ? kRFirst : kRNext);
    if (r < 0) fail("seq in " + path_ + ": " + errno_text());
    if (r != 0) return false;
    key.assign(static_cast<const char*>(k.data), k.size);
    data.assign(static_cast<const char*>(d.data), d.size);
    return true;
  }
  // close() writes everything out; sync() is never used, as it corrupts foreign-order files.
  void close() {
    DB* db = db_;
    db_ = nullptr;
    if (db->close(db) != 0) fail("close " + path_ + ": " + errno_text());
  }

 private:
  std::string path_;
  DB* db_ = nullptr;
};

std::string content_type_for(const std::string& url) {
  std::string ext = url_extension(url, 8);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".htm" || ext == ".html" || ext.empty()) return "text/html";
  if (ext == ".gif") return "image/gif";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".png") return "image/png";
  if (ext == ".txt") return "text/plain";
  if (ext == ".css") return "text/css";
  if (ext == ".js") return "application/x-javascript";
  return "application/octet-stream";
}

struct Prepared {
  const Entry* entry;
  std::string key;
  std::string data;
  uint32_t content_length;
};

std::string directory_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int run_write(const std::string& manifest_path, const std::string& outdir, const Options& cli) {
  Manifest m;
  std::string error;
  if (!parse_manifest(read_whole_file(manifest_path), manifest_path, m, error)) fail(error);
  Options opt = cli;
  opt.fill_from(m.options);
  const int history = opt.history.value_or(0);
  const unsigned bsize = opt.bsize.value_or(4096);
  const int lorder = opt.lorder.value_or(0);
  const int records = opt.records.value_or(5);
  const bool intkeys = opt.intkeys.value_or(true) && history == 0;
  const std::string index_name = opt.index.value_or(history ? "NETSCAPE.HST" : "FAT.DB");
  const bool unix_names = opt.unix_names.value_or(false);
  const uint32_t default_time = opt.time.value_or(kDefaultTime);
  const std::string base = directory_of(manifest_path);
  const bool big_endian_writer = (lorder ? lorder : host_lorder()) == 4321;

  make_dirs(outdir);
  const std::string index_path = outdir + "/" + index_name;

  std::vector<Prepared> items;
  std::set<std::string> used_names;
  for (const Entry& e : m.entries) {
    if (e.name) used_names.insert(*e.name);
  }
  for (size_t i = 0; i < m.entries.size(); ++i) {
    const Entry& e = m.entries[i];
    const std::string where = manifest_path + ":" + std::to_string(e.line) + ": ";
    const uint32_t mtime = e.mtime.value_or(default_time);
    const uint32_t atime = e.atime.value_or(mtime);
    Prepared p{&e, "", "", 0};
    if (history) {
      p.key = e.url + std::string(1, '\0');
      p.data = history == 3 ? history_data3(mtime)
                            : history_data4(mtime, e.first.value_or(mtime), e.visits, e.hflags,
                                            e.title, big_endian_writer);
      items.push_back(std::move(p));
      continue;
    }
    std::string content;
    switch (e.source) {
      case Source::kEmpty:
        break;
      case Source::kText:
        content = e.source_text;
        break;
      case Source::kGenerated:
        content = generated_bytes(e.url, e.generated_size);
        break;
      case Source::kFile: {
        const std::string& f = e.source_text;
        content = read_whole_file(!f.empty() && f[0] == '/' ? f : base + "/" + f);
        break;
      }
    }
    std::string name;
    if (e.name) {
      name = *e.name;
    } else {
      for (uint64_t serial = i;; serial += 1000003) {
        name = unix_names ? unix_name(serial, mtime, e.url) : windows_name(serial, e.url);
        if (used_names.insert(name).second) break;
      }
    }
    if (!e.nofile) {
      if (!stays_inside(name)) fail(where + "cache file name leaves OUTDIR (add nofile): " + name);
      if (name == index_name) fail(where + "cache file name is the index file: " + name);
      const size_t slash = name.rfind('/');
      if (slash != std::string::npos) make_dirs(outdir + "/" + name.substr(0, slash));
      write_cache_file(outdir + "/" + name, content, mtime, atime);
    }
    const std::string digest = post_digest(e.post_data.empty() ? e.url : e.post_data);
    p.key = cache_key(e.url, e.post ? &digest : nullptr, e.url_len);
    CacheRecord rec;
    rec.version = records;
    rec.last_modified = mtime;
    rec.last_accessed = atime;
    rec.expires = e.expires.value_or(0);
    rec.content_length = static_cast<uint32_t>(content.size());
    rec.name = name;
    rec.name_len = e.name_len;
    rec.post = e.post;
    rec.content_type = e.type.empty() ? content_type_for(e.url) : e.type;
    rec.content_encoding = e.encoding;
    rec.charset = e.charset;
    rec.url_size = e.url.size();
    p.data = cache_data(rec);
    p.content_length = rec.content_length;
    items.push_back(std::move(p));
  }

  // Keys to delete, and the entries that remain, for the INT_ counters.
  std::map<std::string, uint32_t> live;
  for (const Prepared& p : items) live[p.key] = p.content_length;
  std::vector<std::pair<const Deletion*, std::vector<std::string>>> deletions;
  for (const Deletion& d : m.deletions) {
    std::vector<std::string> keys;
    if (history) {
      keys.push_back(d.url + std::string(1, '\0'));
    } else {
      for (const Prepared& p : items)
        if (p.entry->url == d.url) keys.push_back(p.key);
      if (keys.empty()) keys.push_back(cache_key(d.url, nullptr, std::nullopt));
    }
    for (const std::string& k : keys) live.erase(k);
    deletions.emplace_back(&d, std::move(keys));
  }

  HASHINFO info{};
  info.bsize = bsize;
  info.ffactor = opt.ffactor.value_or(0);
  info.nelem = opt.nelem.value_or(0);
  info.cachesize = opt.cachesize.value_or(history ? 64 * 1024 : 96 * 1024);
  info.hash = nullptr;
  info.lorder = lorder;
  Database db(index_path, O_CREAT | O_TRUNC | O_RDWR, &info);
  if (intkeys) {
    uint32_t total = 0;
    for (const auto& kv : live) total += kv.second;
    std::string size_data, count_data;
    put_le32(size_data, total);
    put_le32(count_data, static_cast<uint32_t>(live.size()));
    db.put("INT_DiskCacheSize", size_data);
    db.put("INT_DiskCacheNumber", count_data);
    db.put("INT_ExternalCacheNameString", std::string("Netscape Internal Disk Cache", 29));
  }
  for (const Prepared& p : items) db.put(p.key, p.data);
  for (const auto& d : deletions) {
    bool any = false;
    for (const std::string& k : d.second) any = db.del(k) || any;
    if (!any)
      fail(manifest_path + ":" + std::to_string(d.first->line) +
           ": delete: not in the index: " + d.first->url);
  }
  db.close();
  return 0;
}

// One dump line for a cache index pair.
std::string cache_line(const std::string& key, const std::string& data) {
  if (key.compare(0, 4, "INT_") == 0) {
    std::string value;
    if (data.size() == 4) {
      value = std::to_string(get_le32(data, 0));
    } else {
      const size_t nul = data.find('\0');
      value = escape_field(nul == std::string::npos ? data : data.substr(0, nul));
    }
    return "INT\t" + escape_field(key) + "\t" + value + "\n";
  }
  const std::string raw = "RAW\t" + escape_field(key) + "\t" + escape_field(data) + "\n";
  if (key.size() < 9) return raw;
  const size_t url_end = key.find('\0', 8);
  if (url_end == std::string::npos) return raw;
  const std::string url = key.substr(8, url_end - 8);
  const std::string tail = key.substr(url_end + 1);
  bool post;
  if (tail == std::string(4, '\0')) {
    post = false;
  } else if (tail.size() == 20 && get_le32(tail, 0) == 16) {
    post = true;
  } else {
    return raw;
  }
  if (data.size() <= kDataNameAt) return raw;
  const size_t name_end = data.find('\0', kDataNameAt);
  if (name_end == std::string::npos) return raw;
  const std::string name = data.substr(kDataNameAt, name_end - kDataNameAt);
  return std::string(post ? "POST\t" : "") + escape_field(url) + "\t" + escape_field(name) + "\n";
}

std::string history_line(const std::string& key) {
  if (key.empty() || key.back() != '\0' || key.find('\0') != key.size() - 1)
    return "RAW\t" + escape_field(key) + "\t\n";
  return escape_field(key.substr(0, key.size() - 1)) + "\n";
}

int run_dump(const std::string& path, bool history) {
  Database db(path, O_RDONLY, nullptr);
  std::string key, data, out;
  for (bool first = true; db.seq(first, key, data); first = false) {
    out += history ? history_line(key) : cache_line(key, data);
    if (out.size() >= 65536) {
      if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) fail("cannot write output");
      out.clear();
    }
  }
  db.close();
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
    fail("cannot write output");
  return 0;
}

const char kUsage[] =
    "usage: mkcache [options] MANIFEST OUTDIR\n"
    "       mkcache --dump [--history] FILE\n"
    "options: --bsize N (-b)  --lorder 1234|4321 (-i: 4321)  --records 3|5\n"
    "         --intkeys on|off (--no-intkeys)  --history[=4|3|off]  --index NAME (-o)\n"
    "         --names windows|unix  --ffactor N  --nelem N  --cachesize N  --time T\n"
    "The manifest syntax is described in tools/mkcache/README.md.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "mkcache: %s\n%s", message.c_str(), kUsage);
  return 2;
}

int run(int argc, char** argv) {
  Options cli;
  bool dump = false;
  std::vector<std::string> args;
  std::string error;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      args.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
    } else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--dump") {
      dump = true;
    } else if (a == "--history") {
      cli.history = 4;
    } else if (a == "-i") {
      cli.lorder = 4321;
    } else if (a == "--no-intkeys") {
      cli.intkeys = false;
    } else {
      std::string name, value;
      if (a == "-b" || a == "-o") {
        name = a == "-b" ? "bsize" : "index";
      } else if (a.compare(0, 2, "--") == 0) {
        name = a.substr(2);
      } else {
        return usage_error("unknown option " + a);
      }
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return usage_error("option " + a + " needs a value");
      }
      if (!is_option_name(name)) return usage_error("unknown option " + a);
      if (!set_option(cli, name, value, error)) return usage_error(error);
    }
  }
  if (dump) {
    if (args.size() != 1) return usage_error("--dump takes one FILE");
    return run_dump(args[0], cli.history.value_or(0) != 0);
  }
  if (args.size() != 2) return usage_error("need MANIFEST and OUTDIR");
  return run_write(args[0], args[1], cli);
}

}  // namespace
}  // namespace mkcache

// The library keeps the buffers of big pairs until exit; under LeakSanitizer that is not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdb\n";
}

int main(int argc, char** argv) {
  try {
    return mkcache::run(argc, argv);
  } catch (const mkcache::Failure& f) {
    std::fprintf(stderr, "mkcache: %s\n", f.message.c_str());
    return 1;
  }
}
