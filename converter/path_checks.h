// Checks that keep the user's own files out of harm's way.
#ifndef FRAMEPACK_CONVERTER_PATH_CHECKS_H_
#define FRAMEPACK_CONVERTER_PATH_CHECKS_H_

#include <cstdio>
#include <string>

// Returns whether path names an existing file or folder, through links.
bool FileExists(const char* path);
// Returns whether path is the file or pipe that standard output or standard error writes to, so
// that a pack written there would have framepack's lines or ffmpeg's log mixed into it. A device
// such as a console or the null device is no file to mix.
bool IsStandardStream(const char* path);
// Returns whether both paths exist and name one file (or folder), however they are spelt.
bool SameFile(const char* a, const char* b);
// Returns whether the open stream is the file that path names.
bool IsOpenAs(FILE* stream, const char* path);
// Returns whether path is folder or lies somewhere below it, by spelling or through links.
bool LiesInside(const char* path, const char* folder);
// Returns whether path reaches ffmpeg unchanged when put between double quotes on its command line.
bool QuotesCleanly(const char* path);
// Returns how to name the file at path to ffmpeg: path itself, unless ffmpeg would read it as
// something else (standard input for "-", a protocol for "pipe:0" or "concat:a|b"); then the
// same file spelt with ffmpeg's "file:" protocol.
std::string FfmpegInputName(const char* path);

#endif  // FRAMEPACK_CONVERTER_PATH_CHECKS_H_
