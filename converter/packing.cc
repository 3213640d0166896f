#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "converter/frame_order.h"
#include "converter/stages.h"
#include "frame_pack/frame_pack.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/chunked_io.h"
#include "support/console.h"
#include "support/format.h"
#include "support/remove_tree.h"

namespace {

constexpr size_t kOutputBufferSize = size_t{1} << 20;

// Links and devices are never read as frames: a link may lead anywhere, a device may never end.
constexpr DWORD kNotAFrameFile = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

// Returns what tells one state of a listed file from another: its name, size and time of writing.
std::string Signature(const WIN32_FIND_DATAA& entry) {
  return std::string(entry.cFileName) + '\0' + std::to_string(entry.nFileSizeHigh) + ':' +
         std::to_string(entry.nFileSizeLow) + '\0' +
         std::to_string(entry.ftLastWriteTime.dwHighDateTime) + ':' +
         std::to_string(entry.ftLastWriteTime.dwLowDateTime);
}

// Adds every file of the listing to frames and closes the listing; returns false after a red line.
// pack_size grows by each file's record as listed.
bool CollectFrames(const ConverterContext& context, HANDLE listing, WIN32_FIND_DATAA& entry,
                   const std::vector<std::string>& leftovers, std::vector<std::string>& frames,
                   uint64_t& pack_size) {
  bool collected = true;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!leftovers.empty() &&
        std::find(leftovers.begin(), leftovers.end(), Signature(entry)) != leftovers.end()) {
      continue;
    }
    char path[kPathBufferSize];
    if (FormatPath(path, "%s\\%s", context.scratch_folder, entry.cFileName) < 0) {
      PrintColored(kRed, "Path too long: %s\\%s\n", context.scratch_folder, entry.cFileName);
      collected = false;
      break;
    }
    if (entry.dwFileAttributes & kNotAFrameFile) {
      PrintColored(kRed, "Unable to read frame: %s\n", path);
      collected = false;
      break;
    }
    frames.push_back(path);
    pack_size += kRecordHeaderSize +
                 ((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  return collected;
}

// Appends the record of one frame file at offset written; returns false after a red line.
bool PackFrame(const ConverterContext& context, FILE* output, const std::string& path,
               uint64_t& written) {
  FILE* frame = nullptr;
  fopen_s(&frame, path.c_str(), "rb");
  if (frame == nullptr) {
    PrintColored(kRed, "Unable to read frame: %s\n", path.c_str());
    return false;
  }
  // The frame is read in one piece straight into its buffer: a stream buffer would only add a copy.
  setvbuf(frame, nullptr, _IONBF, 0);
  _fseeki64(frame, 0, SEEK_END);
  const int64_t size = _ftelli64(frame);
  _fseeki64(frame, 0, SEEK_SET);
  if (size < 0) {
    fclose(frame);
    PrintColored(kRed, "Unable to read frame: %s\n", path.c_str());
    return false;
  }
  const uint64_t frame_size = static_cast<uint64_t>(size);
  if (written + kRecordHeaderSize + frame_size > kMaxPackSize) {
    fclose(frame);
    PrintColored(kRed, "Frame pack would exceed the 4 GiB limit: %s\n", context.output_path);
    return false;
  }
  std::unique_ptr<char[]> buffer;
  try {
    buffer.reset(new char[frame_size]);
  } catch (...) {
    fclose(frame);
    throw;
  }
  const bool read = ReadFully(frame, buffer.get(), frame_size);
  fclose(frame);
  if (!read) {
    PrintColored(kRed, "Unable to read frame: %s\n", path.c_str());
    return false;
  }
  if (!WriteRecordHeader(output, static_cast<uint32_t>(frame_size),
                         static_cast<uint32_t>(written)) ||
      !WriteFully(output, buffer.get(), frame_size)) {
    PrintColored(kRed, "Unable to write: %s\n", context.output_path);
    return false;
  }
  written += kRecordHeaderSize + frame_size;
  return true;
}

// Returns whether every frame was packed and the output closed; false after a red line.
bool PackFrames(const ConverterContext& context, FILE*& output,
                const std::vector<std::string>& frames) {
  uint64_t written = kCountSize;
  if (!WriteFrameCount(output, static_cast<uint32_t>(frames.size()))) {
    PrintColored(kRed, "Unable to write: %s\n", context.output_path);
    return false;
  }
  for (const std::string& path : frames) {
    if (!PackFrame(context, output, path, written)) return false;
  }
  const bool closed = fclose(output) == 0;
  output = nullptr;
  if (!closed) PrintColored(kRed, "Unable to write: %s\n", context.output_path);
  return closed;
}

void RunPackingStage(const ConverterContext& context, FILE*& output, HANDLE listing,
                     WIN32_FIND_DATAA& entry, const std::vector<std::string>& leftovers,
                     std::vector<std::string>& frames) {
  uint64_t pack_size = kCountSize;
  if (!CollectFrames(context, listing, entry, leftovers, frames, pack_size)) {
    AbandonConversion(context, output);
    return;
  }
  if (pack_size > kMaxPackSize) {
    PrintColored(kRed, "Frame pack would exceed the 4 GiB limit: %s\n", context.output_path);
    AbandonConversion(context, output);
    return;
  }
  std::sort(frames.begin(), frames.end(), FrameNameLess);
  if (!PackFrames(context, output, frames)) {
    AbandonConversion(context, output);
    return;
  }
  RemoveDirectoryTree(context.scratch_folder);
  frames.clear();
  PrintColored(kGreen, "Converted successful!\n");
}

}  // namespace

void AbandonConversion(const ConverterContext& context, FILE*& output) {
  RemoveDirectoryTree(context.scratch_folder);
  if (output != nullptr) fclose(output);
  output = nullptr;
  // Reopening for writing empties whatever part of a pack was written, also one whose close failed.
  FILE* emptied = nullptr;
  fopen_s(&emptied, context.output_path, "wb");
  if (emptied != nullptr) fclose(emptied);
  context.exit_status = 1;
}

void AbandonOutOfMemory(const ConverterContext& context, FILE*& output) {
  PrintColored(kRed, "Unable to convert %s: out of memory\n", context.input_path);
  AbandonConversion(context, output);
}

std::vector<std::string> ListLeftovers(const char* folder) {
  std::vector<std::string> leftovers;
  char pattern[kPathBufferSize];
  if (FormatPath(pattern, "%s\\*", folder) < 0) return leftovers;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(pattern, &entry);
  if (listing == INVALID_HANDLE_VALUE) return leftovers;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) leftovers.push_back(Signature(entry));
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  return leftovers;
}

void RunListingStage(const ConverterContext& context, FILE*& output,
                     const std::vector<std::string>& leftovers) {
  // Frames are small beside a write's fixed cost: gather them into large writes. The buffer
  // outlives every use of the output, which is closed before this stage returns.
  std::unique_ptr<char[]> output_buffer(new char[kOutputBufferSize]);
  setvbuf(output, output_buffer.get(), _IOFBF, kOutputBufferSize);
  std::vector<std::string> frames;
  char pattern[kPathBufferSize];
  FormatPath(pattern, "%s\\*", context.scratch_folder);
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(pattern, &entry);
  esi::conditional_step([&] { return listing == INVALID_HANDLE_VALUE; },
                        [&] {
                          PrintColored(kRed, "Unable to convert %s\n", context.input_path);
                          AbandonConversion(context, output);
                          return 0;
                        },
                        [&] {
                          // Here, while the output's buffer is still alive.
                          try {
                            RunPackingStage(context, output, listing, entry, leftovers, frames);
                          } catch (const std::exception&) {
                            AbandonOutOfMemory(context, output);
                          }
                          return 0;
                        });
}
