// Bounded formatting into the converter's fixed-size buffers.
#ifndef FRAMEPACK_SUPPORT_FORMAT_H_
#define FRAMEPACK_SUPPORT_FORMAT_H_

constexpr int kPathBufferSize = 260;
constexpr int kCommandBufferSize = 255;

// Returns the length of the text formatted into buffer, or -1 (buffer emptied) when the text and
// its terminating zero do not fit: a path is never shortened into another path.
int FormatPath(char (&buffer)[kPathBufferSize], const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// Returns the same as FormatPath, for the command buffer.
int FormatCommand(char (&buffer)[kCommandBufferSize], const char* format, ...)
    __attribute__((format(printf, 2, 3)));

#endif  // FRAMEPACK_SUPPORT_FORMAT_H_
