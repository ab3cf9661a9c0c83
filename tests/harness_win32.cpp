#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/harness.h"

namespace vextal::test {

namespace fs = std::filesystem;

// The console tests run on Linux only: under wine neither a pipe nor a
// pseudo-terminal is a Windows console.
const bool kCanAttach = false;

RunResult run_attached_process(Attach, const fs::path&, const std::vector<std::string>&,
                               const fs::path&, const std::vector<std::string>&) {
    return RunResult{};
}

const char* const kConsoleLineEnd = "\r\n";
// Windows has no per-process file size limit; such entries pass on as plain
// variables, which the program never reads.
const bool kCanLimitFileSize = false;

fs::path program_folder() {
    char buf[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return fs::path(std::string(buf, n)).parent_path();
}

namespace {

// Quotes one argument so that the child's start-up code splits it back out
// unchanged (backslashes double only before a quote).
std::string quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
        } else if (c == '"') {
            q.append(backslashes * 2 + 1, '\\');
            q += '"';
            backslashes = 0;
        } else {
            q.append(backslashes, '\\');
            q += c;
            backslashes = 0;
        }
    }
    q.append(backslashes * 2, '\\');
    q += '"';
    return q;
}

HANDLE open_capture(const fs::path& p) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileA(p.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

RunResult run_process(const fs::path& program, const std::vector<std::string>& args,
                      const fs::path& dir, const std::vector<std::string>& env) {
    fs::path out_file = dir.string() + ".stdout";
    fs::path err_file = dir.string() + ".stderr";
    std::string command = quote(program.string());
    for (const auto& a : args) command += " " + quote(a);

    // The child's environment: this process's, plus the extra entries.
    std::string block;
    if (!env.empty()) {
        char* current = GetEnvironmentStringsA();
        for (const char* p = current; *p; p += std::strlen(p) + 1)
            block.append(p, std::strlen(p) + 1);
        FreeEnvironmentStringsA(current);
        for (const auto& e : env) block.append(e.c_str(), e.size() + 1);
        block += '\0';
    }

    HANDLE out = open_capture(out_file);
    HANDLE err = open_capture(err_file);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    RunResult r;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    // A command line in UTF-8 reaches the program as the wide characters a
    // user types; any other bytes go through the ANSI code page as before.
    std::vector<wchar_t> wide(line.size());
    const bool utf8 = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(), -1,
                                          wide.data(), static_cast<int>(wide.size())) > 0;
    STARTUPINFOW siw{};
    siw.cb = sizeof siw;
    siw.dwFlags = si.dwFlags;
    siw.hStdInput = si.hStdInput;
    siw.hStdOutput = si.hStdOutput;
    siw.hStdError = si.hStdError;
    auto start = [&] {
        return utf8 ? CreateProcessW(nullptr, wide.data(), nullptr, nullptr, TRUE, 0,
                                     env.empty() ? nullptr : block.data(), dir.wstring().c_str(),
                                     &siw, &pi)
                    : CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                     env.empty() ? nullptr : block.data(), dir.string().c_str(),
                                     &si, &pi);
    };
    // Under wine a start fails now and then before anything of the program
    // has run (wine's own messages are off); it is tried once more. A program
    // that cannot be started fails both times.
    const bool started = start() || start();
    if (started) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        r.exit_code = static_cast<int>(code);
        r.crashed = code >= 0xC0000000u;  // an exception code, not an exit code
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(out);
    CloseHandle(err);
    r.out = read_file(out_file);
    r.err = read_file(err_file);
    fs::remove(out_file);
    fs::remove(err_file);
    return r;
}

}  // namespace vextal::test
