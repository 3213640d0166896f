// The values the converter's stages share, each owned by the stage that made it.
#ifndef FRAMEPACK_CONVERTER_CONTEXT_H_
#define FRAMEPACK_CONVERTER_CONTEXT_H_

#include <string>

#include "support/format.h"

struct ConverterContext {
  const char* input_path;
  const char* output_path;
  const std::string& options;
  const char (&scratch_folder)[kPathBufferSize];
  int& exit_status;
};

#endif  // FRAMEPACK_CONVERTER_CONTEXT_H_
