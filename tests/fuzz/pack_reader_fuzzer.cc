// Fuzzes the frame pack reader: any bytes are judged without harm, and what it calls sound is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool check_jpeg : {false, true}) {
    FILE* pack = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (pack == nullptr) return 0;  // fmemopen takes no empty buffer
    std::vector<PackRecord> records;
    const std::string fault = ReadPack(pack, check_jpeg, &records);
    fclose(pack);
    if (!fault.empty()) continue;
    uint64_t position = 4;
    for (const PackRecord& record : records) {
      if (record.offset != position) std::abort();
      if (check_jpeg && (data[position + 8] != 0xFF || data[position + 9] != 0xD8)) std::abort();
      position += 8 + record.size;
    }
    if (position != size || size < 4) std::abort();
    const uint32_t count = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    if (count != records.size()) std::abort();
  }
  return 0;
}
