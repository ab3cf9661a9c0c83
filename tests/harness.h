// End-to-end test harness: runs the built vextal in a fresh folder and
// collects everything it produced.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace vextal::test {

using Args = std::vector<std::string>;

/// What load and cal print on their way: the reading, then the writing.
inline const std::string kLoading = "\nLoading Data...\n";
inline const std::string kProgress = kLoading + "Writing Data...\n";

/// `err` without its "Warning: " lines: what cal writes on standard error
/// besides the warnings of its table and its run.
inline std::string without_warnings(const std::string& err) {
    std::string rest;
    for (std::size_t start = 0; start < err.size();) {
        std::size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        if (err.compare(start, 9, "Warning: ") != 0) rest += err.substr(start, end - start);
        start = end;
    }
    return rest;
}

struct RunResult {
    int exit_code = -1;
    bool crashed = false;  ///< ended by a signal or an exception, not by exit
    std::string out;       ///< standard output, line ends as LF
    std::string err;       ///< standard error, line ends as LF
    std::string raw_out;   ///< standard output as written
    std::string raw_err;   ///< standard error as written
};

/// How to start a program under test: the words of the command before its
/// arguments (the program itself, or a runner and the program), and the line
/// end of its standard output.
struct Program {
    std::vector<std::string> command;
    std::string line_end;
};

/// Where run_attached connects the program's standard output and standard
/// error (both to the same one).
enum class Attach { terminal, pipe };

/// A fresh, empty folder that the program runs in; removed afterwards.
class Sandbox : public TempFolder {
  public:
    /// Runs vextal with `args` (the words after the program name) in the
    /// folder; `env` holds extra "NAME=value" entries for the child.
    RunResult run(const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {}) const;
    /// As run, with another program: out and err get LF line ends from the
    /// program's own.
    RunResult run(const Program& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {}) const;
    /// Runs vextal with both standard streams on one pseudo-terminal (in raw
    /// mode: the bytes as written) or one pipe; `out` holds what arrived.
    /// The locale variables LC_ALL, LC_CTYPE and LANG are only those in
    /// `env`. Honoured only where kCanAttach is true.
    RunResult run_attached(Attach where, const std::vector<std::string>& args,
                           const std::vector<std::string>& env) const;
};

/// The folder that holds the test programs and vextal itself.
std::filesystem::path program_folder();

/// Runs `program` with `args` in `dir`; platform-specific.
RunResult run_process(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& dir, const std::vector<std::string>& env);

/// run_attached's platform half.
RunResult run_attached_process(Attach where, const std::filesystem::path& program,
                               const std::vector<std::string>& args,
                               const std::filesystem::path& dir,
                               const std::vector<std::string>& env);
extern const bool kCanAttach;

/// Bytes a line end takes on this platform's standard output.
extern const char* const kConsoleLineEnd;

/// An entry for `Sandbox::run`'s `env` that is not passed on as a variable
/// but caps every file the program writes at `bytes`, as `ulimit -f` does
/// (SIGXFSZ at its default action), so that a write fails as on a full disk.
/// Honoured only where kCanLimitFileSize is true.
std::string file_size_limit(unsigned long bytes);
extern const bool kCanLimitFileSize;
/// How run_process tells file_size_limit's entries from real variables.
inline constexpr char kFileSizeLimitEntry[] = "VEXTAL_TEST_FILE_SIZE_LIMIT=";

/// An entry for `Sandbox::run`'s `env` that runs the program as the user and
/// group `uid`:`gid` (without supplementary groups) instead of passing a
/// variable. Needs a process that may switch users; POSIX only.
std::string run_as_user(unsigned uid, unsigned gid);
inline constexpr char kRunAsUserEntry[] = "VEXTAL_TEST_RUN_AS_USER=";

}  // namespace vextal::test
