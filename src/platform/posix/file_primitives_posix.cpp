#include "platform/file_primitives.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"

namespace orvanta {

namespace files {

namespace {

// Owns an open directory stream.
class Folder {
 public:
  explicit Folder(const std::string& path) : dir_(::opendir(path.c_str())) {}
  ~Folder() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  DIR* Get() const { return dir_; }

 private:
  DIR* dir_;
};

bool Fail() {
  posix::SetLastErrorFromErrno();
  return false;
}

// Reads from fd until its end; at most kMaxStoredFileSize bytes of a regular file.
bool ReadToEnd(int fd, std::string& content) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return Fail();
  if (!S_ISREG(status.st_mode)) {
    SetLastError(error::kAccessDenied);
    return false;
  }
  if (static_cast<unsigned long long>(status.st_size) > kMaxStoredFileSize) {
    SetLastError(error::kNotEnoughMemory);
    return false;
  }
  content.reserve(static_cast<size_t>(status.st_size));
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    if (count == 0) return true;
    if (content.size() + static_cast<size_t>(count) > kMaxStoredFileSize) {
      SetLastError(error::kNotEnoughMemory);  // it grew while we read it
      return false;
    }
    content.append(buffer, static_cast<size_t>(count));
  }
}

}  // namespace

bool LockFile(const std::string& lockPath, bool exclusive, OpenFile& lock) {
  // A rename is atomic here: readers need no lock.
  if (!exclusive) return true;
  lock = OpenFile(::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
  if (!lock.Valid()) {
    const int err = errno;
    SetLastError(err == ENOENT ? error::kPathNotFound : posix::TranslateErrno(err));
    return false;
  }
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return Fail();
  }
  return true;
}

bool Inspect(const std::string& path, Kept& kept) {
  kept = Kept();
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return true;
    return Fail();
  }
  // Read-only means read-only, also for root, who could write anyway.
  if (!S_ISREG(status.st_mode) || (status.st_mode & 0222) == 0 ||
      ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    SetLastError(error::kAccessDenied);
    return false;
  }
  kept.exists = true;
  kept.bits = status.st_mode & 07777;
  kept.owner = status.st_uid;
  kept.group = status.st_gid;
  return true;
}

FileRead ReadUnlocked(const std::string& path, std::string& content) {
  content.clear();
  const OpenFile fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) {
      SetLastError(error::kFileNotFound);
      return FileRead::kMissing;
    }
    SetLastError(posix::TranslateErrno(err));
    return FileRead::kFailed;
  }
  if (!ReadToEnd(fd.Get(), content)) {
    content.clear();
    return FileRead::kFailed;
  }
  return FileRead::kRead;
}

Created CreateNew(const std::string& path, const Kept& kept, OpenFile& file) {
  // A new file gets the default mode (0666 less the umask); a replacement
  // the mode and, where we may set it, the owner of the file it replaces.
  file = OpenFile(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
  if (!file.Valid()) {
    if (errno == EEXIST) return Created::kExists;
    Fail();
    return Created::kFailed;
  }
  if (kept.exists && (::fchmod(file.Get(), kept.bits) != 0 ||
                      (::geteuid() == 0 && ::fchown(file.Get(), kept.owner, kept.group) != 0))) {
    Fail();
    file.Reset();
    RemoveFile(path);
    return Created::kFailed;
  }
  return Created::kCreated;
}

bool WriteAll(OpenFile& file, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t count = ::write(file.Get(), content.data() + done, content.size() - done);
    if (count < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    done += static_cast<size_t>(count);
  }
  return true;
}

bool FlushAndClose(OpenFile& file) {
  if (::fsync(file.Get()) != 0) return Fail();
  if (!file.Close()) return Fail();
  return true;
}

bool MoveOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 || Fail();
}

void RemoveFile(const std::string& path) {
  LastErrorKeeper keep;
  ::unlink(path.c_str());
}

void SyncFolder(const std::string& folder) {
  // A failure here loses nothing already done.
  const OpenFile fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Valid()) ::fsync(fd.Get());
}

std::vector<std::string> NamesStartingWith(const std::string& folder, std::string_view prefix) {
  std::vector<std::string> names;
  Folder listing(folder);
  if (listing.Get() == nullptr) return names;
  while (const dirent* entry = ::readdir(listing.Get())) {
    const std::string_view name(entry->d_name);
    if (name.substr(0, prefix.size()) == prefix) names.emplace_back(name);
  }
  return names;
}

bool SameFileName(std::string_view a, std::string_view b) { return a == b; }

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {  // the kernel's own limit on a chain of links
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
    std::string target(static_cast<size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
    const ssize_t length = ::readlink(current.c_str(), &target[0], target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) return current;
    target.resize(static_cast<size_t>(length));
    current = target[0] == '/' ? target : FolderOf(current) + "/" + target;
  }
  return current;  // a loop: the write fails on it as it would anyway
}

}  // namespace files

const char* NativeLineBreak() { return "\n"; }

bool IsFolderSeparator(char c) { return c == '/'; }

}  // namespace orvanta
