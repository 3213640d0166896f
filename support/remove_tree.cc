#include "support/remove_tree.h"

#include <cstring>

#include "platform/platform.h"
#include "support/format.h"

void RemoveDirectoryTree(const char* folder) {
  char pattern[kPathBufferSize];
  if (FormatPath(pattern, "%s\\*", folder) < 0) return;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(pattern, &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    char path[kPathBufferSize];
    if (FormatPath(path, "%s\\%s", folder, entry.cFileName) < 0) continue;
    const DWORD attributes = entry.dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFileA(path);
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A junction or a link to a folder: removing it leaves its target alone.
      RemoveDirectoryA(path);
    } else if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0) {
      RemoveDirectoryTree(path);
    }
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  RemoveDirectoryA(folder);
}
