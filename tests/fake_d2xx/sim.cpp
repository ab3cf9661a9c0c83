#include "tests/fake_d2xx/sim.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <sstream>

namespace fake_d2xx {

namespace {

constexpr uint32_t kOk = 0;
constexpr uint32_t kInvalidHandle = 1;
constexpr uint32_t kDeviceNotFound = 2;
constexpr uint32_t kInvalidParameter = 6;

constexpr uint32_t kListNumberOnly = 0x80000000;
constexpr uint32_t kListSerialByIndex = 0x40000001;
constexpr uint32_t kListDescriptionByIndex = 0x40000002;
constexpr uint32_t kListAllDescriptions = 0x20000002;
constexpr std::size_t kTextBuffer = 64;

struct Device {
    std::string serial;
    std::string description;
};

// A "fail" or "status" directive.
struct Forced {
    std::string function;
    uint32_t status;
    int nth;  // 0: every call
    bool works;
};

struct SentCount {
    uint32_t count;
    int nth;
};

struct Bus {
    std::vector<Device> devices;
    std::vector<Forced> forced;
    std::vector<SentCount> sent;
    std::deque<std::vector<std::string>> replies;
    std::map<std::string, int> calls;
    std::deque<uint8_t> received;
    bool opened = false;
    std::vector<std::string> log;
};

Bus bus;
int device_token = 0;

// What the scenario says of one call.
struct Plan {
    bool work = true;
    bool forced = false;
    uint32_t status = kOk;
    int nth = 0;
};

Plan plan(const char* function) {
    Plan p;
    p.nth = ++bus.calls[function];
    for (const Forced& f : bus.forced) {
        if (f.function == function && (f.nth == 0 || f.nth == p.nth)) {
            p.work = f.works;
            p.forced = true;
            p.status = f.status;
            break;
        }
    }
    return p;
}

uint32_t outcome(const Plan& p, uint32_t own) {
    return p.forced ? p.status : own;
}

void note(const std::string& call, uint32_t status, const std::string& extra = "") {
    bus.log.push_back(call + " -> " + std::to_string(status) + extra);
}

std::string hex_bytes(const uint8_t* bytes, std::size_t n) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X", bytes[i]);
        if (i > 0) s += ' ';
        s += b;
    }
    return s;
}

std::string hex_flags(uint32_t flags) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", flags);
    return b;
}

bool is_open(void* handle) {
    return bus.opened && handle == &device_token;
}
std::string handle_name(void* handle) {
    return is_open(handle) ? "h" : "bad-handle";
}

// Copies as the library does: up to 64 bytes, a NUL only if there is room.
void hand_out(void* buffer, const std::string& text) {
    std::size_t n = std::min(text.size(), kTextBuffer);
    std::memcpy(buffer, text.data(), n);
    if (n < kTextBuffer) static_cast<char*>(buffer)[n] = '\0';
}

// Parameters of value 0x03 in a frame, after undoing the escapes.
int etx_parameters(const uint8_t* frame, std::size_t n) {
    if (n < 2 || frame[0] != 0x02) return 0;
    int k = 0;
    std::size_t i = 2;
    for (int p = 0; p < 2 && i < n; ++p) {
        uint8_t v = frame[i++];
        if (v == 0x05 && i < n) v = static_cast<uint8_t>(frame[i++] - 0x10);
        if (v == 0x03) ++k;
    }
    return k;
}

void queue_reply(const uint8_t* frame, std::size_t n) {
    std::vector<std::string> items{"ack"};
    if (!bus.replies.empty()) {
        items = bus.replies.front();
        bus.replies.pop_front();
    }
    int repeats = 1 + etx_parameters(frame, n);
    for (const std::string& item : items) {
        if (item == "ack" || item == "nak") {
            for (int r = 0; r < repeats; ++r) {
                bus.received.insert(
                    bus.received.end(),
                    {0x02, static_cast<uint8_t>(item == "ack" ? 0x06 : 0x15), 0x03});
            }
        } else if (item != "silence") {
            bus.received.push_back(static_cast<uint8_t>(std::strtoul(item.c_str(), nullptr, 16)));
        }
    }
}

bool valid_item(const std::string& item) {
    if (item == "ack" || item == "nak" || item == "silence") return true;
    return item.size() == 2 && std::isxdigit(static_cast<unsigned char>(item[0])) &&
           std::isxdigit(static_cast<unsigned char>(item[1]));
}

bool parse_line(const std::string& line, std::string& error) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word.empty() || word[0] == '#') return true;
    if (word == "device") {
        Device d;
        in >> d.serial;
        if (d.serial.empty()) return error = "device without serial number", false;
        std::string rest;
        std::getline(in, rest);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        d.description = rest;
        bus.devices.push_back(d);
    } else if (word == "reply") {
        std::vector<std::string> items;
        for (std::string item; in >> item;) {
            if (!valid_item(item)) return error = "bad reply item " + item, false;
            items.push_back(item);
        }
        bus.replies.push_back(items);
    } else if (word == "fail" || word == "status") {
        Forced f{"", 0, 0, word == "status"};
        if (!(in >> f.function >> f.status)) return error = "bad line: " + line, false;
        in >> f.nth;
        bus.forced.push_back(f);
    } else if (word == "sent") {
        SentCount s{0, 0};
        if (!(in >> s.count)) return error = "bad line: " + line, false;
        in >> s.nth;
        bus.sent.push_back(s);
    } else {
        return error = "unknown directive " + word, false;
    }
    return true;
}

}  // namespace

bool sim_configure(const std::string& scenario, std::string& error) {
    bus = Bus{};
    std::istringstream in(scenario);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!parse_line(line, error)) return false;
    }
    return true;
}

const std::vector<std::string>& sim_log() {
    return bus.log;
}

uint32_t sim_list_devices(void* arg1, void* arg2, uint32_t flags) {
    Plan p = plan("FT_ListDevices");
    const uint32_t count = static_cast<uint32_t>(bus.devices.size());
    std::string call = "FT_ListDevices(";
    std::string extra;
    uint32_t own = kOk;
    if (flags == kListNumberOnly) {
        call += std::string("count, ") + (arg2 != nullptr ? "ptr" : "null");
        if (p.work) {
            *static_cast<uint32_t*>(arg1) = count;
            extra = " count=" + std::to_string(count);
        }
    } else if (flags == kListSerialByIndex || flags == kListDescriptionByIndex) {
        uintptr_t index = reinterpret_cast<uintptr_t>(arg1);
        call += std::to_string(index) + ", buffer";
        if (p.work && index >= count) own = kDeviceNotFound;
        if (p.work && index < count) {
            const Device& d = bus.devices[index];
            const std::string& text = flags == kListSerialByIndex ? d.serial : d.description;
            hand_out(arg2, text);
            extra = " \"" + text + "\"";
        }
    } else if (flags == kListAllDescriptions) {
        auto* list = static_cast<char**>(arg1);
        uint32_t buffers = 0;
        while (list[buffers] != nullptr) ++buffers;
        call += "list of " + std::to_string(buffers) + ", " + (arg2 != nullptr ? "count" : "null");
        if (p.work) {
            if (buffers < count) {
                // The real library would write past the caller's list here.
                std::fprintf(stderr, "fake D2XX: %u descriptions for %u buffers\n", count, buffers);
                std::abort();
            }
            for (uint32_t i = 0; i < count; ++i) hand_out(list[i], bus.devices[i].description);
            if (arg2 != nullptr) *static_cast<uint32_t*>(arg2) = count;
            extra = " count=" + std::to_string(count);
        }
    } else {
        call += "?, ?";
        own = kInvalidParameter;
    }
    call += ", " + hex_flags(flags) + ")";
    uint32_t status = outcome(p, own);
    note(call, status, status == kOk ? extra : "");
    return status;
}

uint32_t sim_open_ex(void* arg1, uint32_t flags, void** handle) {
    Plan p = plan("FT_OpenEx");
    const char* serial = static_cast<const char*>(arg1);
    uint32_t own = kDeviceNotFound;
    if (p.work && flags == 1) {
        for (const Device& d : bus.devices) {
            if (d.serial == serial) own = kOk;
        }
        if (own == kOk) {
            *handle = &device_token;
            bus.opened = true;
        }
    }
    note("FT_OpenEx(\"" + std::string(serial) + "\", " + hex_flags(flags) + ", handle)",
         outcome(p, own));
    return outcome(p, own);
}

uint32_t sim_set_baud_rate(void* handle, uint32_t baud) {
    Plan p = plan("FT_SetBaudRate");
    uint32_t status = outcome(p, is_open(handle) ? kOk : kInvalidHandle);
    note("FT_SetBaudRate(" + handle_name(handle) + ", " + std::to_string(baud) + ")", status);
    return status;
}

uint32_t sim_set_data_characteristics(void* handle, uint8_t word_length, uint8_t stop_bits,
                                      uint8_t parity) {
    Plan p = plan("FT_SetDataCharacteristics");
    uint32_t status = outcome(p, is_open(handle) ? kOk : kInvalidHandle);
    note("FT_SetDataCharacteristics(" + handle_name(handle) + ", " + std::to_string(word_length) +
             ", " + std::to_string(stop_bits) + ", " + std::to_string(parity) + ")",
         status);
    return status;
}

uint32_t sim_set_timeouts(void* handle, uint32_t read_ms, uint32_t write_ms) {
    Plan p = plan("FT_SetTimeouts");
    uint32_t status = outcome(p, is_open(handle) ? kOk : kInvalidHandle);
    note("FT_SetTimeouts(" + handle_name(handle) + ", " + std::to_string(read_ms) + ", " +
             std::to_string(write_ms) + ")",
         status);
    return status;
}

uint32_t sim_purge(void* handle, uint32_t mask) {
    Plan p = plan("FT_Purge");
    bool open = is_open(handle);
    if (p.work && open && (mask & 1) != 0) bus.received.clear();
    uint32_t status = outcome(p, open ? kOk : kInvalidHandle);
    note("FT_Purge(" + handle_name(handle) + ", " + std::to_string(mask) + ")", status);
    return status;
}

uint32_t sim_read(void* handle, void* buffer, uint32_t to_read, uint32_t* received) {
    Plan p = plan("FT_Read");
    bool open = is_open(handle);
    std::string extra;
    if (p.work && open) {
        uint32_t n = std::min<uint32_t>(to_read, static_cast<uint32_t>(bus.received.size()));
        auto* out = static_cast<uint8_t*>(buffer);
        for (uint32_t i = 0; i < n; ++i) {
            out[i] = bus.received.front();
            bus.received.pop_front();
        }
        *received = n;
        extra = " got=" + hex_bytes(out, n);
    }
    uint32_t status = outcome(p, open ? kOk : kInvalidHandle);
    note("FT_Read(" + handle_name(handle) + ", " + std::to_string(to_read) + ")", status, extra);
    return status;
}

uint32_t sim_write(void* handle, void* buffer, uint32_t to_write, uint32_t* written) {
    Plan p = plan("FT_Write");
    bool open = is_open(handle);
    const auto* frame = static_cast<const uint8_t*>(buffer);
    std::string extra;
    if (p.work && open) {
        uint32_t sent = to_write;
        for (const SentCount& s : bus.sent) {
            if (s.nth == 0 || s.nth == p.nth) sent = s.count;
        }
        *written = sent;
        queue_reply(frame, to_write);
        extra = " sent=" + std::to_string(sent);
    }
    uint32_t status = outcome(p, open ? kOk : kInvalidHandle);
    note("FT_Write(" + handle_name(handle) + ", " + hex_bytes(frame, to_write) + ", " +
             std::to_string(to_write) + ")",
         status, extra);
    return status;
}

}  // namespace fake_d2xx
