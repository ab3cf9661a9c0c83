// Outputs on a real POSIX file system, end to end: links are followed and
// kept, a replaced file keeps its mode and owner, hard links, devices and
// pipes are written in place, long names work, and the outputs of one run are
// put in place together or not at all, even when a rename fails or a signal
// ends the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "killed_runs.h"
#include "small_cal_run.h"
#include "tests/support/seed.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

const std::string kCannotOpen = "Error: Ausgabedateien konnten nicht geoeffnet werden.\n\n";
const std::string kCannotWrite = "Error: Ausgabedateien konnten nicht geschrieben werden.\n\n";
const std::string kOldCal = "earlier table\r\n";
const std::string kOldC = "{1, 2, 3};\r\n";

// Names of staging or backup files anywhere below `dir`.
std::vector<std::string> leftovers(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.path().filename().string().rfind("vextal-", 0) == 0) found.push_back(e.path());
    }
    return found;
}

// The user the tests switch to when they run as root.
bool other_user(uid_t& uid, gid_t& gid) {
    const passwd* pw = getpwnam("nobody");
    if (pw == nullptr || pw->pw_uid == 0) return false;
    uid = pw->pw_uid;
    gid = pw->pw_gid;
    return true;
}

struct ReplaceCase {
    std::string what;
    std::function<void(const fs::path&)> setup;
    std::string err;  // standard error; empty for a run that succeeds
    std::function<void(const fs::path&)> check;
};

TEST(OutputReplace, NamesThatAreNotPlainFiles) {
    const std::vector<ReplaceCase> cases = {
        {"links, one through a relative chain and one dangling, lead to the files written",
         [](const fs::path& d) {
             fs::create_directories(d / "real");
             fs::create_directories(d / "hop");
             std::ofstream(d / "real/t.cal") << kOldCal;
             fs::create_symlink("../real/t.cal", d / "hop/t.cal");
             fs::create_symlink("hop/t.cal", d / "out.cal");
             fs::create_symlink(d / "real/new.c", d / "out.c");
         },
         "",
         [](const fs::path& d) {
             EXPECT_TRUE(fs::is_symlink(d / "out.cal"));
             EXPECT_TRUE(fs::is_symlink(d / "hop/t.cal"));
             EXPECT_TRUE(fs::is_symlink(d / "out.c"));
             EXPECT_EQ(read_file(d / "real/t.cal"), kCal);
             EXPECT_EQ(read_file(d / "real/new.c"), c_file("out"));
         }},
        {"links to /dev/null stay links",
         [](const fs::path& d) {
             fs::create_symlink("/dev/null", d / "out.cal");
             fs::create_symlink("/dev/null", d / "out.c");
         },
         "",
         [](const fs::path& d) {
             EXPECT_EQ(fs::read_symlink(d / "out.cal"), "/dev/null");
             EXPECT_EQ(fs::read_symlink(d / "out.c"), "/dev/null");
         }},
        {"a table linked to /dev/full fails and leaves the .c file as it was",
         [](const fs::path& d) {
             fs::create_symlink("/dev/full", d / "out.cal");
             std::ofstream(d / "out.c") << kOldC;
         },
         kCannotWrite + "out.cal: No space left on device\n",
         [](const fs::path& d) {
             EXPECT_EQ(fs::read_symlink(d / "out.cal"), "/dev/full");
             EXPECT_EQ(read_file(d / "out.c"), kOldC);
         }},
        // The input reached through an output's name: refused before
        // anything is written, by a symbolic link as by a second hard link.
        {"the .cal name is a symbolic link to the input",
         [](const fs::path& d) { fs::create_symlink("d.msm", d / "out.cal"); },
         kCannotOpen + "out.cal: the same file as an input of the run\n",
         [](const fs::path& d) {
             EXPECT_EQ(read_file(d / "d.msm"), kInput);
             EXPECT_FALSE(fs::exists(d / "out.c"));
         }},
        {"the .c name is a hard link of the input",
         [](const fs::path& d) { fs::create_hard_link(d / "d.msm", d / "out.c"); },
         kCannotOpen + "out.c: the same file as an input of the run\n",
         [](const fs::path& d) {
             EXPECT_EQ(read_file(d / "out.c"), kInput);
             EXPECT_FALSE(fs::exists(d / "out.cal"));
         }},
        {"a table with a second hard link: both names hold the new table",
         [](const fs::path& d) {
             std::ofstream(d / "out.cal") << kOldCal;
             fs::create_hard_link(d / "out.cal", d / "other.cal");
         },
         "",
         [](const fs::path& d) {
             EXPECT_EQ(read_file(d / "other.cal"), kCal);
             EXPECT_EQ(fs::hard_link_count(d / "out.cal"), 2u);
             EXPECT_TRUE(fs::equivalent(d / "out.cal", d / "other.cal"));
         }},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("d.msm", kInput);
        c.setup(box.path());
        RunResult r = box.run(cal_args("out"));
        EXPECT_EQ(r.exit_code, c.err.empty() ? 0 : 2) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        c.check(box.path());
        EXPECT_EQ(leftovers(box.path()), std::vector<std::string>{}) << c.what;
    }
}

TEST(OutputReplace, ModeAndOwnerOfAReplacedFileStay) {
    Sandbox box;
    box.write("d.msm", kInput);
    box.write("out.cal", kOldCal);
    const fs::path cal = box.path() / "out.cal";
    ASSERT_EQ(chmod(cal.c_str(), 0640), 0);
    uid_t uid = getuid();
    gid_t gid = getgid();
    if (getuid() == 0) other_user(uid, gid);
    ASSERT_EQ(chown(cal.c_str(), uid, gid), 0);
    const mode_t mask = umask(0);
    umask(mask);

    RunResult r = box.run(cal_args("out"));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat(cal.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
    EXPECT_EQ(read_file(cal), kCal);
    // A new file: the ordinary default.
    ASSERT_EQ(stat((box.path() / "out.c").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

TEST(OutputReplace, FolderThatOnlyItsFilesMayBeWritten) {
    std::vector<std::string> as_user;
    uid_t uid = getuid();
    gid_t gid = getgid();
    if (getuid() == 0) {
        if (!other_user(uid, gid))
            GTEST_SKIP() << "running as root and no user 'nobody' to switch to";
        as_user.push_back(run_as_user(uid, gid));
        // The usage text, as that user: the program and its folders must be
        // reachable for them (a build in a private folder is not).
        Sandbox probe;
        if (probe.run(Args{}, as_user).exit_code != 0) {
            GTEST_SKIP() << "user 'nobody' cannot reach the program in " << program_folder();
        }
    }
    struct Case {
        std::string what;
        bool c_exists;
        std::string err;
    };
    for (const Case& c : {Case{"both files exist: written in place", true, ""},
                          Case{"the .c file is missing and cannot be created", false,
                               kCannotOpen + "ro/out.c: Permission denied\n"}}) {
        Sandbox box;
        box.write("d.msm", kInput);
        box.write("ro/out.cal", kOldCal);
        if (c.c_exists) box.write("ro/out.c", kOldC);
        const fs::path tmp = box.path() / "tmp";
        fs::create_directories(tmp);
        fs::permissions(tmp, fs::perms::all);
        for (const char* name : {"ro/out.cal", "ro/out.c"}) {
            if (fs::exists(box.path() / name)) chown((box.path() / name).c_str(), uid, gid);
        }
        fs::permissions(box.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                               fs::perms::group_read | fs::perms::group_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
        std::vector<std::string> env = as_user;
        env.push_back("TMPDIR=" + tmp.string());
        RunResult r = box.run(cal_args("ro/out"), env);
        EXPECT_EQ(r.exit_code, c.err.empty() ? 0 : 2) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(read_file(box.path() / "ro/out.cal"), c.err.empty() ? kCal : kOldCal) << c.what;
        if (c.c_exists) {
            EXPECT_EQ(read_file(box.path() / "ro/out.c"), c_file("ro/out")) << c.what;
        }
        EXPECT_TRUE(fs::is_empty(tmp)) << c.what;
    }
}

TEST(OutputReplace, LongestNamesTheFileSystemTakes) {
    Sandbox box;
    box.write("d.msm", kInput);
    // A last name part of 255 bytes.
    const std::string part(251, 'p');
    RunResult r = box.run(cal_args(part));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_file(box.path() / (part + ".cal")), kCal);

    // A path of 4095 bytes, the longest a name may have, for the .cal file.
    const std::string base = box.path().string() + "/";
    const std::size_t room = 4095 - base.size() - 4;
    std::string folders;
    while (room - folders.size() > 250) folders += std::string(200, 'd') + "/";
    fs::create_directories(base + folders);
    const std::string prefix = folders + std::string(room - folders.size(), 'q');
    ASSERT_EQ((base + prefix + ".cal").size(), 4095u);
    r = box.run(cal_args(prefix));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_file(base + prefix + ".cal"), kCal);
    const std::string c = read_file(base + prefix + ".c");
    EXPECT_EQ(c.substr(c.size() - std::min(c.size(), kCValues.size())), kCValues);
    EXPECT_EQ(leftovers(box.path()), std::vector<std::string>{});
}

// strace makes chosen calls fail: the Nth rename, or every link.
TEST(OutputReplace, FailingStepsLeaveEveryOutputAsItWas) {
    const Program strace{{"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null"}, "\n"};
    if (access(strace.command[0].c_str(), X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    {
        Sandbox probe;
        Program p = strace;
        p.command.push_back("/bin/true");
        if (probe.run(p, {}).exit_code != 0) GTEST_SKIP() << "strace cannot trace here";
    }
    const std::string vextal = (program_folder() / "vextal").string();
    const std::string no_links = "inject=linkat:error=EPERM";
    auto rename_fails = [](int n) {
        return "inject=renameat,renameat2:error=EIO:when=" + std::to_string(n);
    };
    struct Case {
        std::string what;
        std::vector<std::string> injections;
        bool earlier;  // earlier .cal and .c files exist
        bool succeeds;
        bool hard_link = false;        // the .cal file has a second name, other.cal
        std::string failed = "out.c";  // the output whose step failed
    };
    const std::vector<Case> cases = {
        {"the first rename fails", {rename_fails(1)}, true, false, false, "out.cal"},
        {"the second rename fails: the .cal file goes back", {rename_fails(2)}, true, false},
        {"no hard links: the earlier files are moved aside", {no_links}, true, true},
        {"no hard links, moving the .c file aside fails", {no_links, rename_fails(3)}, true, false},
        {"no hard links, the last rename fails", {no_links, rename_fails(4)}, true, false},
        {"new files, the second rename fails: no file stays", {rename_fails(2)}, false, false},
        {"a hard-linked table written in place gets its bytes back",
         {rename_fails(1)},
         true,
         false,
         true},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("d.msm", kInput);
        if (c.earlier) {
            box.write("out.cal", kOldCal);
            box.write("out.c", kOldC);
        }
        if (c.hard_link) fs::create_hard_link(box.path() / "out.cal", box.path() / "other.cal");
        Program p = strace;
        for (const auto& i : c.injections) p.command.insert(p.command.end(), {"-e", i});
        p.command.push_back(vextal);
        // The sanitizer builds' leak check cannot work under a tracer.
        RunResult r = box.run(p, cal_args("out"), {"ASAN_OPTIONS=detect_leaks=0"});
        EXPECT_EQ(r.exit_code, c.succeeds ? 0 : 2) << c.what;
        EXPECT_EQ(r.err, c.succeeds ? "" : kCannotWrite + c.failed + ": Input/output error\n")
            << c.what;
        std::map<std::string, std::string> expected{{"d.msm", kInput}};
        if (c.succeeds) {
            expected["out.cal"] = kCal;
            expected["out.c"] = c_file("out");
        } else if (c.earlier) {
            expected["out.cal"] = kOldCal;
            expected["out.c"] = kOldC;
        }
        if (c.hard_link) expected["other.cal"] = expected["out.cal"];
        EXPECT_EQ(box.files(), expected) << c.what;
    }
}

// A signal while the outputs of a complete commit are released one by one
// (each release removes a backup): the run ends by the signal with every
// output new and nothing left behind.
TEST(OutputReplace, SignalWhileAGroupIsReleased) {
    const Program strace{{"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null"}, "\n"};
    if (access(strace.command[0].c_str(), X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    const std::string vextal = (program_folder() / "vextal").string();
    for (int when : {1, 2}) {
        Sandbox box;
        box.write("d.msm", kInput);
        box.write("out.cal", kOldCal);
        box.write("out.c", kOldC);
        Program p = strace;
        p.command.insert(p.command.end(),
                         {"-e", "trace=unlinkat", "-e",
                          "inject=unlinkat:signal=SIGINT:when=" + std::to_string(when), vextal});
        const RunResult r = box.run(p, cal_args("out"), {"ASAN_OPTIONS=detect_leaks=0"});
        if (!r.crashed && r.exit_code != 0) GTEST_SKIP() << "strace cannot trace here";
        EXPECT_TRUE(r.crashed) << when;
        EXPECT_EQ(box.files(),
                  (Files{{"d.msm", kInput}, {"out.cal", kCal}, {"out.c", c_file("out")}}))
            << when;
    }
}

// Starts vextal with `args` in `dir`, its standard output on `out` (or
// /dev/null) and its standard error into the file err.txt there; with a
// `go` pipe, only once it can read a byte from it; under `runner` (a program
// and its words before vextal) where one is given.
pid_t start(const fs::path& dir, const Args& args, int out = -1, int go = -1,
            const Args& runner = {}) {
    const std::string vextal = (program_folder() / "vextal").string();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int null = open("/dev/null", O_WRONLY);
        dup2(out >= 0 ? out : null, STDOUT_FILENO);
        const int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        const rlimit no_core{0, 0};  // the signals that dump core must not leave one
        setrlimit(RLIMIT_CORE, &no_core);
        char ready = 0;
        if (go >= 0 && read(go, &ready, 1) < 0) _exit(127);
        std::vector<char*> argv;
        for (const auto& a : runner) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(const_cast<char*>(vextal.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Starts cal into the folder of `box` with its table a named pipe that nobody
// reads and the .c file already in place, and returns once the run waits
// there: the .c file's backup and the table's staging file exist.
pid_t start_waiting_on_table(Sandbox& box) {
    box.write("d.msm", kInput);
    box.write("out.c", kOldC);
    EXPECT_EQ(mkfifo((box.path() / "out.cal").c_str(), 0644), 0);
    const pid_t pid = start(box.path(), cal_args("out"));
    for (int i = 0; i < 1000 && leftovers(box.path()).size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
}

// Whether the program that `tracer` (env, then strace) runs comes to the
// check whether a folder may be written, and waits there, within ten seconds.
bool in_folder_check(pid_t tracer) {
    const std::string wanted[] = {std::to_string(SYS_faccessat), std::to_string(SYS_faccessat2)};
    for (int i = 0; i < 2000; ++i) {
        std::ifstream children("/proc/" + std::to_string(tracer) + "/task/" +
                               std::to_string(tracer) + "/children");
        std::string child;
        std::string call;
        if (children >> child) std::ifstream("/proc/" + child + "/syscall") >> call;
        if (call == wanted[0] || call == wanted[1]) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// The input goes while the run looks at an output's name, and a new file of
// that name takes the number the file system would hand on from the input:
// the run still holds its input, so the new file is not taken for it.
TEST(OutputReplace, InputGoneWhileAnOutputIsLookedAt) {
    const std::string strace = "/usr/bin/strace";
    if (access(strace.c_str(), X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    Sandbox box;
    // Whether this file system hands a freed number to the next new file.
    box.write("a", "a");
    struct stat a {
    }, b{};
    stat((box.path() / "a").c_str(), &a);
    fs::remove(box.path() / "a");
    box.write("b", "b");
    stat((box.path() / "b").c_str(), &b);
    fs::remove(box.path() / "b");
    if (a.st_ino != b.st_ino) GTEST_SKIP() << "this file system does not reuse numbers at once";

    box.write("d.msm", kInput);
    // The check whether the folder may be written comes just before the
    // output's name is looked at: it waits two seconds (and leak checks do
    // not work under a tracer).
    const Args runner = {"/usr/bin/env",
                         "ASAN_OPTIONS=detect_leaks=0",
                         strace,
                         "-f",
                         "-qq",
                         "-o",
                         "/dev/null",
                         "-e",
                         "trace=faccessat,faccessat2",
                         "-e",
                         "inject=faccessat,faccessat2:delay_enter=2000000:when=1"};
    const pid_t pid = start(box.path(), cal_args("out"), -1, -1, runner);
    ASSERT_TRUE(in_folder_check(pid)) << "the run never came to the check";
    fs::remove(box.path() / "d.msm");
    box.write("out.cal", kOldCal);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_file(box.path() / "err.txt");
    EXPECT_EQ(read_file(box.path() / "out.cal"), kCal);
}

// The table is a named pipe that nobody reads: the run waits on it with the
// .c file already in place when the signal comes. Every signal whose default
// action ends the process gives the .c file its earlier bytes back.
TEST(OutputReplace, EndingSignalWhileAnOutputWaits) {
    std::vector<int> signals = {SIGTERM, SIGINT,  SIGHUP,    SIGQUIT, SIGALRM, SIGUSR1,
                                SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF, SIGPWR,  SIGABRT};
    signals.push_back(SIGRTMIN + 1);
    for (int sig : signals) {
        Sandbox box;
        const pid_t pid = start_waiting_on_table(box);
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << strsignal(sig);
        EXPECT_EQ(read_file(box.path() / "out.c"), kOldC) << strsignal(sig);
        EXPECT_EQ(leftovers(box.path()), std::vector<std::string>{}) << strsignal(sig);
        EXPECT_TRUE(fs::is_fifo(box.path() / "out.cal"));
    }
}

// Two runs on the same outputs at once take turns: the .cal and the .c file
// always come from the same run, and nothing is left behind.
TEST(OutputReplace, ConcurrentRunsNeverMixTheirOutputs) {
    const Args three = {"cal", "d", "-f", "out", "-n", "3"};
    const Args four = {"cal", "d", "-f", "out", "-n", "4"};
    // With four steps the table has one more entry before the stretch.
    const std::string cal_four = kCal + "3\t25.00\r\n";
    const std::string c_four =
        "// CallParams: cal d -f out -n 4  \r\n{250, 250, 250, 250};\r\n\r\n";
    for (int pair = 0; pair < 200; ++pair) {
        Sandbox box;
        box.write("d.msm", kInput);
        // Both start at the same moment, when a byte for each arrives.
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        const pid_t a = start(box.path(), three, -1, go[0]);
        const pid_t b = start(box.path(), four, -1, go[0]);
        ASSERT_EQ(write(go[1], "ab", 2), 2);
        close(go[0]);
        close(go[1]);
        for (pid_t pid : {a, b}) {
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << pair;
        }
        const std::string cal = read_file(box.path() / "out.cal");
        const std::string c = read_file(box.path() / "out.c");
        const bool from_three = cal == kCal && c == c_file("out");
        const bool from_four = cal == cal_four && c == c_four;
        ASSERT_TRUE(from_three || from_four) << pair << "\n" << cal << c;
        ASSERT_EQ(leftovers(box.path()), std::vector<std::string>{}) << pair;
    }
}

// Takes the lock that runs writing into `dir` take there, as another run
// would hold it; -1 when it cannot.
int hold_folder_lock(const fs::path& dir) {
    const int fd = open((dir / "vextal.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0 && fchmod(fd, 0666) == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

// A run whose folder another run holds waits once, 30 seconds in all for
// both its outputs there, says so once, and leaves both as they were.
TEST(OutputReplace, HeldFolderIsWaitedForOnce) {
    Sandbox box;
    box.write("d.msm", kInput);
    box.write("out.c", kOldC);
    const int lock = hold_folder_lock(box.path());
    ASSERT_GE(lock, 0);
    const auto began = std::chrono::steady_clock::now();
    const RunResult r = box.run(cal_args("out"));
    const auto waited = std::chrono::steady_clock::now() - began;
    close(lock);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_LT(waited, std::chrono::seconds(40));
    EXPECT_EQ(r.err, "Another run is writing into the same folder; waiting for it.\n" +
                         kCannotOpen + "out.cal: another run kept writing into the same folder\n");
    EXPECT_EQ(read_file(box.path() / "out.c"), kOldC);
    EXPECT_FALSE(fs::exists(box.path() / "out.cal"));
}

// A drop box, a folder its users may write into but not read, is locked
// like any other: a run waits for the one that holds it, and then goes on.
TEST(OutputReplace, DropBoxIsLockedToo) {
    std::vector<std::string> as_user;
    if (getuid() == 0) {
        uid_t uid = 0;
        gid_t gid = 0;
        if (!other_user(uid, gid)) GTEST_SKIP() << "running as root and no user 'nobody'";
        as_user.push_back(run_as_user(uid, gid));
        Sandbox probe;
        if (probe.run(Args{}, as_user).exit_code != 0) {
            GTEST_SKIP() << "user 'nobody' cannot reach the program in " << program_folder();
        }
    }
    Sandbox box;
    box.write("d.msm", kInput);
    fs::create_directories(box.path() / "drop");
    const int lock = hold_folder_lock(box.path() / "drop");
    ASSERT_GE(lock, 0);
    fs::permissions(box.path() / "drop", fs::perms::owner_all | fs::perms::group_write |
                                             fs::perms::group_exec | fs::perms::others_write |
                                             fs::perms::others_exec);
    // The run cannot end before the lock is given up; whether it has waited
    // long enough to say so depends on when it started.
    std::chrono::steady_clock::time_point released;
    std::thread release([lock, &released] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        released = std::chrono::steady_clock::now();
        close(lock);
    });
    const RunResult r = box.run(cal_args("drop/out"), as_user);
    const auto ended = std::chrono::steady_clock::now();
    release.join();
    fs::permissions(box.path() / "drop", fs::perms::owner_all);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_GE(ended, released);
    const std::string notice = "Another run is writing into the same folder; waiting for it.\n";
    EXPECT_TRUE(r.err.empty() || r.err == notice) << r.err;
    EXPECT_EQ(read_file(box.path() / "drop/out.cal"), kCal);
    EXPECT_EQ(read_file(box.path() / "drop/out.c"), c_file("drop/out"));
    EXPECT_FALSE(fs::exists(box.path() / "drop/vextal.lock"));
}

// Ending signals at random moments of whole runs: whenever one lands, the
// outputs are all old or all new, and nothing is left behind. The moments
// differ from run to run; a failure names the seed that replays its choices.
TEST(OutputReplace, EndingSignalsAtRandomMoments) {
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM};
    const uint32_t seed = test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 150; ++round) {
        Sandbox box;
        box.write("d.msm", kInput);
        box.write("out.cal", kOldCal);
        box.write("out.c", kOldC);
        const int sig = signals[random() % std::size(signals)];
        const pid_t pid = start(box.path(), cal_args("out"));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        const std::string cal = read_file(box.path() / "out.cal");
        const std::string c = read_file(box.path() / "out.c");
        const bool old_pair = cal == kOldCal && c == kOldC;
        const bool new_pair = cal == kCal && c == c_file("out");
        ASSERT_TRUE(old_pair || new_pair)
            << "round " << round << ", " << strsignal(sig) << "; " << replay_with(seed);
        ASSERT_EQ(leftovers(box.path()), std::vector<std::string>{})
            << "round " << round << "; " << replay_with(seed);
    }
}

// The endings no handler sees, while the table is a named pipe that nobody
// reads and the .c file is already in place: the next run into the folder
// gives the .c file its earlier bytes back, says so, and leaves nothing
// behind. Signals 32 and 33 are the real-time signals the C library keeps.
TEST(OutputReplace, NextRunPutsBackAKilledRun) {
    for (int sig : {SIGKILL, 32, 33}) {
        Sandbox box;
        const pid_t pid = start_waiting_on_table(box);
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        ASSERT_NE(leftovers(box.path()), std::vector<std::string>{}) << sig;
        // Others may take the lock, but only its maker may write the list.
        EXPECT_EQ(fs::status(box.path() / "vextal.lock").permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read)
            << sig;
        const RunResult r = box.run(cal_args("next"));
        EXPECT_EQ(r.exit_code, 0) << sig;
        EXPECT_EQ(r.err,
                  "A run that was killed left outputs here; they are back as they were "
                  "before it.\n")
            << sig;
        EXPECT_EQ(read_file(box.path() / "out.c"), kOldC) << sig;
        EXPECT_TRUE(fs::is_fifo(box.path() / "out.cal")) << sig;
        EXPECT_EQ(leftovers(box.path()), std::vector<std::string>{}) << sig;
        EXPECT_FALSE(fs::exists(box.path() / "vextal.lock")) << sig;
    }
}

// Lock files left behind, by a dead run or by anyone who may write into the
// folder: whatever they hold, the next run takes the lock, touches no file
// they name outside the folder or under a name no staging file has, and
// removes them at its end.
TEST(OutputReplace, LeftLockFilesAreHarmless) {
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"bytes of no list", "\x01\xff junk\n\n"},
        {"a record cut off", "o\0vextal-1-0.tmp\0vextal-1-0.b"s},
        {"a new output named outside the folder",
         "o\0vextal-1-0.tmp\0vextal-1-0.bak\0"
         "0\0../victim\0"s},
        {"a backup that is no staging file",
         "o\0vextal-1-0.tmp\0victim\0"
         "1\0out.cal\0"s},
    };
    for (const auto& [what, bytes] : cases) {
        Sandbox box;
        box.write("d.msm", kInput);
        box.write("in/victim", "kept\r\n");
        box.write("in/vextal.lock", bytes);
        box.write("victim", "kept\r\n");
        const RunResult q = box.run(cal_args("in/out"));
        EXPECT_EQ(q.exit_code, 0) << what;
        EXPECT_EQ(q.err, "") << what;
        EXPECT_EQ(read_file(box.path() / "victim"), "kept\r\n") << what;
        EXPECT_EQ(read_file(box.path() / "in/victim"), "kept\r\n") << what;
        EXPECT_EQ(read_file(box.path() / "in/out.cal"), kCal) << what;
        EXPECT_FALSE(fs::exists(box.path() / "in/vextal.lock")) << what;
    }
}

// A list that another user's dead run left names files that user's next
// run puts back: a run of this user leaves the list and those files as they
// are, and writes its own outputs.
TEST(OutputReplace, LockFilesOfAnotherUser) {
    using namespace std::string_literals;
    uid_t uid = 0;
    gid_t gid = 0;
    if (getuid() != 0 || !other_user(uid, gid)) GTEST_SKIP() << "needs root and a user 'nobody'";
    const std::vector<std::string> as_user = {run_as_user(uid, gid)};
    Sandbox probe;
    if (probe.run(Args{}, as_user).exit_code != 0) {
        GTEST_SKIP() << "user 'nobody' cannot reach the program in " << program_folder();
    }
    Sandbox box;
    const std::string list =
        "o\0vextal-7-0.tmp\0vextal-7-0.bak\0"
        "1\0out.cal\0"s;
    box.write("d.msm", kInput);
    box.write("out.cal", "new");
    box.write("vextal-7-0.bak", "old");
    box.write("vextal.lock", list);
    fs::permissions(box.path(), fs::perms::all);
    const RunResult theirs = box.run(cal_args("next"), as_user);
    EXPECT_EQ(theirs.exit_code, 0);
    EXPECT_EQ(theirs.err, "");
    EXPECT_EQ(read_file(box.path() / "next.cal"), kCal);
    EXPECT_EQ(read_file(box.path() / "vextal.lock"), list);
    EXPECT_EQ(read_file(box.path() / "out.cal"), "new");
    EXPECT_EQ(read_file(box.path() / "vextal-7-0.bak"), "old");
    const RunResult mine = box.run(cal_args("again"));
    EXPECT_EQ(mine.err,
              "A run that was killed left outputs here; they are back as they were before it.\n");
    EXPECT_EQ(read_file(box.path() / "out.cal"), "old");
    EXPECT_EQ(leftovers(box.path()), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(box.path() / "vextal.lock"));

    // In a folder whose sticky bit keeps others' files, the other user's run
    // cannot remove this user's empty lock file: it leaves it empty, so that
    // no list of a run that ended is followed later.
    Sandbox sticky;
    sticky.write("d.msm", kInput);
    sticky.write("vextal.lock", "");
    fs::permissions(sticky.path() / "vextal.lock", fs::perms::all & ~fs::perms::owner_exec &
                                                       ~fs::perms::group_exec &
                                                       ~fs::perms::others_exec);
    fs::permissions(sticky.path(), fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EQ(sticky.run(cal_args("out"), as_user).exit_code, 0);
    EXPECT_EQ(read_file(sticky.path() / "out.cal"), kCal);
    EXPECT_EQ(read_file(sticky.path() / "vextal.lock"), "");
}

// SIGKILL, which no handler sees, at random moments of runs that write
// several outputs, each followed by a run that writes other outputs into the
// same folder: that run puts the killed run's outputs back, so that they are
// all old or all new, and nothing is left behind. Half the rounds start
// with earlier outputs, half without.
TEST(OutputReplace, KilledRunsArePutBackByTheNext) {
    const std::vector<OutputsRun>& commands = kOutputsRuns;
    // What each command writes when nothing stops it, and how long it takes
    // from its start: the moments are chosen within that time.
    std::vector<std::vector<std::string>> wholly_new;
    std::vector<long> micros;
    for (const OutputsRun& c : commands) {
        Sandbox box;
        prepare_outputs_run(box, c, false);
        const auto began = std::chrono::steady_clock::now();
        const pid_t pid = start(box.path(), c.args);
        int status = 0;
        waitpid(pid, &status, 0);
        micros.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now() - began)
                                               .count()));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.args[0];
        wholly_new.push_back(outputs_in(box, c));
    }
    const uint32_t seed = test_seed();
    std::mt19937 random(seed);
    int cut = 0;  // rounds killed with staging files made
    for (int round = 0; round < 600; ++round) {
        const std::size_t which = random() % commands.size();
        const OutputsRun& c = commands[which];
        const bool earlier = random() % 2 == 0;
        Sandbox box;
        const std::vector<std::string> old = prepare_outputs_run(box, c, earlier);
        const pid_t pid = start(box.path(), c.args);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (micros[which] + 1)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        const std::string where = "round " + std::to_string(round) + ", " + c.args[0] + "; ";
        if (!leftovers(box.path()).empty()) ++cut;
        ASSERT_EQ(box.run(cal_args("next")).exit_code, 0) << where << replay_with(seed);
        const std::vector<std::string> now = outputs_in(box, c);
        ASSERT_TRUE(now == old || now == wholly_new[which]) << where << replay_with(seed);
        ASSERT_EQ(leftovers(box.path()), std::vector<std::string>{}) << where << replay_with(seed);
        ASSERT_FALSE(fs::exists(box.path() / "vextal.lock")) << where << replay_with(seed);
    }
    EXPECT_GT(cut, 0) << "no kill came while outputs were staged; " << replay_with(seed);
}

// A named pipe as the table whose reader leaves after a few bytes: a write
// error like any other, with the .c file's earlier bytes back.
TEST(OutputReplace, PipeWhoseReaderLeaves) {
    Sandbox box;
    box.write("d.msm", kInput);
    box.write("out.c", kOldC);
    const fs::path fifo = box.path() / "out.cal";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // The pipe is made to hold one page, less than the table of 1000 lines:
    // the run waits in its write until the reader leaves.
    const int reader = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fcntl(reader, F_SETPIPE_SZ, 4096), 0);
    const pid_t pid = start(box.path(), {"cal", "d", "-f", "out", "-n", "1000"});
    int held = 0;
    for (int i = 0; i < 1000 && held < 4096; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ioctl(reader, FIONREAD, &held);
    }
    EXPECT_EQ(held, 4096);
    close(reader);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_EQ(read_file(box.path() / "err.txt").substr(0, kCannotWrite.size()), kCannotWrite);
    EXPECT_EQ(read_file(box.path() / "out.c"), kOldC);
    EXPECT_EQ(leftovers(box.path()), std::vector<std::string>{});
}

// Standard output a pipe whose reader has gone: the progress lines are lost,
// the run goes on, and an error still reaches standard error.
TEST(OutputReplace, StandardOutputWithoutAReader) {
    const struct {
        Args args;
        int exit_code;
        std::string err;
    } cases[] = {
        {cal_args("out"), 0, ""},
        {{"cal", "missing", "-f", "x"},
         2,
         "Error: Eingabedatei konnte nicht geoeffnet werden.\n\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("d.msm", kInput);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        close(ends[0]);
        const pid_t pid = start(box.path(), c.args, ends[1]);
        close(ends[1]);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_code) << c.args[1];
        const std::string err = read_file(box.path() / "err.txt");
        EXPECT_EQ(err.substr(0, c.err.size()), c.err) << c.args[1];
        if (c.exit_code == 0) {
            EXPECT_EQ(read_file(box.path() / "out.cal"), kCal);
        }
    }
}

}  // namespace
}  // namespace vextal::test
