#include "platform/file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"

namespace orvanta {

namespace {

// Owns a file descriptor; closing also drops a flock held through it.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now and reports whether the close itself went well.
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

// A temporary file that is removed again unless it was renamed into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (!path_.empty()) {
      LastErrorKeeper keep;
      ::unlink(path_.c_str());
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

// Reads from fd until its end; at most kMaxStoredFileSize bytes.
bool ReadToEnd(int fd, std::string& content) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    posix::SetLastErrorFromErrno();
    return false;
  }
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
      posix::SetLastErrorFromErrno();
      return false;
    }
    if (count == 0) return true;
    if (content.size() + static_cast<size_t>(count) > kMaxStoredFileSize) {
      SetLastError(error::kNotEnoughMemory);  // it grew while we read it
      return false;
    }
    content.append(buffer, static_cast<size_t>(count));
  }
}

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t count = ::write(fd, content.data() + done, content.size() - done);
    if (count < 0) {
      if (errno == EINTR) continue;
      posix::SetLastErrorFromErrno();
      return false;
    }
    done += static_cast<size_t>(count);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string_view NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

// Makes the rename itself durable; a failure here loses nothing already done.
void SyncFolder(const std::string& path) {
  Descriptor fd(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Valid()) ::fsync(fd.Get());
}

// Whether name is one of our temporaries for the file called base:
// "<base>.~<digits>-<digits>.tmp".
bool IsTemporaryOf(std::string_view name, std::string_view base) {
  if (name.substr(0, base.size()) != base || name.substr(base.size(), 2) != ".~") return false;
  name.remove_prefix(base.size() + 2);
  size_t i = 0;
  for (int part = 0; part < 2; ++part) {
    const size_t digits = i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    if (i == digits || i == name.size() || name[i] != (part == 0 ? '-' : '.')) return false;
    ++i;
  }
  return name.substr(i) == "tmp";
}

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

// Removes temporaries of path that writers killed before their rename left
// behind. Only called under the lock, when no other writer of path is at work.
void RemoveStaleTemporaries(const std::string& path) {
  Folder folder(FolderOf(path));
  if (folder.Get() == nullptr) return;
  while (const dirent* entry = ::readdir(folder.Get())) {
    if (IsTemporaryOf(entry->d_name, NameOf(path))) ::unlinkat(::dirfd(folder.Get()), entry->d_name, 0);
  }
}

// Creates a new temporary file beside path, with the default mode for new
// files (0666 less the umask); the owner removes it again unless released.
bool CreateTemporary(const std::string& path, Descriptor& fd, TemporaryFile& owner) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".~%ld-%u.tmp", static_cast<long>(::getpid()),
                  g_temporaryCounter.fetch_add(1));
    const std::string candidate = path + suffix;
    const int created = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (created >= 0) {
      fd.Reset(created);
      owner.Track(candidate);
      return true;
    }
    if (errno != EEXIST) {
      posix::SetLastErrorFromErrno();
      return false;
    }
  }
  SetLastError(error::kAlreadyExists);
  return false;
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
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

bool ReplaceWholeFile(const std::string& path, const FileEdit& edit) {
  if (path.empty()) {
    SetLastError(error::kPathNotFound);
    return false;
  }

  // The lock: created once and left in place; flock is dropped by the kernel
  // when the descriptor closes, also when the process is killed.
  const std::string lockPath = path + ".lock";
  Descriptor lock(::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
  if (!lock.Valid()) {
    const int err = errno;
    SetLastError(err == ENOENT ? error::kPathNotFound : posix::TranslateErrno(err));
    return false;
  }
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      posix::SetLastErrorFromErrno();
      return false;
    }
  }

  RemoveStaleTemporaries(path);

  // The current content and mode, read inside the lock.
  bool exists = false;
  struct stat status {};
  std::string current;
  {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Valid()) {
      exists = true;
      if (::fstat(file.Get(), &status) != 0) {
        posix::SetLastErrorFromErrno();
        return false;
      }
      // Read-only means read-only, also for root, who could write anyway.
      if (!S_ISREG(status.st_mode) || (status.st_mode & 0222) == 0 ||
          ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        SetLastError(error::kAccessDenied);
        return false;
      }
      if (!ReadToEnd(file.Get(), current)) return false;
    } else if (errno != ENOENT) {
      posix::SetLastErrorFromErrno();
      return false;
    }
  }

  std::string replacement;
  if (!edit(exists, current, replacement)) return false;

  TemporaryFile temporary;
  Descriptor out;
  if (!CreateTemporary(path, out, temporary)) return false;
  if (!WriteAll(out.Get(), replacement)) return false;
  if (exists) {
    if (::fchmod(out.Get(), status.st_mode & 07777) != 0) {
      posix::SetLastErrorFromErrno();
      return false;
    }
    if (::geteuid() == 0 && ::fchown(out.Get(), status.st_uid, status.st_gid) != 0) {
      posix::SetLastErrorFromErrno();
      return false;
    }
  }
  if (::fsync(out.Get()) != 0 || !out.Close()) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  if (::rename(temporary.Path().c_str(), path.c_str()) != 0) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  temporary.Release();
  SyncFolder(path);
  return true;
}

const char* NativeLineBreak() { return "\n"; }

bool IsFolderSeparator(char c) { return c == '/'; }

}  // namespace orvanta
