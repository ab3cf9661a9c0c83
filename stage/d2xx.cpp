#include "stage/d2xx.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "common/console.h"

namespace vextal {

namespace {

// Longest reason shown: the loader's own text may be long, the report stays
// one readable line.
constexpr std::size_t kMaxReasonShown = 200;

bool load_tried = false;
const D2xxFunctions* active = nullptr;
D2xxFunctions loaded{};

template <class Function>
bool bind_one(void* library, D2xxLookup lookup, const char* library_name, const char* name,
              Function& slot) {
    D2xxSymbol symbol = lookup(library, name);
    if (symbol == nullptr) {
        std::array<char, 64> reason{};
        std::snprintf(reason.data(), reason.size(), "it has no function %s", name);
        d2xx_report(library_name, reason.data());
        return false;
    }
    // The platform hands out every function under one type; this gives it
    // back the type it was defined with.
    slot = reinterpret_cast<Function>(symbol);
    return true;
}

}  // namespace

const D2xxFunctions* d2xx_functions() {
    if (!load_tried) {
        load_tried = true;
        if (d2xx_load(loaded)) active = &loaded;
    }
    return active;
}

void d2xx_use(const D2xxFunctions* table) {
    load_tried = true;
    active = table;
}

bool d2xx_bind(D2xxFunctions& table, void* library, D2xxLookup lookup, const char* library_name) {
    auto bind = [&](const char* name, auto& slot) {
        return bind_one(library, lookup, library_name, name, slot);
    };
    D2xxFunctions t{};
    bool complete = bind("FT_ListDevices", t.list_devices) && bind("FT_OpenEx", t.open_ex) &&
                    bind("FT_SetBaudRate", t.set_baud_rate) &&
                    bind("FT_SetDataCharacteristics", t.set_data_characteristics) &&
                    bind("FT_SetTimeouts", t.set_timeouts) && bind("FT_Purge", t.purge) &&
                    bind("FT_Read", t.read) && bind("FT_Write", t.write);
    if (complete) table = t;
    return complete;
}

void d2xx_report(const char* library_name, const char* reason) {
    // Only the first line of the reason, and not too much of it.
    std::size_t length = std::strcspn(reason, "\r\n");
    if (length > kMaxReasonShown) length = kMaxReasonShown;
    console_puts(stderr, library_name);
    console_puts(stderr, " could not be loaded: ");
    console_write(stderr, reason, length);
    console_puts(stderr, "\n");
}

}  // namespace vextal
