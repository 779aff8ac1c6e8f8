// Whole-file storage for the settings file: read a file in one piece, and
// replace a file's whole content so that every reader sees either the old file
// or the new one, never a mixture, even when the writer dies half-way.
//
// A replacement happens under an exclusive lock on the sidecar file
// "<path>.lock" that other processes honour too (flock on POSIX, LockFileEx on
// Windows); the operating system drops it when its holder ends, however it
// ends, so a lock file left behind never blocks anyone. Inside the lock the
// current content is read, the caller's edit builds the new content, the new
// content goes to a temporary file in the same folder, is flushed to the disk
// and renamed over the file. The sidecar file stays in the folder.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace orvanta {

enum class FileRead {
  kRead,     // content holds the whole file
  kMissing,  // no such file (or no such folder): for a reader, an empty file
  kFailed,   // it exists but cannot be read; the last-error value says why
};

// Files larger than this are not read (last error 8, not enough memory).
constexpr size_t kMaxStoredFileSize = 16u * 1024u * 1024u;

// Reads the whole file at path into content (emptied first).
FileRead ReadWholeFile(const std::string& path, std::string& content);

// Builds the new content of a file from its current one: exists is false (and
// current empty) when there is no file yet. Returns false to abandon the
// replacement, with the last-error value set; nothing is written then.
using FileEdit = std::function<bool(bool exists, const std::string& current, std::string& replacement)>;

// Replaces the whole content of the file at path as described above.
// Fails (false and the last-error value) without touching the file when:
// the folder does not exist (3, path not found); the file is read-only, by its
// attribute or mode bits, whoever the caller is, or is a folder (5, access
// denied); the edit refuses; or any step of the write fails. No temporary file
// is left behind on any path. On POSIX the replacement keeps the old file's
// permission bits (and its owner, where the caller may set it); on Windows its
// hidden, system and archive attributes. A new file gets the default mode. A
// path that is a symbolic link (POSIX) stays one: the file it leads to is
// replaced, in that file's folder.
bool ReplaceWholeFile(const std::string& path, const FileEdit& edit);

// Whether this process may replace the file at path: it may create files in
// its folder (the lock file and the temporary beside the file).
bool MayReplaceFile(const std::string& path);

// The line break of a new file on this platform: "\r\n" on Windows, "\n" elsewhere.
const char* NativeLineBreak();

// Whether c separates folders in a path: '/' everywhere, and '\\' on Windows.
bool IsFolderSeparator(char c);

// The folder a path lies in: "." for a bare name; a root keeps its separator
// ("/", "C:\\").
std::string FolderOf(const std::string& path);

}  // namespace orvanta
