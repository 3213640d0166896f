#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_attributes-posix.h"
#include "platform/path-posix.h"
#include "platform/platform.h"

namespace {

thread_local DWORD g_last_error = 0;

// The handles opened with FILE_FLAG_DELETE_ON_CLOSE, with the paths to delete when they close.
std::vector<std::pair<int, std::string>> g_delete_on_close;

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

int FdOf(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }

HANDLE Failed(DWORD error) {
  g_last_error = error;
  return INVALID_HANDLE_VALUE;
}

// Returns whether the open file fd is the one at path (a link at path is never it).
bool IsAtPath(int fd, const std::string& path) {
  struct stat held;
  struct stat named;
  return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

DWORD AttributesOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  if (S_ISLNK(st.st_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
  if (!S_ISREG(st.st_mode)) return FILE_ATTRIBUTE_DEVICE;
  return (st.st_mode & S_IWUSR) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

DWORD AttributesAt(int folder, const char* name, struct stat* st) {
  if (fstatat(folder, name, st, AT_SYMLINK_NOFOLLOW) != 0) return INVALID_FILE_ATTRIBUTES;
  DWORD attributes = AttributesOf(*st);
  struct stat target;
  if (S_ISLNK(st->st_mode) && fstatat(folder, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  }
  return attributes;
}

void FillFindData(DWORD attributes, const struct stat& st, WIN32_FIND_DATAA* entry) {
  entry->dwFileAttributes = attributes;
  // 100-nanosecond ticks since 1601, as Windows counts.
  const uint64_t ticks = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600u) * 10000000u +
                         static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
  entry->ftLastWriteTime.dwLowDateTime = static_cast<DWORD>(ticks);
  entry->ftLastWriteTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  entry->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  entry->nFileSizeLow = static_cast<DWORD>(size);
}

std::string ToPosixPath(const char* path) {
  std::string slashed(path);
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (slashed.empty()) return slashed;
  // Windows takes "." and ".." by spelling before it follows any link; the kernel here would
  // follow a link first and go to the parent of its target.
  const bool absolute = slashed[0] == '/';
  std::vector<std::string> parts;
  for (size_t start = 0; start <= slashed.size();) {
    size_t end = slashed.find('/', start);
    if (end == std::string::npos) end = slashed.size();
    const std::string part = slashed.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(part);
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) result += (i > 0 ? "/" : "") + parts[i];
  if (result.empty()) result = ".";
  if (slashed.back() == '/' && result.back() != '/') result += '/';
  return result;
}

DWORD GetFileAttributesA(LPCSTR path) {
  struct stat st;
  return AttributesAt(AT_FDCWD, ToPosixPath(path).c_str(), &st);
}

BOOL GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS, void* information) {
  struct stat st;
  const DWORD attributes = AttributesAt(AT_FDCWD, ToPosixPath(path).c_str(), &st);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  WIN32_FIND_DATAA entry;
  FillFindData(attributes, st, &entry);
  auto* data = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(information);
  data->dwFileAttributes = entry.dwFileAttributes;
  data->ftLastWriteTime = entry.ftLastWriteTime;
  data->nFileSizeHigh = entry.nFileSizeHigh;
  data->nFileSizeLow = entry.nFileSizeLow;
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, SECURITY_ATTRIBUTES*) {
  return mkdir(ToPosixPath(path).c_str(), 0777) == 0;
}

BOOL DeleteFileA(LPCSTR path) {
  const std::string posix = ToPosixPath(path);
  struct stat st;
  if (lstat(posix.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return FALSE;
  return unlink(posix.c_str()) == 0;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  const std::string posix = ToPosixPath(path);
  // A link to a folder goes itself, as Windows removes a directory link or junction.
  struct stat st;
  if (lstat(posix.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY) && unlink(posix.c_str()) == 0;
  }
  return rmdir(posix.c_str()) == 0;
}

DWORD GetLastError() { return g_last_error; }

void Sleep(DWORD milliseconds) { usleep(static_cast<useconds_t>(milliseconds) * 1000); }

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition,
                   DWORD flags, HANDLE) {
  const std::string posix = ToPosixPath(path);
  if (access == 0 && disposition == OPEN_EXISTING) {
    const int fd = open(posix.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return Failed(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return HandleOf(fd);
  }
  const DWORD lock_flags = FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;
  if (access != (GENERIC_READ | GENERIC_WRITE | DELETE) || share != 0 ||
      disposition != OPEN_ALWAYS || (flags & lock_flags) != lock_flags) {
    return Failed(ERROR_INVALID_PARAMETER);
  }
  for (;;) {
    // Not closed on exec: ffmpeg and what it starts hold the lock too, so that should framepack
    // be killed, a next run waits for them to end instead of mixing their frames into its own.
    const int fd = open(posix.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
    if (fd < 0) {
      return Failed(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                        : ERROR_ACCESS_DENIED);
    }
    // An exclusive lock on the open file stands for Windows' refusal to share it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close(fd);
      return Failed(error == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ERROR_LOCK_FAILED);
    }
    // Its last holder deletes the file before it lets go of it, as Windows deletes it on close:
    // a lock on a file that is no longer at the path locks nothing, so open the path anew.
    if (IsAtPath(fd, posix)) {
      g_delete_on_close.emplace_back(fd, posix);
      return HandleOf(fd);
    }
    close(fd);
  }
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  struct stat st;
  if (fstat(FdOf(file), &st) != 0) return FALSE;
  info->dwFileAttributes = AttributesOf(st);
  info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
  info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return TRUE;
}

DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR buffer, DWORD size, DWORD flags) {
  if (flags != 0) return 0;
  const std::string link = "/proc/self/fd/" + std::to_string(FdOf(file));
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

DWORD GetFileType(HANDLE file) {
  struct stat st;
  if (fstat(FdOf(file), &st) != 0) return FILE_TYPE_UNKNOWN;
  if (S_ISREG(st.st_mode)) return FILE_TYPE_DISK;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ? FILE_TYPE_PIPE : FILE_TYPE_CHAR;
}

BOOL FlushFileBuffers(HANDLE file) { return fsync(FdOf(file)) == 0; }

BOOL SetEndOfFile(HANDLE file) {
  const off_t position = lseek(FdOf(file), 0, SEEK_CUR);
  return position >= 0 && ftruncate(FdOf(file), position) == 0;
}

BOOL CloseHandle(HANDLE handle) {
  const int fd = FdOf(handle);
  for (auto it = g_delete_on_close.begin(); it != g_delete_on_close.end(); ++it) {
    if (it->first == fd) {
      // Deleted while still held, so that no other run can take the lock on it in between.
      if (IsAtPath(fd, it->second)) unlink(it->second.c_str());
      g_delete_on_close.erase(it);
      break;
    }
  }
  return close(fd) == 0;
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
  // Close-on-exec: ffmpeg gets none of our files, as on Windows where it inherits only its three.
  *stream = fopen(ToPosixPath(path).c_str(), (std::string(mode) + "e").c_str());
  return *stream == nullptr ? errno : 0;
}

int _fileno(FILE* stream) { return fileno(stream); }

intptr_t _get_osfhandle(int fd) { return fd; }

int _fseeki64(FILE* stream, int64_t offset, int origin) {
  return fseeko(stream, static_cast<off_t>(offset), origin);
}

int64_t _ftelli64(FILE* stream) { return static_cast<int64_t>(ftello(stream)); }
