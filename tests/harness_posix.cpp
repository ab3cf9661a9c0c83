#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/harness.h"

namespace vextal::test {

namespace fs = std::filesystem;

const char* const kConsoleLineEnd = "\n";
const bool kCanLimitFileSize = true;
const bool kCanAttach = true;

fs::path program_folder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

namespace {

// The argument vector of execv over `words`, which must outlive it.
std::vector<char*> argument_vector(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

RunResult run_process(const fs::path& program, const std::vector<std::string>& args,
                      const fs::path& dir, const std::vector<std::string>& env) {
    // Captured output lives beside the sandbox, not in it, so that the
    // sandbox holds only what the program wrote.
    fs::path out_file = dir.string() + ".stdout";
    fs::path err_file = dir.string() + ".stderr";
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    const std::vector<char*> argv = argument_vector(words);

    pid_t pid = fork();
    if (pid == 0) {
        int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& e : env) {
            const std::size_t prefix = std::strlen(kFileSizeLimitEntry);
            const std::size_t user_prefix = std::strlen(kRunAsUserEntry);
            if (e.compare(0, prefix, kFileSizeLimitEntry) == 0) {
                // As `ulimit -f` sets it: past the limit the kernel raises
                // SIGXFSZ, whose default would end the program.
                rlim_t bytes = std::strtoul(e.c_str() + prefix, nullptr, 10);
                struct rlimit limit {
                    bytes, bytes
                };
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
                std::signal(SIGXFSZ, SIG_DFL);
            } else if (e.compare(0, user_prefix, kRunAsUserEntry) == 0) {
                char* end = nullptr;
                const auto uid =
                    static_cast<uid_t>(std::strtoul(e.c_str() + user_prefix, &end, 10));
                const auto gid = static_cast<gid_t>(std::strtoul(end + 1, nullptr, 10));
                if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(127);
            } else {
                putenv(const_cast<char*>(e.c_str()));
            }
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult r;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        r.exit_code = WEXITSTATUS(status);
    } else {
        r.crashed = true;
        r.exit_code = 128 + WTERMSIG(status);
    }
    r.out = read_file(out_file);
    r.err = read_file(err_file);
    fs::remove(out_file);
    fs::remove(err_file);
    return r;
}

RunResult run_attached_process(Attach where, const fs::path& program,
                               const std::vector<std::string>& args, const fs::path& dir,
                               const std::vector<std::string>& env) {
    RunResult r;
    int ends[2] = {-1, -1};  // read, write
    if (where == Attach::terminal) {
        if (openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr) != 0) return r;
        // Raw: no line end is turned into CR LF on the way.
        termios settings{};
        tcgetattr(ends[1], &settings);
        cfmakeraw(&settings);
        tcsetattr(ends[1], TCSANOW, &settings);
    } else if (pipe(ends) != 0) {
        return r;
    }
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    const std::vector<char*> argv = argument_vector(words);

    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        dup2(ends[1], 1);
        dup2(ends[1], 2);
        close(ends[0]);
        close(ends[1]);
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) unsetenv(name);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(ends[1]);
    // The far end closed: a pipe gives 0, a pseudo-terminal EIO.
    char buffer[4096];
    for (;;) {
        ssize_t n = read(ends[0], buffer, sizeof buffer);
        if (n > 0) {
            r.out.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.crashed = !WIFEXITED(status);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

}  // namespace vextal::test
