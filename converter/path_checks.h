// Checks that keep the user's own files out of harm's way.
#ifndef FRAMEPACK_CONVERTER_PATH_CHECKS_H_
#define FRAMEPACK_CONVERTER_PATH_CHECKS_H_

// Returns whether both paths exist and name one file (or folder), however they are spelt.
bool SameFile(const char* a, const char* b);
// Returns whether path is folder or lies somewhere below it, by spelling or through links.
bool LiesInside(const char* path, const char* folder);
// Returns whether path reaches ffmpeg unchanged when put between double quotes on its command line.
bool QuotesCleanly(const char* path);

#endif  // FRAMEPACK_CONVERTER_PATH_CHECKS_H_
