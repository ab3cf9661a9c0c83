#include "tests/harness.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

namespace vextal::test {

namespace fs = std::filesystem;

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Sandbox::Sandbox() {
    static std::atomic<unsigned> serial{0};
    std::random_device rd;
    for (;;) {
        dir_ = fs::temp_directory_path() /
               ("vextal_e2e_" + std::to_string(rd()) + "_" + std::to_string(serial++));
        if (fs::create_directory(dir_)) break;
    }
}

Sandbox::~Sandbox() {
    std::error_code ec;
    // Restore write permission that a test may have taken away, then remove.
    for (auto it = fs::recursive_directory_iterator(dir_, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

void Sandbox::write(const std::string& name, const std::string& bytes) const {
    fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

namespace {
fs::path vextal_program() {
#ifdef _WIN32
    return program_folder() / "vextal.exe";
#else
    return program_folder() / "vextal";
#endif
}
}  // namespace

RunResult Sandbox::run(const std::vector<std::string>& args,
                       const std::vector<std::string>& env) const {
    return run(Program{{vextal_program().string()}, kConsoleLineEnd}, args, env);
}

RunResult Sandbox::run_attached(Attach where, const std::vector<std::string>& args,
                                const std::vector<std::string>& env) const {
    RunResult r = run_attached_process(where, vextal_program(), args, dir_, env);
    r.raw_out = r.out;
    return r;
}

RunResult Sandbox::run(const Program& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) const {
    std::vector<std::string> words(program.command.begin() + 1, program.command.end());
    words.insert(words.end(), args.begin(), args.end());
    RunResult r = run_process(program.command.front(), words, dir_, env);
    r.raw_out = r.out;
    r.raw_err = r.err;
    auto normalize = [](std::string& s) {
        std::string t;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
            t += s[i];
        }
        s = t;
    };
    if (program.line_end == "\r\n") {
        normalize(r.out);
        normalize(r.err);
    }
    return r;
}

std::string file_size_limit(unsigned long bytes) {
    return kFileSizeLimitEntry + std::to_string(bytes);
}

std::string run_as_user(unsigned uid, unsigned gid) {
    return kRunAsUserEntry + std::to_string(uid) + ":" + std::to_string(gid);
}

std::map<std::string, std::string> Sandbox::files() const {
    std::map<std::string, std::string> result;
    for (const auto& e : fs::recursive_directory_iterator(dir_)) {
        if (e.is_regular_file()) {
            result[fs::relative(e.path(), dir_).generic_string()] = read_file(e.path());
        }
    }
    return result;
}

}  // namespace vextal::test
