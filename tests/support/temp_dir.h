// A fresh, empty folder for one test, removed with everything in it (read-only
// files too) at the end; and byte-exact file access for the tests.
#pragma once

#include <string>
#include <vector>

namespace orvanta::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // The path of a file in the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
void MakeReadOnly(const std::string& path);

}  // namespace orvanta::test
