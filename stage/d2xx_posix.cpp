#include <dlfcn.h>

#include "stage/d2xx.h"

namespace vextal {

namespace {

// "libftd2xx.so" on Linux, "libftd2xx.dylib" on macOS; the build names it.
constexpr char kLibraryName[] = VEXTAL_D2XX_LIBRARY;

D2xxSymbol lookup(void* library, const char* name) {
    // POSIX lets a function's address travel as the object pointer dlsym
    // returns; it is turned back into a function pointer here only.
    return reinterpret_cast<D2xxSymbol>(dlsym(library, name));
}

}  // namespace

bool d2xx_load(D2xxFunctions& table) {
    // By bare name, so that the ordinary search applies (LD_LIBRARY_PATH, the
    // loader cache); RTLD_NOW finds a broken library here rather than at the
    // first call, RTLD_LOCAL keeps its symbols out of the program's way.
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        d2xx_report(kLibraryName, reason != nullptr ? reason : "unknown reason");
        return false;
    }
    return d2xx_bind(table, library, lookup, kLibraryName);
}

}  // namespace vextal
