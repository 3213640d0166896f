#include "frame_pack/frame_pack.h"

#include "platform/platform.h"

namespace {

void PutLittleEndian(uint32_t value, unsigned char* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetLittleEndian(const unsigned char* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// Returns whether size bytes were read at position.
bool ReadAt(FILE* pack, uint64_t position, unsigned char* bytes, size_t size) {
  return _fseeki64(pack, static_cast<int64_t>(position), SEEK_SET) == 0 &&
         fread(bytes, 1, size, pack) == size;
}

}  // namespace

std::string FrameCount(uint32_t count) {
  unsigned char bytes[kCountSize];
  PutLittleEndian(count, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

bool WriteFrameCount(FILE* pack, uint32_t count) {
  const std::string bytes = FrameCount(count);
  return fwrite(bytes.data(), 1, bytes.size(), pack) == bytes.size();
}

std::string RecordHeader(uint32_t frame_size, uint32_t record_offset) {
  unsigned char bytes[kRecordHeaderSize];
  PutLittleEndian(frame_size, bytes);
  PutLittleEndian(record_offset, bytes + 4);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

std::string ReadPack(FILE* pack, bool check_jpeg, std::vector<PackRecord>* records) {
  records->clear();
  if (_fseeki64(pack, 0, SEEK_END) != 0) return "cannot seek";
  const int64_t end = _ftelli64(pack);
  if (end < 0) return "cannot seek";
  const uint64_t file_size = static_cast<uint64_t>(end);
  unsigned char bytes[8];
  if (file_size < kCountSize || !ReadAt(pack, 0, bytes, kCountSize)) {
    return "shorter than a frame count";
  }
  const uint32_t count = GetLittleEndian(bytes);
  uint64_t position = kCountSize;
  for (uint32_t i = 0; i < count; ++i) {
    const std::string frame = "frame " + std::to_string(i + 1) + " ";
    if (position + kRecordHeaderSize > file_size || !ReadAt(pack, position, bytes, 8)) {
      return "count says " + std::to_string(count) + " frames, the file holds " + std::to_string(i);
    }
    const PackRecord record = {GetLittleEndian(bytes + 4), GetLittleEndian(bytes)};
    if (record.offset != position) {
      return frame + "carries offset " + std::to_string(record.offset) + " but stands at " +
             std::to_string(position);
    }
    const uint64_t body = position + kRecordHeaderSize;
    if (body + record.size > file_size) {
      return frame + "of " + std::to_string(record.size) + " bytes runs past the end of the file";
    }
    if (check_jpeg) {
      unsigned char head[2];
      unsigned char tail[2];
      if (record.size < 4 || !ReadAt(pack, body, head, 2) ||
          !ReadAt(pack, body + record.size - 2, tail, 2) || head[0] != 0xFF || head[1] != 0xD8 ||
          tail[0] != 0xFF || tail[1] != 0xD9) {
        return frame + "is not a complete JPEG image";
      }
    }
    records->push_back(record);
    position = body + record.size;
  }
  if (position != file_size) {
    return std::to_string(file_size - position) + " bytes follow the last frame";
  }
  return std::string();
}
