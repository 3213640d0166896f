#include <fcntl.h>
#include <io.h>

#include <cstring>
#include <string>

#include "platform/folder.h"

namespace {

// Windows has no calls relative to an open folder. The folder is held open without sharing
// deletion, which keeps it, and the path to it, from being renamed, deleted or replaced while it
// is open; so its path, joined with an entry's name, names that entry inside it.
struct Folder {
  HANDLE handle;
  std::string path;
};

// Returns whether name can be an entry's own name; wine lists Unix names that Windows cannot have.
bool IsEntryName(const char* name) {
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || *name == '\0') return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 32 || std::strchr("\\/:*?\"<>|", *c) != nullptr) {
      return false;
    }
  }
  return true;
}

std::string PathOf(HANDLE folder, const char* name) {
  return static_cast<Folder*>(folder)->path + "\\" + name;
}

}  // namespace

HANDLE OpenFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = CreateFileA(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return new Folder{handle, path};
}

HANDLE OpenSubfolder(HANDLE folder, const char* name) {
  if (!IsEntryName(name)) return INVALID_HANDLE_VALUE;
  return OpenFolder(PathOf(folder, name).c_str());
}

BOOL CloseFolder(HANDLE handle) {
  Folder* folder = static_cast<Folder*>(handle);
  const BOOL closed = CloseHandle(folder->handle);
  delete folder;
  return closed;
}

HANDLE FindFirstEntry(HANDLE folder, WIN32_FIND_DATAA* entry) {
  return FindFirstFileA(PathOf(folder, "*").c_str(), entry);
}

FILE* OpenEntry(HANDLE folder, const char* name) {
  if (!IsEntryName(name)) return nullptr;
  HANDLE file =
      CreateFileA(PathOf(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const int fd =
      GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
              !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
          ? _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY)
          : -1;
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, "rb");
  if (stream == nullptr) _close(fd);
  return stream;
}

BOOL DeleteEntry(HANDLE folder, const char* name) {
  if (!IsEntryName(name)) return FALSE;
  const std::string path = PathOf(folder, name);
  // Attributes of the entry itself; both calls remove a link or junction, never its target.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path.c_str())
                                                 : DeleteFileA(path.c_str());
}
