#include "platform/file_store.h"

#include <atomic>
#include <string_view>

#include "platform/file_primitives.h"
#include "platform/last_error.h"

namespace orvanta {

namespace {

using files::OpenFile;

std::atomic<unsigned> g_temporaryCounter{0};

// A temporary file that is removed again unless it was moved into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (!path_.empty()) files::RemoveFile(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void Track(const std::string& path) { path_ = path; }
  const std::string& Path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

std::string NameOf(const std::string& path) {
  size_t begin = path.size();
  while (begin > 0 && !IsFolderSeparator(path[begin - 1])) --begin;
  return path.substr(begin);
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Our temporaries for the file called base are "<base>.~<digits>-<digits>.tmp".
bool IsTemporaryOf(std::string_view name, std::string_view base) {
  const std::string_view suffix = ".tmp";
  if (name.size() < base.size() + 2 + suffix.size() || !files::SameFileName(name.substr(0, base.size()), base) ||
      name.substr(base.size(), 2) != ".~" || !files::SameFileName(name.substr(name.size() - suffix.size()), suffix)) {
    return false;
  }
  const std::string_view numbers = name.substr(base.size() + 2, name.size() - base.size() - 2 - suffix.size());
  const size_t dash = numbers.find('-');
  return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) && AllDigits(numbers.substr(dash + 1));
}

// Removes temporaries of path that writers killed before their move left
// behind. Only called under the lock, when no other writer of path is at work.
void RemoveStaleTemporaries(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string base = NameOf(path);
  for (const std::string& name : files::NamesStartingWith(folder, base + ".~")) {
    if (IsTemporaryOf(name, base)) files::RemoveFile(folder + '/' + name);
  }
}

// Creates a new temporary file beside path; the owner removes it again
// unless released.
bool CreateTemporary(const std::string& path, const files::Kept& kept, OpenFile& file, TemporaryFile& owner) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = path + ".~" + std::to_string(files::CurrentProcessId()) + "-" +
                                  std::to_string(g_temporaryCounter.fetch_add(1)) + ".tmp";
    switch (files::CreateNew(candidate, kept, file)) {
      case files::Created::kCreated: owner.Track(candidate); return true;
      case files::Created::kExists: break;
      case files::Created::kFailed: return false;
    }
  }
  SetLastError(error::kAlreadyExists);
  return false;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && !IsFolderSeparator(path[end - 1])) --end;
  if (end == 0) return ".";
  // The separator of a root ("/", "C:\") is part of the folder's name.
  if (end == 1 || (end == 3 && path[1] == ':')) return path.substr(0, end);
  return path.substr(0, end - 1);
}

bool MayReplaceFile(const std::string& path) {
  const std::string target = files::FollowLinks(path);
  files::Kept kept;
  OpenFile lock;
  // The lock file is made once and kept: taking it, for a moment, is the test.
  return files::Inspect(target, kept) && files::LockFile(target + ".lock", true, lock);
}

FileRead ReadWholeFile(const std::string& path, std::string& content) {
  OpenFile lock;
  files::LockFile(path + ".lock", false, lock);  // without it the file is read all the same
  return files::ReadUnlocked(path, content);
}

bool ReplaceWholeFile(const std::string& requested, const FileEdit& edit) {
  if (requested.empty()) {
    SetLastError(error::kPathNotFound);
    return false;
  }
  // A linked file stays linked: its target is replaced, in the target's folder.
  const std::string path = files::FollowLinks(requested);
  // The lock file is created once and left in place.
  OpenFile lock;
  if (!files::LockFile(path + ".lock", true, lock)) return false;

  RemoveStaleTemporaries(path);

  // The current content and what the replacement keeps, read inside the lock.
  files::Kept kept;
  if (!files::Inspect(path, kept)) return false;
  std::string current;
  if (kept.exists) {
    switch (files::ReadUnlocked(path, current)) {
      case FileRead::kRead: break;
      case FileRead::kMissing: kept = files::Kept(); break;
      case FileRead::kFailed: return false;
    }
  }

  std::string replacement;
  if (!edit(kept.exists, current, replacement)) return false;

  TemporaryFile temporary;
  OpenFile out;
  if (!CreateTemporary(path, kept, out, temporary)) return false;
  if (!files::WriteAll(out, replacement) || !files::FlushAndClose(out)) return false;
  if (!files::MoveOver(temporary.Path(), path)) return false;
  temporary.Release();
  files::SyncFolder(FolderOf(path));
  return true;
}

}  // namespace orvanta
