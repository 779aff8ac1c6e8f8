#include "support/temp_dir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orvanta::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const std::string base = (fs::temp_directory_path() / "orvanta-test-").generic_string() +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-";
  // A name taken already is skipped; a temporary folder that cannot be written ends the search.
  std::error_code error;
  do path_ = base + std::to_string(counter++);
  while (!fs::create_directory(path_, error) && !error);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Windows refuses to delete a read-only file: give write access back first.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

}  // namespace orvanta::test
