// The list a dead run leaves in a folder's lock file, fuzzed: the next run
// that takes the lock follows it in a folder of its own, among staging and
// backup files of the names a run gives them. Whatever the list holds,
// nothing outside that folder changes, and the lock file is gone at the end.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/folder_lock_posix.h"

namespace {

void put(const std::string& path, const char* bytes, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes, 1, size, f);
    std::fclose(f);
}

// The names in `dir` but "." and ".."; removes them where `remove`.
int entries(const std::string& dir, bool remove) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return -1;
    int count = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        ++count;
        if (remove) ::unlink((dir + "/" + name).c_str());
    }
    ::closedir(d);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    static const std::string parent = [] {
        // In the folder the fuzzer runs in, which fuzz/run.sh removes.
        char name[] = "journal_XXXXXX";
        return std::string(mkdtemp(name) != nullptr ? name : "");
    }();
    static const std::string dir = parent + "/in";
    if (parent.empty() || (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)) return 0;
    entries(dir, true);
    for (const char* name : {"out.cal", "vextal-1-0.tmp", "vextal-1-0.bak", "vextal-1-1.bak"}) {
        put(dir + "/" + name, name, std::strlen(name));
    }
    put(dir + "/vextal.lock", reinterpret_cast<const char*>(data), size);
    const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    SysFile lock = kNoFile;
    if (folder < 0 || !folder_lock_open(folder, lock)) __builtin_trap();
    if (!folder_lock_try(lock)) __builtin_trap();
    folder_lock_close(lock, true);
    ::close(folder);
    if (::access((dir + "/vextal.lock").c_str(), F_OK) == 0) __builtin_trap();
    if (entries(parent, false) != 1) __builtin_trap();
    return 0;
}
