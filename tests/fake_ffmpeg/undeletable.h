// Files that neither ffmpeg nor framepack can delete or write, as the fake ffmpeg makes them.
#ifndef FRAMEPACK_TESTS_FAKE_FFMPEG_UNDELETABLE_H_
#define FRAMEPACK_TESTS_FAKE_FFMPEG_UNDELETABLE_H_

#include <string>

// Returns whether the file at path can now be neither deleted nor written: on Windows a
// read-only file; on POSIX, where a read-only name can go, an immutable one (root only).
bool MakeUndeletable(const std::string& path);

#endif  // FRAMEPACK_TESTS_FAKE_FFMPEG_UNDELETABLE_H_
