// The values the converter's stages share, each owned by the stage that made it.
#ifndef FRAMEPACK_CONVERTER_CONTEXT_H_
#define FRAMEPACK_CONVERTER_CONTEXT_H_

#include <string>

#include "platform/platform.h"
#include "support/format.h"

// Where ffmpeg is run from, below the working directory.
constexpr char kFfmpegPath[] = "lib\\ffmpeg.exe";

struct ConverterContext {
  const char* input_path;
  const char* output_path;
  const std::string& options;
  const char (&scratch_folder)[kPathBufferSize];
  const char (&lock_path)[kPathBufferSize];  // beside the scratch folder
  HANDLE& lock;                              // the lock while it is held, else invalid
  int& exit_status;
};

#endif  // FRAMEPACK_CONVERTER_CONTEXT_H_
