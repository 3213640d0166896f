#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_attributes-posix.h"
#include "platform/folder.h"
#include "platform/path-posix.h"

namespace {

struct Listing {
  int folder;  // each entry is looked up from the open folder, never by a path through it
  std::vector<std::string> names;
  size_t next = 0;
};

int FdOf(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }

HANDLE HandleOf(int fd) {
  return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Returns whether the open folder is mounted in its place rather than made there: as a junction
// or mount point on Windows, what it holds is somebody else's.
bool IsMountedHere(int fd) {
  // The mount id tells a bind mount of the same file system too, where the kernel knows it.
  struct statx self;
  struct statx parent;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &self) == 0 &&
      statx(fd, "..", 0, STATX_MNT_ID, &parent) == 0 && (self.stx_mask & STATX_MNT_ID) &&
      (parent.stx_mask & STATX_MNT_ID)) {
    return self.stx_mnt_id != parent.stx_mnt_id;
  }
  struct stat self_stat;
  struct stat parent_stat;
  return fstat(fd, &self_stat) != 0 || fstatat(fd, "..", &parent_stat, 0) != 0 ||
         self_stat.st_dev != parent_stat.st_dev;
}

// Returns the folder open as fd, or INVALID_HANDLE_VALUE (fd closed) when it is mounted there.
HANDLE OurFolder(int fd) {
  if (fd >= 0 && IsMountedHere(fd)) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  return HandleOf(fd);
}

// Fills entry with the next name that can still be queried; false when none is left.
bool Deliver(Listing* listing, WIN32_FIND_DATAA* entry) {
  while (listing->next < listing->names.size()) {
    const std::string& name = listing->names[listing->next++];
    struct stat st;
    const DWORD attributes = AttributesAt(listing->folder, name.c_str(), &st);
    if (attributes == INVALID_FILE_ATTRIBUTES || name.size() >= sizeof entry->cFileName) continue;
    FillFindData(attributes, st, entry);
    std::memcpy(entry->cFileName, name.c_str(), name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

HANDLE OpenFolder(const char* path) {
  return OurFolder(open(ToPosixPath(path).c_str(), kFolderFlags));
}

HANDLE OpenSubfolder(HANDLE folder, const char* name) {
  return OurFolder(openat(FdOf(folder), name, kFolderFlags));
}

BOOL CloseFolder(HANDLE folder) { return close(FdOf(folder)) == 0; }

HANDLE FindFirstEntry(HANDLE folder, WIN32_FIND_DATAA* entry) {
  const int reading = fcntl(FdOf(folder), F_DUPFD_CLOEXEC, 0);
  DIR* dir = reading < 0 ? nullptr : fdopendir(reading);
  if (dir == nullptr) {
    if (reading >= 0) close(reading);
    return INVALID_HANDLE_VALUE;
  }
  Listing* listing = new Listing;
  while (const dirent* found = readdir(dir)) {
    if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0) {
      listing->names.push_back(found->d_name);
    }
  }
  closedir(dir);
  std::sort(listing->names.begin(), listing->names.end());
  listing->names.insert(listing->names.begin(), {".", ".."});
  listing->folder = fcntl(FdOf(folder), F_DUPFD_CLOEXEC, 0);
  if (listing->folder < 0 || !Deliver(listing, entry)) {
    FindClose(listing);
    return INVALID_HANDLE_VALUE;
  }
  return listing;
}

BOOL FindNextFileA(HANDLE listing, WIN32_FIND_DATAA* entry) {
  return Deliver(static_cast<Listing*>(listing), entry);
}

BOOL FindClose(HANDLE handle) {
  Listing* listing = static_cast<Listing*>(handle);
  if (listing->folder >= 0) close(listing->folder);
  delete listing;
  return TRUE;
}

FILE* OpenEntry(HANDLE folder, const char* name) {
  // No Windows name holds a backslash, and here it would read as a separator nowhere else.
  if (std::strchr(name, '\\') != nullptr) return nullptr;
  // Not blocking, so that a FIFO is refused rather than waited on.
  const int fd = openat(FdOf(folder), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  FILE* stream = nullptr;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fcntl(fd, F_SETFL, 0) == 0) {
    stream = fdopen(fd, "rb");
  }
  if (stream == nullptr) close(fd);
  return stream;
}

BOOL DeleteEntry(HANDLE folder, const char* name) {
  struct stat st;
  if (fstatat(FdOf(folder), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FALSE;
  // A read-only name goes too, unlike on Windows: kept, it could be a second name of a user's file
  // that ffmpeg, run as root, would write through. Removing a name loses no file.
  return unlinkat(FdOf(folder), name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) == 0;
}
