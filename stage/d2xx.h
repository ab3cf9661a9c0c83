// The D2XX library of the USB interface, loaded at run time: the few types of
// its interface, the table of the eight functions the stage driver calls, and
// the loader that fills that table.
#pragma once

#include <cstdint>

// The 32-bit Windows build of the library exports its functions with the
// __stdcall convention; every other build uses the platform's C convention.
#if defined(_WIN32) && !defined(_WIN64)
#define D2XX_API __stdcall
#else
#define D2XX_API
#endif

namespace vextal {

// The library's DWORD, ULONG and UCHAR are uint32_t, uint32_t and uint8_t on
// every platform; the declarations below use those directly.

/// Result of every library call; 0 is success.
using FT_STATUS = uint32_t;
/// An opened device.
using FT_HANDLE = void*;

/// The eight library functions the stage driver uses, resolved by name.
struct D2xxFunctions {
    FT_STATUS(D2XX_API* list_devices)(void* arg1, void* arg2, uint32_t flags);
    FT_STATUS(D2XX_API* open_ex)(void* arg1, uint32_t flags, FT_HANDLE* handle);
    FT_STATUS(D2XX_API* set_baud_rate)(FT_HANDLE handle, uint32_t baud);
    FT_STATUS(D2XX_API* set_data_characteristics)
    (FT_HANDLE handle, uint8_t word_length, uint8_t stop_bits, uint8_t parity);
    FT_STATUS(D2XX_API* set_timeouts)(FT_HANDLE handle, uint32_t read_ms, uint32_t write_ms);
    FT_STATUS(D2XX_API* purge)(FT_HANDLE handle, uint32_t mask);
    FT_STATUS(D2XX_API* read)(FT_HANDLE handle, void* buffer, uint32_t to_read, uint32_t* received);
    FT_STATUS(D2XX_API* write)
    (FT_HANDLE handle, void* buffer, uint32_t to_write, uint32_t* written);
};

/// The library's functions; the library is loaded on the first call. nullptr
/// when it cannot be loaded or lacks a function (reported once on stderr).
const D2xxFunctions* d2xx_functions();
/// Puts `table` in place of the library for the rest of the process (tests);
/// nullptr stands for a library that cannot be loaded.
void d2xx_use(const D2xxFunctions* table);

/// A library function as the platform hands it out, before it gets its type.
using D2xxSymbol = void (*)();
/// Finds a function by name in an opened library; nullptr when it is absent.
using D2xxLookup = D2xxSymbol (*)(void* library, const char* name);

/// Opens the platform's library and fills `table`; false, after reporting
/// why, when that fails. One implementation per platform.
bool d2xx_load(D2xxFunctions& table);
/// Fills `table` from an opened library; false, after reporting the first
/// missing function, when one is absent.
bool d2xx_bind(D2xxFunctions& table, void* library, D2xxLookup lookup, const char* library_name);
/// Writes "<library> could not be loaded: <reason>" to stderr as one line.
void d2xx_report(const char* library_name, const char* reason);

}  // namespace vextal
