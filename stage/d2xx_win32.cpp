#include <windows.h>

#include <array>
#include <cstdio>

#include "stage/d2xx.h"

namespace vextal {

namespace {

constexpr char kLibraryName[] = "FTD2XX.dll";

D2xxSymbol lookup(void* library, const char* name) {
    // GetProcAddress hands out every function under one type; the binder
    // gives each its own type back.
    return reinterpret_cast<D2xxSymbol>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace

bool d2xx_load(D2xxFunctions& table) {
    // By bare name, so that the standard DLL search order applies.
    HMODULE library = LoadLibraryA(kLibraryName);
    if (library == nullptr) {
        std::array<char, 32> reason{};
        std::snprintf(reason.data(), reason.size(), "error %lu",
                      static_cast<unsigned long>(GetLastError()));
        d2xx_report(kLibraryName, reason.data());
        return false;
    }
    return d2xx_bind(table, library, lookup, kLibraryName);
}

}  // namespace vextal
