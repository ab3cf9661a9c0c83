#include "tests/harness.h"

namespace vextal::test {

namespace fs = std::filesystem;

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
    RunResult r = run_attached_process(where, vextal_program(), args, path(), env);
    r.raw_out = r.out;
    return r;
}

RunResult Sandbox::run(const Program& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) const {
    std::vector<std::string> words(program.command.begin() + 1, program.command.end());
    words.insert(words.end(), args.begin(), args.end());
    RunResult r = run_process(program.command.front(), words, path(), env);
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

}  // namespace vextal::test
