// What the measure tests need of the build under test, for one run: a serial
// port (a pseudo-terminal, under the name the program opens it by), the
// simulated USB library where the program looks for it, the scenario for the
// library and its call log. measure_rig_posix.cpp serves this machine's
// build; measure_rig_wine.cpp the Windows build, run under wine from here.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/pty.h"

namespace vextal::test {

/// The library the program finds where it looks for the USB library.
enum class Library {
    simulated,      ///< the simulated library
    partial,        ///< a library of that name that lacks most functions
    not_a_library,  ///< a file of that name that is no library
    absent,         ///< nothing of that name
};

class MeasureRig {
  public:
    MeasureRig();
    ~MeasureRig();
    MeasureRig(const MeasureRig&) = delete;
    MeasureRig& operator=(const MeasureRig&) = delete;

    /// The name of this run's port, for -sp.
    const std::string& port() const { return port_; }
    /// The pseudo-terminal behind port().
    const Pty& pty() const { return pty_; }
    /// A port name that leads nowhere.
    std::string unopenable_port() const;
    /// Runs the program in box() with these arguments; the library runs the
    /// scenario (see fake_d2xx/sim.h).
    RunResult run(const std::vector<std::string>& args, const std::string& scenario,
                  Library library = Library::simulated) const;
    /// Whether the program loaded the simulated library.
    bool loaded() const;
    /// The simulated library's calls, one line each, "load" first.
    std::vector<std::string> log() const;
    /// The folder the program runs in.
    const Sandbox& box() const { return box_; }
    /// The library's name as the program's messages give it.
    static std::string library_name();

  private:
    struct Platform;
    Pty pty_;
    Sandbox scratch_;  // scenario, log and the libraries, outside the program's folder
    Sandbox box_;
    std::unique_ptr<Platform> platform_;
    std::string port_;

    // Where the library reads the scenario from and writes its log to.
    std::filesystem::path scenario_file() const { return scratch_.path() / "scenario"; }
    std::filesystem::path log_file() const { return scratch_.path() / "log"; }
};

}  // namespace vextal::test
