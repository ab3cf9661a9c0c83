// The Windows build under test, seen from this machine: its programs, run
// under wine through the build's runner, and the COM names of its wine
// prefix, which lead to host devices through links in the prefix's
// dosdevices folder (com1 -> /dev/ttyS0, lower case).
#pragma once

#include <filesystem>
#include <string>

#include "tests/harness.h"

namespace vextal::test {

/// A Windows program started through the runner; its standard output ends
/// lines with CR LF.
Program windows_program(const std::filesystem::path& exe);
/// The folder of the Windows build's programs.
std::filesystem::path windows_bin();
/// The simulated USB library of the Windows build, and the one that lacks
/// most functions.
std::filesystem::path windows_fake_d2xx();
std::filesystem::path windows_fake_d2xx_partial();
/// A host path as a Windows program names it: wine's drive Z: is the root.
std::string windows_path(const std::filesystem::path& path);

/// The COM number that no ComLink ever takes: a name that leads nowhere.
constexpr int kUnlinkedCom = 39;

/// A COM name of the wine prefix that leads to `target` (a device, or a
/// path that names nothing) while this lives. Tests that run at the same
/// time get distinct numbers: each holds a lock on its number.
class ComLink {
  public:
    enum class Form {
        device,  ///< "\\.\COM<n>", n from 40: the form for every number
        dos,     ///< "COM<n>", n from 9 down to 2: the form Windows knows only below 10
        high,    ///< "COM<n>", n from 40: a short name that the program must widen
    };
    explicit ComLink(const std::filesystem::path& target, Form form = Form::device);
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    /// The name a Windows program opens the port by.
    const std::string& name() const { return name_; }

  private:
    int lock_ = -1;
    std::filesystem::path link_;
    std::string name_;
};

/// The link a COM number would have in the wine prefix.
std::filesystem::path com_link_path(int number);

}  // namespace vextal::test
