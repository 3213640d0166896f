#include <cstdio>

#include "converter/stages.h"
#include "platform/command.h"
#include "support/console.h"
#include "support/remove_tree.h"

void AbandonConversion(const ConverterContext& context, FILE*& output) {
  StopCommand();
  RemoveDirectoryTree(context.scratch_folder);
  if (output != nullptr) {
    // Through the stream framepack holds, unbuffered, so nothing is left to be written after:
    // its path may lead elsewhere by now.
    _fseeki64(output, 0, SEEK_SET);
    SetEndOfFile(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output))));
    fclose(output);
    output = nullptr;
  }
  ReleaseScratchLock(context);
  context.exit_status = 1;
}

void PrintInterrupted(const ConverterContext& context) {
  PrintColored(kRed, "Unable to convert %s: interrupted\n", context.input_path);
}

void AbandonOutOfMemory(const ConverterContext& context, FILE*& output) {
  PrintColored(kRed, "Unable to convert %s: out of memory\n", context.input_path);
  AbandonConversion(context, output);
}
