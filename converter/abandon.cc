#include <cstdio>

#include "converter/stages.h"
#include "platform/command.h"
#include "support/console.h"
#include "support/remove_tree.h"

void AbandonConversion(const ConverterContext& context, FILE*& output) {
  StopCommand();
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
