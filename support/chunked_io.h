// Whole reads and writes of large blocks through standard I/O streams.
#ifndef FRAMEPACK_SUPPORT_CHUNKED_IO_H_
#define FRAMEPACK_SUPPORT_CHUNKED_IO_H_

#include <cstdint>
#include <cstdio>

// Returns whether all size bytes were read into buffer.
bool ReadFully(FILE* stream, char* buffer, uint64_t size);
// Returns whether all size bytes of buffer were written.
bool WriteFully(FILE* stream, const char* buffer, uint64_t size);

#endif  // FRAMEPACK_SUPPORT_CHUNKED_IO_H_
