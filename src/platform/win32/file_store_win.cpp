#include "platform/file_store.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string_view>

#include "platform/last_error.h"

namespace orvanta {

namespace {

// Owns a file handle. On Windows the last-error value is the system's own, so
// every cleanup below keeps it as the failing call left it.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~FileHandle() {
    LastErrorKeeper keep;  // a failure's reason outlives the cleanup
    Close();
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  // Closes now and reports whether the close itself went well.
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const BOOL closed = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }

 private:
  HANDLE handle_;
};

// Holds a byte-range lock on an open file until destroyed: exclusive for a
// writer, shared for a reader. The system also drops it when the handle
// closes or the process ends.
class RangeLock {
 public:
  RangeLock() = default;
  ~RangeLock() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      LastErrorKeeper keep;
      OVERLAPPED where{};
      ::UnlockFileEx(handle_, 0, 1, 0, &where);
    }
  }
  RangeLock(const RangeLock&) = delete;
  RangeLock& operator=(const RangeLock&) = delete;

  bool Acquire(HANDLE handle, bool exclusive) {
    OVERLAPPED where{};
    if (!::LockFileEx(handle, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &where)) return false;
    handle_ = handle;
    return true;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A temporary file that is deleted again unless it was moved into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (!path_.empty()) {
      LastErrorKeeper keep;
      ::DeleteFileA(path_.c_str());
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void Track(const std::string& path) { path_ = path; }
  const std::string& Path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

std::atomic<unsigned> g_temporaryCounter{0};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Reads from an open file until its end; at most kMaxStoredFileSize bytes.
bool ReadToEnd(HANDLE file, std::string& content) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) return false;
  if (static_cast<unsigned long long>(size.QuadPart) > kMaxStoredFileSize) {
    SetLastError(error::kNotEnoughMemory);
    return false;
  }
  content.reserve(static_cast<size_t>(size.QuadPart));
  char buffer[16384];
  for (;;) {
    DWORD count = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &count, nullptr)) return false;
    if (count == 0) return true;
    if (content.size() + count > kMaxStoredFileSize) {
      SetLastError(error::kNotEnoughMemory);  // it grew while we read it
      return false;
    }
    content.append(buffer, count);
  }
}

bool WriteAll(HANDLE file, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const size_t chunk = content.size() - done > 1u << 20 ? 1u << 20 : content.size() - done;
    DWORD count = 0;
    if (!::WriteFile(file, content.data() + done, static_cast<DWORD>(chunk), &count, nullptr)) return false;
    done += count;
  }
  return true;
}

// Whether name is one of our temporaries for the file called base:
// "<base>.~<digits>-<digits>.tmp" (names compared without regard to case).
bool IsTemporaryOf(std::string_view name, std::string_view base) {
  if (name.size() < base.size() + 2 || ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.data(),
                                                         static_cast<int>(base.size()), base.data(),
                                                         static_cast<int>(base.size())) != CSTR_EQUAL ||
      name.substr(base.size(), 2) != ".~") {
    return false;
  }
  name.remove_prefix(base.size() + 2);
  size_t i = 0;
  for (int part = 0; part < 2; ++part) {
    const size_t digits = i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    if (i == digits || i == name.size() || name[i] != (part == 0 ? '-' : '.')) return false;
    ++i;
  }
  const std::string_view extension = name.substr(i);
  return extension.size() == 3 && (extension[0] | 0x20) == 't' && (extension[1] | 0x20) == 'm' &&
         (extension[2] | 0x20) == 'p';
}

// Owns a directory search.
class Search {
 public:
  Search(const std::string& pattern, WIN32_FIND_DATAA& data) : handle_(::FindFirstFileA(pattern.c_str(), &data)) {}
  ~Search() {
    if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
  }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;
  bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA& data) { return ::FindNextFileA(handle_, &data) != FALSE; }

 private:
  HANDLE handle_;
};

// Removes temporaries of path that writers killed before their move left
// behind. Only called under the lock, when no other writer of path is at work.
void RemoveStaleTemporaries(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  const std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
  const std::string_view base = std::string_view(path).substr(folder.size());
  WIN32_FIND_DATAA data;
  Search search(path + ".~*.tmp", data);
  if (!search.Found()) return;
  do {
    if (IsTemporaryOf(data.cFileName, base)) ::DeleteFileA((folder + data.cFileName).c_str());
  } while (search.Next(data));
}

// Some other program (a virus scanner, an editor, a reader of this very file)
// may hold the file open for a moment without sharing it; such an error is
// worth a few more tries before it counts.
bool IsPassing(DWORD err) {
  return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION || err == ERROR_ACCESS_DENIED;
}
constexpr int kTries = 10;
constexpr DWORD kPauseMs = 20;

// Creates a new temporary file beside path; the owner deletes it again unless released.
bool CreateTemporary(const std::string& path, DWORD attributes, FileHandle& file, TemporaryFile& owner) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".~%lu-%u.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                  g_temporaryCounter.fetch_add(1));
    const std::string candidate = path + suffix;
    const HANDLE created =
        ::CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
      file.Reset(created);
      owner.Track(candidate);
      return true;
    }
    const DWORD err = ::GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) return false;
  }
  SetLastError(error::kAlreadyExists);
  return false;
}

FileRead ReadUnlocked(const std::string& path, std::string& content) {
  content.clear();
  FileHandle file;
  for (int attempt = 1;; ++attempt) {
    file.Reset(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
    if (file.Valid() || attempt == kTries || !IsPassing(::GetLastError())) break;
    // A folder is no file to read, and no waiting changes that.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      SetLastError(error::kAccessDenied);
      break;
    }
    ::Sleep(kPauseMs);
  }
  if (!file.Valid()) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return FileRead::kMissing;
    return FileRead::kFailed;
  }
  if (!ReadToEnd(file.Get(), content)) {
    LastErrorKeeper keep;
    content.clear();
    return FileRead::kFailed;
  }
  return FileRead::kRead;
}

}  // namespace

// Windows refuses to move a file over one that is open, so a reader holds the
// lock shared while it has the file open: a writer's move waits for it, and
// it waits for a writer's move. Without a lock file no writer of ours has ever
// come by, and a reader needs none.
FileRead ReadWholeFile(const std::string& path, std::string& content) {
  FileHandle lockFile(::CreateFileA((path + ".lock").c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  RangeLock lock;
  if (lockFile.Valid()) lock.Acquire(lockFile.Get(), false);
  return ReadUnlocked(path, content);
}

bool ReplaceWholeFile(const std::string& path, const FileEdit& edit) {
  if (path.empty()) {
    SetLastError(error::kPathNotFound);
    return false;
  }

  // The lock: created once and left in place; the system drops a byte-range
  // lock when its handle closes, also when the process is killed.
  const std::string lockPath = path + ".lock";
  FileHandle lockFile(::CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lockFile.Valid()) return false;
  RangeLock lock;
  if (!lock.Acquire(lockFile.Get(), true)) return false;

  RemoveStaleTemporaries(path);

  // The current content and attributes, read inside the lock.
  bool exists = false;
  DWORD keptAttributes = 0;
  std::string current;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    exists = true;
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      SetLastError(error::kAccessDenied);
      return false;
    }
    keptAttributes = attributes & kKeptAttributes;
    switch (ReadUnlocked(path, current)) {
      case FileRead::kRead: break;
      case FileRead::kMissing: exists = false; break;
      case FileRead::kFailed: return false;
    }
  } else {
    const DWORD err = ::GetLastError();
    if (err != ERROR_FILE_NOT_FOUND) return false;
  }

  std::string replacement;
  if (!edit(exists, current, replacement)) return false;

  TemporaryFile temporary;
  FileHandle out;
  if (!CreateTemporary(path, keptAttributes != 0 ? keptAttributes : FILE_ATTRIBUTE_NORMAL, out, temporary)) {
    return false;
  }
  if (!WriteAll(out.Get(), replacement) || !::FlushFileBuffers(out.Get()) || !out.Close()) return false;
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExA(temporary.Path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      break;
    }
    if (attempt == kTries || !IsPassing(::GetLastError())) return false;
    ::Sleep(kPauseMs);
  }
  temporary.Release();
  return true;
}

const char* NativeLineBreak() { return "\r\n"; }

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace orvanta
