#include "settings/settings_file.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/file_store.h"
#include "platform/last_error.h"
#include "settings/settings_keys.h"
#include "settings/struct_encoding.h"

namespace orvanta {

namespace {

// Finds the raw value of a key in the file as it is now.
bool FindRaw(const IniDocument& document, const char* section, const char* key, std::string_view& raw) {
  return section != nullptr && key != nullptr && document.Find(section, key, raw);
}

bool IsWritable(const SettingsChange& change) {
  return IsWritableSection(change.section) && IsWritableKey(change.key) && IsWritableValue(change.value);
}

}  // namespace

std::string SettingsFile::PathForExecutable(const std::string& executablePath) {
  size_t nameBegin = executablePath.size();
  while (nameBegin > 0 && !IsFolderSeparator(executablePath[nameBegin - 1])) --nameBegin;
  if (nameBegin == executablePath.size()) return std::string();  // no file name

  const size_t dot = executablePath.rfind('.');
  std::string path;
  if (dot != std::string::npos && dot > nameBegin) {
    path = executablePath.substr(0, dot + 1) + "ini";
  } else {
    path = executablePath + ".ini";
  }
  if (path.size() + 1 > kMaxSettingsPath || path.find('\0') != std::string::npos) return std::string();
  return path;
}

IniDocument SettingsFile::Snapshot() const {
  LastErrorKeeper keep;  // a read never changes the caller's last-error value
  std::string text;
  if (path_.empty() || ReadWholeFile(path_, text) != FileRead::kRead) return IniDocument();
  return IniDocument(std::move(text));
}

uint32_t SettingsFile::GetInt(const char* section, const char* key, int32_t defaultValue) const {
  const IniDocument document = Snapshot();
  std::string_view raw;
  if (!FindRaw(document, section, key, raw)) return static_cast<uint32_t>(defaultValue);
  const std::string_view value = StripQuotes(raw);
  if (value.empty()) return static_cast<uint32_t>(defaultValue);
  return LeadingInteger(value);
}

uint32_t SettingsFile::GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                 uint32_t size) const {
  if (buffer == nullptr || size == 0) return 0;
  const IniDocument document = Snapshot();
  std::string_view raw;
  std::string_view value;
  if (FindRaw(document, section, key, raw)) {
    value = StripQuotes(raw);
  } else if (defaultValue != nullptr) {
    value = defaultValue;
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  }
  const size_t count = std::min<size_t>(value.size(), size - 1);
  if (count != 0) std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
  return static_cast<uint32_t>(count);
}

std::string SettingsFile::GetString(const char* section, const char* key, uint32_t size) const {
  if (size == 0) return std::string();
  std::string buffer(size, '\0');
  buffer.resize(GetString(section, key, "", &buffer[0], size));
  return buffer;
}

bool SettingsFile::GetStruct(const char* section, const char* key, void* data, uint32_t size) const {
  const IniDocument document = Snapshot();
  std::string_view raw;
  if (!FindRaw(document, section, key, raw)) {
    SetLastError(kStructErrorBadLength);
    return false;
  }
  const std::string value(StripQuotes(raw));
  if (value.size() != 2 * static_cast<size_t>(size) + 2) {
    SetLastError(kStructErrorBadLength);
    return false;
  }
  if (!DecodeStruct(value, data, size)) {
    SetLastError(kStructErrorInvalidData);
    return false;
  }
  return true;
}

bool SettingsFile::WriteString(const char* section, const char* key, const char* value) const {
  if (section == nullptr || key == nullptr || value == nullptr) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  return Write({SettingsChange{section, key, value}});
}

bool SettingsFile::WriteStruct(const char* section, const char* key, const void* data, uint32_t size) const {
  if (data == nullptr && size != 0) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  return WriteString(section, key, EncodeStruct(data, size).c_str());
}

bool SettingsFile::Write(const std::vector<SettingsChange>& changes) const {
  if (!std::all_of(changes.begin(), changes.end(), IsWritable)) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  if (changes.empty()) return true;
  if (path_.empty()) {
    SetLastError(error::kPathNotFound);
    return false;
  }
  return ReplaceWholeFile(path_, [&changes](bool, const std::string& current, std::string& replacement) {
    IniDocument document(current);
    for (const SettingsChange& change : changes) {
      document.Set(change.section, change.key, change.value, NativeLineBreak());
    }
    replacement = document.Text();
    return true;
  });
}

}  // namespace orvanta
