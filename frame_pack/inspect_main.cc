// framepack-inspect: checks a frame pack, tells what it holds, and can write its frames back out.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"
#include "platform/platform.h"
#include "support/chunked_io.h"
#include "support/console.h"
#include "support/version.h"

namespace {

constexpr size_t kListedFrames = 16;

// Returns whether every frame was written to folder as frame00001.jpg and so on.
bool ExtractFrames(FILE* pack, const std::vector<PackRecord>& records, const std::string& folder) {
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<char> body;
  for (size_t i = 0; i < records.size(); ++i) {
    char name[32];
    snprintf(name, sizeof name, "/frame%05zu.jpg", i + 1);
    const std::string path = folder + name;
    body.resize(records[i].size);
    FILE* frame = nullptr;
    fopen_s(&frame, path.c_str(), "wb");
    if (frame == nullptr) {
      PrintText(stderr, "Unable to create: %s\n", path.c_str());
      return false;
    }
    const bool copied = _fseeki64(pack, static_cast<int64_t>(records[i].offset + kRecordHeaderSize),
                                  SEEK_SET) == 0 &&
                        fread(body.data(), 1, body.size(), pack) == body.size() &&
                        fwrite(body.data(), 1, body.size(), frame) == body.size();
    if (fclose(frame) != 0 || !copied) {
      PrintText(stderr, "Unable to write: %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    printf("framepack-inspect %s\n", kVersion);
    return 0;
  }
  const bool extract = argc == 4 && std::strcmp(argv[2], "--extract") == 0;
  if (argc != 2 && !extract) {
    fprintf(stderr,
            "usage: framepack-inspect PACK [--extract DIR]\n"
            "       framepack-inspect --version\n");
    return 1;
  }
  FILE* pack = nullptr;
  fopen_s(&pack, argv[1], "rb");
  if (pack == nullptr) {
    PrintText(stderr, "Unable to open: %s\n", argv[1]);
    return 1;
  }
  std::vector<PackRecord> records;
  const std::string fault = ReadPack(pack, true, &records);
  if (!fault.empty()) {
    PrintText(stderr, "%s: not a sound frame pack: %s\n", argv[1], fault.c_str());
    fclose(pack);
    return 1;
  }
  printf("frames: %zu\n", records.size());
  if (records.size() <= kListedFrames) {
    for (size_t i = 0; i < records.size(); ++i) {
      printf("frame %zu: offset %u, size %u\n", i + 1, records[i].offset, records[i].size);
    }
  } else {
    auto by_size = [](const PackRecord& a, const PackRecord& b) { return a.size < b.size; };
    const auto smallest = std::min_element(records.begin(), records.end(), by_size);
    const auto largest = std::max_element(records.begin(), records.end(), by_size);
    const PackRecord& last = records.back();
    printf("frame sizes: %u to %u bytes; pack size: %llu bytes\n", smallest->size, largest->size,
           static_cast<unsigned long long>(last.offset + kRecordHeaderSize + last.size));
  }
  const bool extracted = !extract || ExtractFrames(pack, records, argv[3]);
  fclose(pack);
  return extracted ? 0 : 1;
}
