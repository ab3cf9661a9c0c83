// One wrapper per library function, passing arguments through and returning
// the library's status unchanged, and the discovery of the USI2.
#include <algorithm>
#include <cstring>

#include "stage/stage.h"

namespace vextal {

FT_HANDLE usi2_handle = nullptr;

namespace {

constexpr uint32_t kListNumberOnly = 0x80000000;
constexpr uint32_t kListByIndex = 0x40000000;
constexpr uint32_t kListAll = 0x20000000;
constexpr uint32_t kOpenBySerialNumber = 1;
constexpr uint32_t kOpenByDescription = 2;

// What a wrapper reports when there is no library to call: the library's
// own "device not found".
constexpr int kNoLibraryStatus = 2;

// Every description that is a contiguous piece of this text belongs to a USI2.
constexpr char kUsi2Description[] = "ELV USB-Schrittmotoren-Interface";

int status_result(FT_STATUS status) {
    return static_cast<int>(status);
}

// A by-index listing takes the index in its first, pointer-sized argument.
void* index_argument(uint32_t index) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(index));
}

bool is_usi2_description(const char* description) {
    return std::strstr(kUsi2Description, description) != nullptr;
}

// All descriptions in one listing; the library writes one per connected
// device, so the list must hold at least as many buffers as there are.
int list_all_descriptions(const D2xxFunctions& f, uint32_t index, UsbText& text) {
    std::array<UsbText, kDescriptionSlots> list{};
    std::array<void*, kDescriptionSlots + 1> pointers{};
    for (uint32_t i = 0; i < kDescriptionSlots; ++i) pointers[i] = list[i].data();
    uint32_t listed = 0;  // the count that comes with the list is not used
    FT_STATUS status = f.list_devices(pointers.data(), &listed, kListAll | kOpenByDescription);
    if (status != 0) return status_result(status);
    text = list[index];
    text.back() = '\0';
    return 0;
}

int list_one_description(const D2xxFunctions& f, uint32_t index, UsbText& text) {
    UsbText one{};
    FT_STATUS status =
        f.list_devices(index_argument(index), one.data(), kListByIndex | kOpenByDescription);
    if (status != 0) return status_result(status);
    text = one;
    text.back() = '\0';
    return 0;
}

}  // namespace

int usb_device_count(uint32_t& count) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    return status_result(f->list_devices(&count, nullptr, kListNumberOnly));
}

int usb_serial_number(uint32_t index, UsbText& text) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    FT_STATUS status =
        f->list_devices(index_argument(index), text.data(), kListByIndex | kOpenBySerialNumber);
    text.back() = '\0';
    return status_result(status);
}

int usb_description(uint32_t index, uint32_t device_count, UsbText& text) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    if (device_count <= kListAllLimit && index < kDescriptionSlots) {
        return list_all_descriptions(*f, index, text);
    }
    return list_one_description(*f, index, text);
}

int usb_open_by_serial(const char* serial, FT_HANDLE& handle) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    // The library takes the text through a non-const pointer but only reads it.
    return status_result(f->open_ex(const_cast<char*>(serial), kOpenBySerialNumber, &handle));
}

int usb_set_baud(FT_HANDLE handle, uint32_t rate) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    return status_result(f->set_baud_rate(handle, rate));
}

int usb_set_data_format(FT_HANDLE handle, uint8_t word_length, uint8_t stop_bits, uint8_t parity) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    return status_result(f->set_data_characteristics(handle, word_length, stop_bits, parity));
}

int usb_set_timeouts(FT_HANDLE handle, uint32_t read_ms, uint32_t write_ms) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    return status_result(f->set_timeouts(handle, read_ms, write_ms));
}

int usb_purge(FT_HANDLE handle, uint32_t mask) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    return status_result(f->purge(handle, mask));
}

int usb_read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t& received) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    return status_result(f->read(handle, buffer, count, &received));
}

int usb_write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t& sent) {
    const D2xxFunctions* f = d2xx_functions();
    if (f == nullptr) return kNoLibraryStatus;
    // The library takes the bytes through a non-const pointer but only reads them.
    return status_result(f->write(handle, const_cast<void*>(buffer), count, &sent));
}

int usb_find_usi2() {
    // A library that cannot be loaded counts as no device connected.
    if (d2xx_functions() == nullptr) return kUsi2NotFound;
    uint32_t count = 0;
    int status = usb_device_count(count);
    if (status != 0) return status;
    uint32_t examined = std::min(count, kMaxExaminedDevices);
    for (uint32_t index = 0; index < examined; ++index) {
        UsbText description{};
        status = usb_description(index, count, description);
        if (status != 0) return status;
        if (!is_usi2_description(description.data())) continue;
        UsbText serial{};
        status = usb_serial_number(index, serial);
        if (status != 0) return status;
        return usb_open_by_serial(serial.data(), usi2_handle);
    }
    return kUsi2NotFound;
}

}  // namespace vextal
