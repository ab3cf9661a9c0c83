// A folder of its own for the files of one test, under the system's folder
// for temporary files, removed with everything in it when the test is done.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace vextal::test {

/// Files by their path relative to a folder, with their bytes.
using Files = std::map<std::string, std::string>;

/// Every byte of a file; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

/// "Suite.Name" of the test that is running.
std::string current_test_name();

class TempFolder {
  public:
    /// A fresh, empty folder under a name no other folder has.
    TempFolder();
    /// The empty folder `name` of this build: the same folder in a death
    /// test's child, which on Windows runs the test again from its start.
    explicit TempFolder(const std::string& name);
    /// Removes the folder, giving back first any write permission a test
    /// took away.
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return dir_; }
    /// The path of `name` in the folder.
    std::string file(const std::string& name) const;
    /// Creates a file (and its folders) with exactly these bytes.
    void write(const std::string& name, const std::string& bytes) const;
    /// Every byte of the file `name` in the folder.
    std::string read(const std::string& name) const;
    /// Every file below the folder, by its path relative to it ('/'
    /// separated), with its bytes.
    Files files() const;
    /// As files, with each folder below it too, as "<dir>".
    Files entries() const;
    /// Removes everything in the folder.
    void clear() const;

  private:
    std::filesystem::path dir_;
};

}  // namespace vextal::test
