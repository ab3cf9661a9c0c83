// Opens one port through the port table at 115200 baud and closes it again,
// reporting each step on standard output; the serial tests of the Windows
// build run it under wine against COM names that they link to devices.
//   port_probe <name>
// prints "open <result>", then "error none" or "error <code> <value> <text>"
// from the error record, then, if the port was opened, "state <rate>
// <data bits> <parity> <stop bits>" as the port holds them while open and
// "close <result>". Exit code 0 if the port was opened and closed, 1 if
// not, 2 on a wrong call.
#include <windows.h>

#include <cstdio>

#include "serial/port.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: port_probe <port name>\n", stderr);
        return 2;
    }
    using namespace vextal;
    int slot = port_open_default(argv[1], kBaud115200);
    std::printf("open %d\n", slot);
    if (g_driver_error.is_set) {
        std::printf("error %d %d %s\n", static_cast<int>(g_driver_error.code),
                    static_cast<int>(g_driver_error.value), g_driver_error.text.data());
    } else {
        std::printf("error none\n");
    }
    if (slot < 0) return 1;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(reinterpret_cast<HANDLE>(g_port_table[static_cast<std::size_t>(slot)].handle),
                 &dcb);
    std::printf("state %lu %u %u %u\n", static_cast<unsigned long>(dcb.BaudRate),
                static_cast<unsigned>(dcb.ByteSize), static_cast<unsigned>(dcb.Parity),
                static_cast<unsigned>(dcb.StopBits));
    int closed = port_close(slot);
    std::printf("close %d\n", closed);
    return closed == 0 ? 0 : 1;
}
