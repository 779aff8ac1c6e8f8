// The settings file: one INI file beside the executable, read and written
// with the semantics of the Windows profile functions on every platform.
//
// Nothing is cached: every read opens the file afresh, so a change made by
// another process (or by hand) counts at the next read. A missing or
// unreadable file reads as a file without keys. Every write replaces the
// whole file atomically under a lock that other processes honour as well
// (platform/file_store.h), and changes nothing but its own key's line; see
// settings/ini_document.h for the reading and editing rules.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/ini_document.h"

namespace orvanta {

// One key to set, for a write of several keys at once.
struct SettingsChange {
  std::string section, key, value;
};

class SettingsFile {
 public:
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The settings path of an executable: beside it, its file name with the
  // extension replaced by "ini" (C:\Tools\sync.exe -> C:\Tools\sync.ini), or
  // ".ini" appended when the file name has no extension (/usr/bin/orvanta ->
  // /usr/bin/orvanta.ini). A dot in a folder name, or the leading dot of a
  // hidden file's name, is not an extension. Folders are separated by '/'
  // and, on Windows, also by '\\'. When the result would not fit in 260
  // characters with its terminator (or the path names no file), the answer is
  // the empty string: reads then give the defaults and writes fail (3).
  static std::string PathForExecutable(const std::string& executablePath);

  // GetPrivateProfileIntA: the leading decimal integer of the value (blanks,
  // an optional sign, digits; no digits give 0), as an unsigned 32-bit number
  // ("-1" gives 0xFFFFFFFF); defaultValue when the key is missing or empty.
  uint32_t GetInt(const char* section, const char* key, int32_t defaultValue) const;

  // GetPrivateProfileStringA: copies the value (blanks and one pair of
  // enclosing quotes removed), or the default less its trailing blanks when
  // the key is missing, into buffer, cut to size - 1 characters and
  // terminated; returns the number of characters copied (0 for size 0).
  uint32_t GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                     uint32_t size) const;

  // The same into a string, with the default "" and a buffer of size characters.
  std::string GetString(const char* section, const char* key, uint32_t size) const;

  // GetPrivateProfileStructA: fills data from the structure encoding
  // (settings/struct_encoding.h). False, with data untouched, when the key is
  // missing or its length wrong (last error 24), or a digit or the checksum
  // is wrong (13).
  bool GetStruct(const char* section, const char* key, void* data, uint32_t size) const;

  // WritePrivateProfileStringA: creates the file, section or key as needed
  // and sets the value; an empty value leaves "key=" in the file. Refused with
  // last error 87 when a name or the value is null or contains CR, LF or NUL,
  // a key contains '=' or starts with ';' or '[', a section contains ']', or a
  // name is blank. Other failures: see ReplaceWholeFile (3, 5, ...).
  bool WriteString(const char* section, const char* key, const char* value) const;

  // WritePrivateProfileStructA: the structure encoding of size bytes at data.
  bool WriteStruct(const char* section, const char* key, const void* data, uint32_t size) const;

  // Sets several keys, in order, in ONE atomic replacement of the file: a
  // reader sees all of them or none. Refused as a whole (87) when any change
  // could not be written alone.
  bool Write(const std::vector<SettingsChange>& changes) const;

  // The file as it is now, for a reader that looks up many keys from one
  // reading (empty when the file is missing or unreadable).
  IniDocument Snapshot() const;

 private:
  std::string path_;
};

}  // namespace orvanta
