// The measure rig for the Windows build, run under wine from this machine: the
// program and the library lie side by side in a folder of their own, where
// the standard DLL search looks first, and the port is a COM name of the wine
// prefix that leads to the pseudo-terminal.
#include <filesystem>

#include "tests/measure_rig.h"
#include "tests/wine_rig.h"

namespace vextal::test {

namespace fs = std::filesystem;

struct MeasureRig::Platform {
    explicit Platform(const std::string& device) : link(device) {}
    ComLink link;
};

MeasureRig::MeasureRig()
    : platform_(std::make_unique<Platform>(pty_.path)), port_(platform_->link.name()) {}

MeasureRig::~MeasureRig() = default;

std::string MeasureRig::library_name() {
    return "FTD2XX.dll";
}

std::string MeasureRig::unopenable_port() const {
    return "\\\\.\\COM" + std::to_string(kUnlinkedCom);
}

RunResult MeasureRig::run(const std::vector<std::string>& args, const std::string& scenario,
                          Library library) const {
    scratch_.write("scenario", scenario);
    const fs::path folder = scratch_.path() / "program";
    const fs::path dll = folder / library_name();
    fs::create_directories(folder);
    fs::copy_file(windows_bin() / "vextal.exe", folder / "vextal.exe",
                  fs::copy_options::overwrite_existing);
    fs::remove(dll);
    switch (library) {
        case Library::simulated:
            fs::copy_file(windows_fake_d2xx(), dll);
            break;
        case Library::partial:
            fs::copy_file(windows_fake_d2xx_partial(), dll);
            break;
        case Library::not_a_library:
            scratch_.write("program/" + library_name(), "not a library");
            break;
        case Library::absent:
            break;
    }
    return box_.run(windows_program(folder / "vextal.exe"), args,
                    {"VEXTAL_FAKE_D2XX_SCENARIO=" + windows_path(scenario_file()),
                     "VEXTAL_FAKE_D2XX_LOG=" + windows_path(log_file())});
}

}  // namespace vextal::test
