// A folder held open whose entries are listed, read and deleted by their own names inside it:
// nothing done through it reaches outside it, whatever an entry is called or links to.
#ifndef FRAMEPACK_PLATFORM_FOLDER_H_
#define FRAMEPACK_PLATFORM_FOLDER_H_

#include <cstdio>

#include "platform/platform.h"

// Returns the real folder at path, or INVALID_HANDLE_VALUE when it is missing, is no folder, or
// is a link, a junction or a mount point (which is never followed).
HANDLE OpenFolder(const char* path);
// Returns the real sub-folder name of folder the same way.
HANDLE OpenSubfolder(HANDLE folder, const char* name);
// Returns whether the folder was closed.
BOOL CloseFolder(HANDLE folder);
// Returns a listing of folder, "." and ".." first and then its entries in ascending byte order,
// with the first entry in entry; INVALID_HANDLE_VALUE on failure. Go on with FindNextFileA, end
// with FindClose. Links are delivered as reparse points and never followed.
HANDLE FindFirstEntry(HANDLE folder, WIN32_FIND_DATAA* entry);
// Returns a stream for reading the regular file name of folder, or null: for a link, a device, a
// name that no Windows file can have, or a file that cannot be opened.
FILE* OpenEntry(HANDLE folder, const char* name);
// Returns whether the entry name of folder was deleted: a file or link (on Windows not a read-only
// file; on POSIX its name goes), or a folder, empty by then. A link goes itself; its target stays.
BOOL DeleteEntry(HANDLE folder, const char* name);

#endif  // FRAMEPACK_PLATFORM_FOLDER_H_
