#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

namespace vextal::test {

namespace fs = std::filesystem;

namespace {

// Write permission back on everything below `dir`, so that it can be removed.
void allow_removal(const fs::path& dir) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
}

Files listing(const fs::path& dir, bool with_folders) {
    Files result;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(e.path(), dir).generic_string();
        if (e.is_regular_file()) {
            result[name] = read_file(e.path());
        } else if (with_folders && e.is_directory()) {
            result[name] = "<dir>";
        }
    }
    return result;
}

}  // namespace

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string current_test_name() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> serial{0};
    std::random_device rd;
    for (;;) {
        dir_ = fs::temp_directory_path() /
               ("vextal_test_" + std::to_string(rd()) + "_" + std::to_string(serial++));
        if (fs::create_directory(dir_)) break;
    }
}

TempFolder::TempFolder(const std::string& name) {
    // The working folder tells the builds apart, whose tests may run at the
    // same time; a death test's child has the same.
    const std::size_t build = std::hash<std::string>{}(fs::current_path().string());
    dir_ = fs::temp_directory_path() / ("vextal_" + name + "_" + std::to_string(build));
    allow_removal(dir_);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    allow_removal(dir_);
    fs::remove_all(dir_, ec);
}

std::string TempFolder::file(const std::string& name) const {
    return (dir_ / name).string();
}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
    const fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string TempFolder::read(const std::string& name) const {
    return read_file(dir_ / name);
}

Files TempFolder::files() const {
    return listing(dir_, false);
}

Files TempFolder::entries() const {
    return listing(dir_, true);
}

void TempFolder::clear() const {
    allow_removal(dir_);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove_all(e.path());
}

}  // namespace vextal::test
