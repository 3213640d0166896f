#include "support/remove_tree.h"

#include <cstring>

#include "platform/folder.h"
#include "platform/platform.h"

namespace {

// Deletes everything in the open folder that can be deleted, by name inside it; returns nothing.
void ClearFolder(HANDLE folder) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstEntry(folder, &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      HANDLE inner = OpenSubfolder(folder, entry.cFileName);
      if (inner != INVALID_HANDLE_VALUE) {
        ClearFolder(inner);
        CloseFolder(inner);
      }
    }
    DeleteEntry(folder, entry.cFileName);
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}

}  // namespace

void RemoveDirectoryTree(const char* folder) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link or junction in the folder's place goes itself; what it leads to is not ours.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryA(folder);
    } else {
      DeleteFileA(folder);
    }
    return;
  }
  HANDLE open = OpenFolder(folder);
  if (open == INVALID_HANDLE_VALUE) return;
  ClearFolder(open);
  CloseFolder(open);
  RemoveDirectoryA(folder);
}
