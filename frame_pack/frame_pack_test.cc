#include "frame_pack/frame_pack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string U32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::string Record(uint32_t offset, const std::string& body) {
  return U32(static_cast<uint32_t>(body.size())) + U32(offset) + body;
}

// Returns what ReadPack says of bytes, with the records it found.
std::string Check(const std::string& bytes, bool check_jpeg, std::vector<PackRecord>* records) {
  FILE* pack = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), pack);
  const std::string fault = ReadPack(pack, check_jpeg, records);
  fclose(pack);
  return fault;
}

const std::string kJpeg = "\xFF\xD8jpeg\xFF\xD9";

}  // namespace

TEST(WriteFrameCount, WritesLittleEndianHeaders) {
  FILE* pack = tmpfile();
  ASSERT_TRUE(WriteFrameCount(pack, 0x01020304u));
  std::string bytes(4, '\0');
  rewind(pack);
  ASSERT_EQ(fread(&bytes[0], 1, bytes.size(), pack), bytes.size());
  fclose(pack);
  EXPECT_EQ(bytes + RecordHeader(10, 0xA0B0C0D0u),
            std::string("\x04\x03\x02\x01\x0A\x00\x00\x00\xD0\xC0\xB0\xA0", 12));
}

TEST(ReadPack, AcceptsSoundPacks) {
  std::vector<PackRecord> records;
  EXPECT_EQ(Check(U32(0), true, &records), "");
  EXPECT_TRUE(records.empty());
  const std::string two = U32(2) + Record(4, kJpeg) + Record(4 + 8 + 8, kJpeg + "xx\xFF\xD9");
  EXPECT_EQ(Check(two, true, &records), "");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].offset, 20u);
  EXPECT_EQ(records[1].size, 12u);
  EXPECT_EQ(Check(U32(1) + Record(4, ""), false, &records), "");
}

TEST(ReadPack, NamesWhatIsWrong) {
  struct Case {
    std::string bytes;
    bool check_jpeg;
    const char* fault;
  };
  const Case cases[] = {
      {"", false, "shorter than a frame count"},
      {U32(2) + Record(4, kJpeg), false, "count says 2 frames, the file holds 1"},
      {U32(1) + Record(8, kJpeg), false, "frame 1 carries offset 8 but stands at 4"},
      {U32(1) + Record(4, kJpeg).substr(0, 12), false,
       "frame 1 of 8 bytes runs past the end of the file"},
      {U32(1) + Record(4, kJpeg) + "!", false, "1 bytes follow the last frame"},
      {U32(0) + Record(4, kJpeg), false, "16 bytes follow the last frame"},
      {U32(1) + Record(4, "not a jpeg"), true, "frame 1 is not a complete JPEG image"},
      {U32(1) + Record(4, ""), true, "frame 1 is not a complete JPEG image"},
  };
  for (const Case& c : cases) {
    std::vector<PackRecord> records;
    EXPECT_EQ(Check(c.bytes, c.check_jpeg, &records), c.fault);
  }
}
