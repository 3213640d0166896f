#include "support/chunked_io.h"

namespace {

// Some C run times (Windows' msvcrt) fail a single fread or fwrite of 2 GiB or more.
constexpr uint64_t kChunk = uint64_t{1} << 26;

}  // namespace

bool ReadFully(FILE* stream, char* buffer, uint64_t size) {
  for (uint64_t done = 0; done < size;) {
    const size_t want = static_cast<size_t>(size - done < kChunk ? size - done : kChunk);
    if (fread(buffer + done, 1, want, stream) != want) return false;
    done += want;
  }
  return true;
}

bool WriteFully(FILE* stream, const char* buffer, uint64_t size) {
  for (uint64_t done = 0; done < size;) {
    const size_t want = static_cast<size_t>(size - done < kChunk ? size - done : kChunk);
    if (fwrite(buffer + done, 1, want, stream) != want) return false;
    done += want;
  }
  return true;
}
