// Path spelling shared by the POSIX layer's files.
#ifndef FRAMEPACK_PLATFORM_PATH_POSIX_H_
#define FRAMEPACK_PLATFORM_PATH_POSIX_H_

#include <string>

// Returns path with every '\' turned into '/' and "." and ".." taken by spelling, as Windows
// takes them.
std::string ToPosixPath(const char* path);

#endif  // FRAMEPACK_PLATFORM_PATH_POSIX_H_
