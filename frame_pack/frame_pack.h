// The frame pack: a little-endian 32-bit frame count, then per frame its size, the offset of its
// record and its bytes.
#ifndef FRAMEPACK_FRAME_PACK_FRAME_PACK_H_
#define FRAMEPACK_FRAME_PACK_FRAME_PACK_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr uint64_t kMaxPackSize = 0xFFFFFFFFu;
constexpr uint64_t kCountSize = 4;
constexpr uint64_t kRecordHeaderSize = 8;

// Returns the bytes of a frame count.
std::string FrameCount(uint32_t count);
// Returns whether the frame count was written in full.
bool WriteFrameCount(FILE* pack, uint32_t count);
// Returns the bytes of a record header: frame size, then record offset.
std::string RecordHeader(uint32_t frame_size, uint32_t record_offset);

struct PackRecord {
  uint32_t offset;
  uint32_t size;
};

// Returns "" when the pack is sound, filling records; otherwise what is wrong with it. Sound means:
// as many records as the count says, back to back from offset 4, each carrying its own offset, the
// file ending right after the last; with check_jpeg also every frame starting with FF D8 and ending
// with FF D9.
std::string ReadPack(FILE* pack, bool check_jpeg, std::vector<PackRecord>* records);

#endif  // FRAMEPACK_FRAME_PACK_FRAME_PACK_H_
