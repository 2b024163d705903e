#include "libdb185.h"

#include <dlfcn.h>

namespace mkcache {

DbOpenFn load_dbopen(std::string& error) {
  static DbOpenFn fn = nullptr;
  if (fn) return fn;
  void* lib = dlopen("libdb.so.2", RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    const char* why = dlerror();
    error = std::string("cannot load libdb.so.2 (install libdb1-compat): ") + (why ? why : "?");
    return nullptr;
  }
  void* sym = dlsym(lib, "dbopen");
  if (!sym) sym = dlsym(lib, "__dbopen");
  if (!sym) {
    error = "libdb.so.2 exports no dbopen";
    return nullptr;
  }
  fn = reinterpret_cast<DbOpenFn>(sym);
  return fn;
}

}  // namespace mkcache
