// A fresh, empty folder for one test, removed with everything in it (read-only
// files too) at the end; and byte-exact file access for the tests.
#pragma once

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace orvanta::test {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> counter{0};
    const std::string base = (fs::temp_directory_path() / "orvanta-test-").generic_string();
    // A name taken already (by another test program, or left by one that
    // crashed) is skipped; a temporary folder that cannot be written ends the search.
    std::error_code error;
    do path_ = base + std::to_string(counter++);
    while (!fs::create_directory(path_, error) && !error);
  }
  ~TempDir() {
    std::error_code ignored;
    // Windows refuses to delete a read-only file: give write access back first.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // The path of a file in the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

}  // namespace orvanta::test
