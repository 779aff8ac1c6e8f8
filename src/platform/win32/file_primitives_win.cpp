#include "platform/file_primitives.h"

#include <windows.h>

#include "platform/last_error.h"

namespace orvanta {

namespace files {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Some other program (a virus scanner, an editor, a reader of this very file)
// may hold the file open for a moment without sharing it; such an error is
// worth a few more tries before it counts.
bool IsPassing(DWORD err) {
  return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION || err == ERROR_ACCESS_DENIED;
}
constexpr int kTries = 10;
constexpr DWORD kPauseMs = 20;

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

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

}  // namespace

// Windows refuses to move a file over one that is open, so a reader holds
// the lock shared while it has the file open: a writer's move waits for it,
// and it waits for a writer's move.
bool LockFile(const std::string& lockPath, bool exclusive, OpenFile& lock) {
  lock.Reset(::CreateFileA(lockPath.c_str(), GENERIC_READ | (exclusive ? GENERIC_WRITE : 0), kShareAll, nullptr,
                           exclusive ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lock.Valid()) return false;
  OVERLAPPED where{};
  // Closing the handle releases the range again.
  return ::LockFileEx(lock.Get(), exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &where) != FALSE;
}

bool Inspect(const std::string& path, Kept& kept) {
  kept = Kept();
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    SetLastError(error::kAccessDenied);
    return false;
  }
  kept.exists = true;
  kept.bits = attributes & kKeptAttributes;
  return true;
}

FileRead ReadUnlocked(const std::string& path, std::string& content) {
  content.clear();
  OpenFile file;
  for (int attempt = 1;; ++attempt) {
    file.Reset(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
    if (file.Valid() || attempt == kTries || !IsPassing(::GetLastError())) break;
    // A folder is no file to read, and no waiting changes that.
    if (IsFolder(path)) {
      SetLastError(error::kAccessDenied);
      break;
    }
    ::Sleep(kPauseMs);
  }
  if (!file.Valid()) {
    const DWORD err = ::GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? FileRead::kMissing : FileRead::kFailed;
  }
  if (!ReadToEnd(file.Get(), content)) {
    content.clear();
    return FileRead::kFailed;
  }
  return FileRead::kRead;
}

Created CreateNew(const std::string& path, const Kept& kept, OpenFile& file) {
  file.Reset(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           kept.bits != 0 ? kept.bits : FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Valid()) return Created::kCreated;
  const DWORD err = ::GetLastError();
  return err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS ? Created::kExists : Created::kFailed;
}

bool WriteAll(OpenFile& file, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const size_t chunk = content.size() - done > 1u << 20 ? 1u << 20 : content.size() - done;
    DWORD count = 0;
    if (!::WriteFile(file.Get(), content.data() + done, static_cast<DWORD>(chunk), &count, nullptr)) return false;
    done += count;
  }
  return true;
}

bool FlushAndClose(OpenFile& file) { return ::FlushFileBuffers(file.Get()) && file.Close(); }

bool MoveOver(const std::string& from, const std::string& to) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (attempt == kTries || !IsPassing(::GetLastError())) return false;
    ::Sleep(kPauseMs);
  }
}

void RemoveFile(const std::string& path) {
  LastErrorKeeper keep;
  ::DeleteFileA(path.c_str());
}

void SyncFolder(const std::string&) {}  // MOVEFILE_WRITE_THROUGH made the move durable

std::vector<std::string> NamesStartingWith(const std::string& folder, std::string_view prefix) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  Search search(folder + "\\" + std::string(prefix) + "*", data);
  if (!search.Found()) return names;
  do {
    names.emplace_back(data.cFileName);
  } while (search.Next(data));
  return names;
}

bool SameFileName(std::string_view a, std::string_view b) {
  return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

std::string FollowLinks(const std::string& path) { return path; }  // links are rare here; the file is replaced

}  // namespace files

const char* NativeLineBreak() { return "\r\n"; }

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace orvanta
