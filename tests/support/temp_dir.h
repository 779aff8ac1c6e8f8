// A fresh, empty folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

namespace orvanta::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace orvanta::test
