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

// What the command line asks for.
struct InspectRequest {
  const char* pack = nullptr;
  const char* extract_folder = nullptr;  // null for no extraction
  bool json = false;
};

// Returns whether the arguments name a pack followed by options given at most once each,
// filling request.
bool ParseRequest(int argc, char** argv, InspectRequest* request) {
  if (argc < 2) return false;
  request->pack = argv[1];
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0 && !request->json) {
      request->json = true;
    } else if (std::strcmp(argv[i], "--extract") == 0 && request->extract_folder == nullptr &&
               i + 1 < argc) {
      request->extract_folder = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

// Returns the size in bytes of the sound pack that holds records.
unsigned long long PackSize(const std::vector<PackRecord>& records) {
  if (records.empty()) return kCountSize;
  const PackRecord& last = records.back();
  return static_cast<unsigned long long>(last.offset) + kRecordHeaderSize + last.size;
}

// Prints the frame count and each frame's offset and size, a summary beyond kListedFrames, for
// people; returns nothing.
void PrintListing(const std::vector<PackRecord>& records) {
  printf("frames: %zu\n", records.size());
  if (records.size() <= kListedFrames) {
    for (size_t i = 0; i < records.size(); ++i) {
      printf("frame %zu: offset %u, size %u\n", i + 1, records[i].offset, records[i].size);
    }
    return;
  }
  auto by_size = [](const PackRecord& a, const PackRecord& b) { return a.size < b.size; };
  const auto smallest = std::min_element(records.begin(), records.end(), by_size);
  const auto largest = std::max_element(records.begin(), records.end(), by_size);
  printf("frame sizes: %u to %u bytes; pack size: %llu bytes\n", smallest->size, largest->size,
         PackSize(records));
}

// Prints the frame count, the pack's size and every frame as one JSON object on one line, for
// scripts; returns nothing.
void PrintJson(const std::vector<PackRecord>& records) {
  printf("{\"frame_count\": %zu, \"pack_size\": %llu, \"frames\": [", records.size(),
         PackSize(records));
  for (size_t i = 0; i < records.size(); ++i) {
    printf("%s{\"offset\": %u, \"size\": %u}", i == 0 ? "" : ", ", records[i].offset,
           records[i].size);
  }
  printf("]}\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    printf("framepack-inspect %s\n", kVersion);
    return 0;
  }
  InspectRequest request;
  if (!ParseRequest(argc, argv, &request)) {
    fprintf(stderr,
            "usage: framepack-inspect PACK [--json] [--extract DIR]\n"
            "       framepack-inspect --version\n");
    return 1;
  }
  FILE* pack = nullptr;
  fopen_s(&pack, request.pack, "rb");
  if (pack == nullptr) {
    PrintText(stderr, "Unable to open: %s\n", request.pack);
    return 1;
  }
  std::vector<PackRecord> records;
  const std::string fault = ReadPack(pack, true, &records);
  if (!fault.empty()) {
    PrintText(stderr, "%s: not a sound frame pack: %s\n", request.pack, fault.c_str());
    fclose(pack);
    return 1;
  }
  // Frames first: what is printed stands for a run that did all it was asked.
  const bool extracted =
      request.extract_folder == nullptr || ExtractFrames(pack, records, request.extract_folder);
  fclose(pack);
  if (!extracted) return 1;
  if (request.json) {
    PrintJson(records);
  } else {
    PrintListing(records);
  }
  if (fflush(stdout) != 0) {
    fprintf(stderr, "Unable to write to standard output\n");
    return 1;
  }
  return 0;
}
