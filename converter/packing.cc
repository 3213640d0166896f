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
#include "platform/interrupt.h"
#include "platform/platform.h"
#include "support/chunked_io.h"
#include "support/console.h"
#include "support/format.h"
#include "support/remove_tree.h"

namespace {

constexpr size_t kGatherSize = size_t{1} << 20;

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

// Returns whether the gathered bytes were written out; pending is empty afterwards.
bool Flush(FILE* output, std::string& pending) {
  const bool written = WriteFully(output, pending.data(), pending.size());
  pending.clear();
  return written;
}

// Returns whether size bytes went into the pack: small ones gather in pending and leave in
// large writes, which frames small beside a write's fixed cost need.
bool Append(FILE* output, std::string& pending, const char* bytes, uint64_t size) {
  if (pending.size() + size > kGatherSize && !Flush(output, pending)) return false;
  if (size >= kGatherSize) return WriteFully(output, bytes, size);
  pending.append(bytes, static_cast<size_t>(size));
  return true;
}

// Appends the record of the frame file name of folder at offset written and deletes the file,
// so that the frames and the pack never need more room than the frames and one frame; returns
// false after a red line.
bool PackFrame(const ConverterContext& context, FILE* output, HANDLE folder,
               const std::string& name, std::string& pending, uint64_t& written) {
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
  const std::string header =
      RecordHeader(static_cast<uint32_t>(frame_size), static_cast<uint32_t>(written));
  if (!Append(output, pending, header.data(), header.size()) ||
      !Append(output, pending, buffer.get(), frame_size)) {
    PrintColored(kRed, "Unable to write: %s\n", context.output_path);
    return false;
  }
  written += kRecordHeaderSize + frame_size;
  DeleteEntry(folder, name.c_str());
  return true;
}

// Returns whether the pack is complete and known to be on disk as written: the records synced,
// then the count put in its place and synced, then the file's size checked, then closed; false
// after a red line.
bool FinishPack(const ConverterContext& context, FILE*& output, std::string& pending,
                uint32_t count, uint64_t written, bool on_disk) {
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output)));
  bool complete = Flush(output, pending);
  if (complete && on_disk) {
    complete = FlushFileBuffers(file) && _fseeki64(output, 0, SEEK_SET) == 0 &&
               WriteFrameCount(output, count) && FlushFileBuffers(file) &&
               _fseeki64(output, 0, SEEK_END) == 0 &&
               _ftelli64(output) == static_cast<int64_t>(written);
  }
  if (complete) {
    // A close that fails now leaves no way to empty the output, but every byte of it is synced.
    complete = fclose(output) == 0;
    output = nullptr;
  }
  if (!complete) PrintColored(kRed, "Unable to write: %s\n", context.output_path);
  return complete;
}

// Returns whether every frame was packed and the output closed; false after a red line, or with
// interrupted set, before the line of the interruption, which comes once all is cleaned up.
bool PackFrames(const ConverterContext& context, FILE*& output, HANDLE folder,
                const std::vector<std::string>& frames, bool& interrupted) {
  const uint32_t count = static_cast<uint32_t>(frames.size());
  // On disk the count stays 0 until every record is there, so that a pack cut short by a kill,
  // a crash or a power loss never promises frames it does not hold. A pipe or a device cannot be
  // written back into, and gets the count first.
  const bool on_disk =
      GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output)))) == FILE_TYPE_DISK;
  std::string pending = FrameCount(on_disk ? 0 : count);
  pending.reserve(kGatherSize);
  uint64_t written = kCountSize;
  for (const std::string& name : frames) {
    interrupted = Interrupted();
    if (interrupted || !PackFrame(context, output, folder, name, pending, written)) return false;
  }
  interrupted = Interrupted();
  return !interrupted && FinishPack(context, output, pending, count, written, on_disk);
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
  bool interrupted = false;
  if (packed) {
    std::sort(frames.begin(), frames.end(), FrameNameLess);
    packed = PackFrames(context, output, folder.get(), frames, interrupted);
  }
  // The folder is let go first: held, it could not be removed.
  folder.reset();
  if (!packed) {
    AbandonConversion(context, output);
    if (interrupted) PrintInterrupted(context);
    return;
  }
  RemoveDirectoryTree(context.scratch_folder);
  frames.clear();
  PrintColored(kGreen, "Converted successful!\n");
}
