// The measure rig for this machine's build: the program finds the simulated
// library through LD_LIBRARY_PATH and opens the pseudo-terminal by its path.
#include <filesystem>

#include "tests/measure_rig.h"

namespace vextal::test {

namespace fs = std::filesystem;

struct MeasureRig::Platform {};

MeasureRig::MeasureRig() : platform_(std::make_unique<Platform>()), port_(pty_.path) {}

MeasureRig::~MeasureRig() = default;

std::string MeasureRig::library_name() {
    return "libftd2xx.so";
}

std::string MeasureRig::unopenable_port() const {
    return (scratch_.path() / "no-such-port").string();
}

RunResult MeasureRig::run(const std::vector<std::string>& args, const std::string& scenario,
                          Library library) const {
    scratch_.write("scenario", scenario);
    fs::path library_dir;
    switch (library) {
        case Library::simulated:
            library_dir = VEXTAL_FAKE_D2XX_DIR;
            break;
        case Library::partial:
            library_dir = VEXTAL_FAKE_D2XX_PARTIAL_DIR;
            break;
        case Library::not_a_library:
            scratch_.write("broken/" + library_name(), "not a library");
            library_dir = scratch_.path() / "broken";
            break;
        case Library::absent:
            // An empty folder first; the loader's own search follows, which
            // finds nothing on a machine without the real library.
            library_dir = scratch_.path() / "empty";
            fs::create_directories(library_dir);
            break;
    }
    return box_.run(args, {"LD_LIBRARY_PATH=" + library_dir.string(),
                           "VEXTAL_FAKE_D2XX_SCENARIO=" + scenario_file().string(),
                           "VEXTAL_FAKE_D2XX_LOG=" + log_file().string()});
}

}  // namespace vextal::test
