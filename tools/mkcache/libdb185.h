// Berkeley DB 1.85 as shipped by Debian's libdb1-compat (libdb.so.2). The package has no header,
// so the few declarations needed are written here; the layout must match the library exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mkcache {

struct DBT {
  void* data;
  size_t size;
};

enum DBTYPE { DB_BTREE, DB_HASH, DB_RECNO };

struct DB {
  DBTYPE type;
  int (*close)(DB*);
  int (*del)(const DB*, const DBT*, unsigned int);
  int (*get)(const DB*, const DBT*, DBT*, unsigned int);
  int (*put)(const DB*, DBT*, const DBT*, unsigned int);
  int (*seq)(const DB*, DBT*, DBT*, unsigned int);
  int (*sync)(const DB*, unsigned int);
  void* internal;
  int (*fd)(const DB*);
};

struct HASHINFO {
  unsigned int bsize;
  unsigned int ffactor;
  unsigned int nelem;
  unsigned int cachesize;
  uint32_t (*hash)(const void*, size_t);
  int lorder;  // 1234, 4321, or 0 for the host's order
};

constexpr unsigned int kRFirst = 3;
constexpr unsigned int kRNext = 7;
constexpr unsigned int kRNoOverwrite = 8;

using DbOpenFn = DB* (*)(const char* file, int flags, int mode, DBTYPE type, const void* info);

// Loads libdb.so.2 once and returns its dbopen, or nullptr with `error` set.
DbOpenFn load_dbopen(std::string& error);

}  // namespace mkcache
