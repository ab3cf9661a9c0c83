// A library under the D2XX library's name that lacks all but one of the
// functions the program needs: the program must treat it as missing.
#include <cstdint>

extern "C" uint32_t FAKE_D2XX_API FT_ListDevices(void*, void*, uint32_t) {
    return 0;
}
