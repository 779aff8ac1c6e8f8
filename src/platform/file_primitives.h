// The per-OS steps that the whole-file replace (file_store.cpp) is made of.
// Only the platform layer includes this header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_store.h"

#ifdef _WIN32
#include "platform/win32/unique_handle.h"
#else
#include "platform/posix/unique_fd.h"
#endif

namespace orvanta::files {

#ifdef _WIN32
using OpenFile = UniqueHandle;
#else
using OpenFile = posix::UniqueFd;
#endif

// Takes the lock file at lockPath for as long as lock stays open; the system
// drops it when its holder ends, however it ends. A writer's lock is
// exclusive and creates the lock file. A reader's lock is shared and is only
// needed where an open file cannot be replaced (Windows); where no lock file
// exists no writer of ours has ever come by, and a reader needs none.
bool LockFile(const std::string& lockPath, bool exclusive, OpenFile& lock);

// What a replacement keeps of the file it replaces: its permission bits and
// owner (POSIX), or its hidden, system, archive and not-indexed attributes.
struct Kept {
  bool exists = false;
  uint32_t bits = 0;
  uint32_t owner = 0;
  uint32_t group = 0;
};

// Looks at the file about to be replaced. A missing file is fine (exists
// false); a folder or a read-only file, whoever the caller is, is refused
// with 5 (access denied); any other failure with its code.
bool Inspect(const std::string& path, Kept& kept);

// Reads the whole file (at most kMaxStoredFileSize bytes), without a lock.
FileRead ReadUnlocked(const std::string& path, std::string& content);

// Creates path as a new file with what kept holds. kExists when a file of
// that name is already there.
enum class Created { kCreated, kExists, kFailed };
Created CreateNew(const std::string& path, const Kept& kept, OpenFile& file);

bool WriteAll(OpenFile& file, const std::string& content);
// Flushes the file to the disk and closes it; false when either fails.
bool FlushAndClose(OpenFile& file);
// Puts from in the place of to in one step.
bool MoveOver(const std::string& from, const std::string& to);
// Removes a file; keeps the last-error value.
void RemoveFile(const std::string& path);
// Makes a rename inside folder durable.
void SyncFolder(const std::string& folder);

// The names in folder that begin with prefix, compared as the platform
// compares file names.
std::vector<std::string> NamesStartingWith(const std::string& folder, std::string_view prefix);
bool SameFileName(std::string_view a, std::string_view b);

uint32_t CurrentProcessId();

// The file a path stands for: a symbolic link followed to its end (its
// target need not exist yet), anything else as it is.
std::string FollowLinks(const std::string& path);

}  // namespace orvanta::files
