#include "ui/program_version.h"

#include <windows.h>

#include <memory>
#include <new>

#include "platform/process.h"

namespace orvanta {

bool GetProgramVersion(uint32_t& versionHigh, uint32_t& versionLow) {
  const std::string path = ExecutablePath();
  if (path.empty()) return false;
  return GetFileProductVersion(path, versionHigh, versionLow);
}

bool GetFileProductVersion(const std::string& path, uint32_t& versionHigh, uint32_t& versionLow) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return false;
  std::unique_ptr<char[]> block(new (std::nothrow) char[size + 2]);
  if (!block) return false;
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.get())) return false;
  void* fixed = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(block.get(), "\\", &fixed, &length) || fixed == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  versionHigh = info->dwProductVersionMS;
  versionLow = info->dwProductVersionLS;
  return true;
}

}  // namespace orvanta
