#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "converter/frame_order.h"
#include "converter/stages.h"
#include "frame_pack/frame_pack.h"
#include "platform/folder.h"
#include "platform/platform.h"
#include "support/chunked_io.h"
#include "support/console.h"
#include "support/format.h"
#include "support/remove_tree.h"

namespace {

// Links and devices are never read as frames: a link may lead anywhere, a device may never end.
constexpr DWORD kNotAFrameFile = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

// Adds the name of every file of the listing to frames and closes the listing; returns false
// after a red line. pack_size grows by each file's record as listed.
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
    frames.push_back(entry.cFileName);
    pack_size += kRecordHeaderSize +
                 ((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  return collected;
}

// Appends the record of the frame file name of folder at offset written; returns false after a
// red line.
bool PackFrame(const ConverterContext& context, FILE* output, HANDLE folder,
               const std::string& name, uint64_t& written) {
  FILE* frame = OpenEntry(folder, name.c_str());
  if (frame == nullptr) {
    PrintColored(kRed, "Unable to read frame: %s\\%s\n", context.scratch_folder, name.c_str());
    return false;
  }
  // The frame is read in one piece straight into its buffer: a stream buffer would only add a copy.
  setvbuf(frame, nullptr, _IONBF, 0);
  _fseeki64(frame, 0, SEEK_END);
  const int64_t size = _ftelli64(frame);
  _fseeki64(frame, 0, SEEK_SET);
  if (size < 0) {
    fclose(frame);
    PrintColored(kRed, "Unable to read frame: %s\\%s\n", context.scratch_folder, name.c_str());
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
    PrintColored(kRed, "Unable to read frame: %s\\%s\n", context.scratch_folder, name.c_str());
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
bool PackFrames(const ConverterContext& context, FILE*& output, HANDLE folder,
                const std::vector<std::string>& frames) {
  uint64_t written = kCountSize;
  if (!WriteFrameCount(output, static_cast<uint32_t>(frames.size()))) {
    PrintColored(kRed, "Unable to write: %s\n", context.output_path);
    return false;
  }
  for (const std::string& name : frames) {
    if (!PackFrame(context, output, folder, name, written)) return false;
  }
  const bool closed = fclose(output) == 0;
  output = nullptr;
  if (!closed) PrintColored(kRed, "Unable to write: %s\n", context.output_path);
  return closed;
}

}  // namespace

void RunPackingStage(const ConverterContext& context, FILE*& output, HeldFolder& folder,
                     HANDLE listing, WIN32_FIND_DATAA& entry,
                     const std::vector<std::string>& leftovers) {
  std::vector<std::string> frames;
  uint64_t pack_size = kCountSize;
  bool packed = CollectFrames(context, listing, entry, leftovers, frames, pack_size);
  if (packed && pack_size > kMaxPackSize) {
    PrintColored(kRed, "Frame pack would exceed the 4 GiB limit: %s\n", context.output_path);
    packed = false;
  }
  if (packed) {
    std::sort(frames.begin(), frames.end(), FrameNameLess);
    packed = PackFrames(context, output, folder.get(), frames);
  }
  // The folder is let go first: held, it could not be removed.
  folder.reset();
  if (!packed) {
    AbandonConversion(context, output);
    return;
  }
  RemoveDirectoryTree(context.scratch_folder);
  frames.clear();
  PrintColored(kGreen, "Converted successful!\n");
}
