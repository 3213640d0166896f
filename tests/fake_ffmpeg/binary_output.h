// Standard output as the fake ffmpeg needs it on both builds.
#ifndef FRAMEPACK_TESTS_FAKE_FFMPEG_BINARY_OUTPUT_H_
#define FRAMEPACK_TESTS_FAKE_FFMPEG_BINARY_OUTPUT_H_

// Makes standard output pass bytes unchanged (no LF to CR LF on Windows); returns nothing.
void MakeStandardOutputBinary();

#endif  // FRAMEPACK_TESTS_FAKE_FFMPEG_BINARY_OUTPUT_H_
