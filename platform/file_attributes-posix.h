// How the POSIX layer describes a file in Windows terms.
#ifndef FRAMEPACK_PLATFORM_FILE_ATTRIBUTES_POSIX_H_
#define FRAMEPACK_PLATFORM_FILE_ATTRIBUTES_POSIX_H_

#include <sys/stat.h>

#include "platform/platform.h"

// Returns the Windows attributes of what st describes: a symbolic link is a reparse point, and
// anything but a folder or a regular file a device.
DWORD AttributesOf(const struct stat& st);
// Returns the Windows attributes of the entry name of the folder open as folder (AT_FDCWD for a
// path), without following a final link, filling st as lstat would; INVALID_FILE_ATTRIBUTES when
// it cannot be queried. As on Windows, a link to a folder is a folder and a reparse point.
DWORD AttributesAt(int folder, const char* name, struct stat* st);
// Fills the attributes, size and time of writing of entry; returns nothing.
void FillFindData(DWORD attributes, const struct stat& st, WIN32_FIND_DATAA* entry);

#endif  // FRAMEPACK_PLATFORM_FILE_ATTRIBUTES_POSIX_H_
