#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/path-posix.h"
#include "platform/platform.h"

namespace {

thread_local DWORD g_last_error = 0;

struct Listing {
  int folder;  // kept open, so that each entry is looked up from it rather than by its full path
  std::vector<std::string> names;
  size_t next = 0;
};

DWORD AttributesOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  if (S_ISLNK(st.st_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
  if (!S_ISREG(st.st_mode)) return FILE_ATTRIBUTE_DEVICE;
  return (st.st_mode & S_IWUSR) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

// Fills entry with the next name that can still be queried; false when none is left.
bool Deliver(Listing* listing, WIN32_FIND_DATAA* entry) {
  while (listing->next < listing->names.size()) {
    const std::string& name = listing->names[listing->next++];
    struct stat st;
    if (fstatat(listing->folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (name.size() >= sizeof entry->cFileName) continue;
    entry->dwFileAttributes = AttributesOf(st);
    // 100-nanosecond ticks since 1601, as Windows counts.
    const uint64_t ticks = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600u) * 10000000u +
                           static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
    entry->ftLastWriteTime.dwLowDateTime = static_cast<DWORD>(ticks);
    entry->ftLastWriteTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    entry->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    entry->nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(entry->cFileName, name.c_str(), name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

std::string ToPosixPath(const char* path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

DWORD GetFileAttributesA(LPCSTR path) {
  struct stat st;
  if (lstat(ToPosixPath(path).c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  return AttributesOf(st);
}

BOOL CreateDirectoryA(LPCSTR path, SECURITY_ATTRIBUTES*) {
  return mkdir(ToPosixPath(path).c_str(), 0777) == 0;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* entry) {
  std::string folder = ToPosixPath(pattern);
  const size_t cut = folder.rfind('/');
  if (cut == std::string::npos || folder.compare(cut, std::string::npos, "/*") != 0) {
    return INVALID_HANDLE_VALUE;
  }
  folder.erase(cut);
  if (folder.empty()) folder = "/";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return INVALID_HANDLE_VALUE;
  Listing* listing = new Listing;
  listing->folder = fcntl(dirfd(dir), F_DUPFD_CLOEXEC, 0);
  while (const dirent* found = readdir(dir)) {
    if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0) {
      listing->names.push_back(found->d_name);
    }
  }
  closedir(dir);
  std::sort(listing->names.begin(), listing->names.end());
  listing->names.insert(listing->names.begin(), {".", ".."});
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

BOOL DeleteFileA(LPCSTR path) {
  const std::string posix = ToPosixPath(path);
  struct stat st;
  if (lstat(posix.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return FALSE;
  if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) return FALSE;
  return unlink(posix.c_str()) == 0;
}

BOOL RemoveDirectoryA(LPCSTR path) { return rmdir(ToPosixPath(path).c_str()) == 0; }

DWORD GetLastError() { return g_last_error; }

void Sleep(DWORD milliseconds) { usleep(static_cast<useconds_t>(milliseconds) * 1000); }

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition,
                   DWORD, HANDLE) {
  const std::string posix = ToPosixPath(path);
  int fd = -1;
  if (access == 0 && disposition == OPEN_EXISTING) {
    fd = open(posix.c_str(), O_PATH | O_CLOEXEC);
  } else if (access == GENERIC_WRITE && disposition == OPEN_ALWAYS && share == 0) {
    fd = open(posix.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    // An exclusive lock on the open file stands for Windows' refusal to share it.
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      g_last_error = ERROR_SHARING_VIOLATION;
      return INVALID_HANDLE_VALUE;
    }
  } else {
    errno = EINVAL;
  }
  if (fd < 0) {
    g_last_error = errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  struct stat st;
  if (fstat(static_cast<int>(reinterpret_cast<intptr_t>(file)), &st) != 0) return FALSE;
  info->dwFileAttributes = AttributesOf(st);
  info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
  info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return TRUE;
}

DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR buffer, DWORD size, DWORD flags) {
  if (flags != 0) return 0;
  const std::string link =
      "/proc/self/fd/" + std::to_string(static_cast<int>(reinterpret_cast<intptr_t>(file)));
  std::vector<char> target(4096);
  for (;;) {
    const ssize_t length = readlink(link.c_str(), target.data(), target.size());
    if (length < 0) return 0;
    if (static_cast<size_t>(length) < target.size()) {
      if (static_cast<DWORD>(length) + 1 > size) return static_cast<DWORD>(length) + 1;
      std::memcpy(buffer, target.data(), static_cast<size_t>(length));
      buffer[length] = '\0';
      return static_cast<DWORD>(length);
    }
    target.resize(target.size() * 2);
  }
}

BOOL CloseHandle(HANDLE handle) {
  return close(static_cast<int>(reinterpret_cast<intptr_t>(handle))) == 0;
}

DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* file_part) {
  std::string posix = ToPosixPath(path);
  if (posix.empty()) return 0;
  if (posix[0] != '/') {
    std::vector<char> cwd(4096);
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
      if (errno != ERANGE) return 0;
      cwd.resize(cwd.size() * 2);
    }
    posix = std::string(cwd.data()) + "/" + posix;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= posix.size()) {
    size_t end = posix.find('/', start);
    if (end == std::string::npos) end = posix.size();
    const std::string part = posix.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string full;
  for (const std::string& part : parts) full += "/" + part;
  if (full.empty() || posix.back() == '/') full += "/";
  if (full.size() + 1 > size) return static_cast<DWORD>(full.size() + 1);
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  if (file_part != nullptr) {
    const size_t cut = full.rfind('/');
    *file_part = cut + 1 < full.size() ? buffer + cut + 1 : nullptr;
  }
  return static_cast<DWORD>(full.size());
}

errno_t fopen_s(FILE** stream, const char* path, const char* mode) {
  *stream = fopen(ToPosixPath(path).c_str(), mode);
  return *stream == nullptr ? errno : 0;
}

int _fseeki64(FILE* stream, int64_t offset, int origin) {
  return fseeko(stream, static_cast<off_t>(offset), origin);
}

int64_t _ftelli64(FILE* stream) { return static_cast<int64_t>(ftello(stream)); }
