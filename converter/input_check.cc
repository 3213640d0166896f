#include <cstdio>
#include <exception>

#include "converter/path_checks.h"
#include "converter/stages.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"
#include "support/format.h"
#include "support/remove_tree.h"

namespace {

// Returns whether the paths must be refused, with the red line's format and its argument.
bool FindRefusal(const ConverterContext& context, const char** format, const char** argument) {
  *argument = context.input_path;
  if (LiesInside(context.input_path, context.scratch_folder)) {
    *format = "%s lies inside the scratch folder lib/temp.\n";
  } else if (LiesInside(context.output_path, context.scratch_folder)) {
    *format = "%s lies inside the scratch folder lib/temp.\n";
    *argument = context.output_path;
  } else if (SameFile(context.input_path, context.output_path)) {
    *format = "Output would overwrite the input: %s\n";
    *argument = context.output_path;
  } else if (!QuotesCleanly(context.input_path)) {
    *format = "Unable to pass the path to ffmpeg: %s\n";
  } else if (FormatFfmpegCommand(context) < 0) {
    *format = "Command line too long for: %s\n";
  } else {
    return false;
  }
  return true;
}

// A link can send a new output into the scratch folder, where the extraction would delete it; only
// once the output exists does its real place show.
void RunCreatedOutputCheck(const ConverterContext& context, FILE*& output) {
  esi::conditional_step([&] { return LiesInside(context.output_path, context.scratch_folder); },
                        [&] {
                          PrintColored(kRed, "%s lies inside the scratch folder lib/temp.\n",
                                       context.output_path);
                          fclose(output);
                          output = nullptr;
                          context.exit_status = 1;
                          return 0;
                        },
                        [&] {
                          try {
                            RunExtractionStage(context, output);
                          } catch (const std::exception&) {
                            AbandonOutOfMemory(context, output);
                          }
                          return 0;
                        });
}

// Creates or empties the output, which stays open through extraction and packing.
void RunOutputStage(const ConverterContext& context) {
  FILE* output = nullptr;
  fopen_s(&output, context.output_path, "wb");
  esi::conditional_step([&] { return output == nullptr; },
                        [&] {
                          PrintColored(kRed, "Unable to create: %s\n", context.output_path);
                          RemoveDirectoryTree(context.scratch_folder);
                          context.exit_status = 1;
                          return 0;
                        },
                        [&] {
                          RunCreatedOutputCheck(context, output);
                          return 0;
                        });
}

// Returns a handle that keeps other conversions in this working directory away from the scratch
// folder until it is closed, after waiting for one that has it; INVALID_HANDLE_VALUE when the lock
// file cannot be made at all (then there is no lib folder for anyone to share).
HANDLE LockScratchFolder(const ConverterContext& context) {
  char lock_path[kPathBufferSize];
  FormatPath(lock_path, "%s.lock", context.scratch_folder);
  bool waiting = false;
  for (;;) {
    HANDLE lock = CreateFileA(lock_path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lock != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) return lock;
    if (!waiting) {
      printf("Waiting for another conversion in this folder...\n");
      fflush(stdout);
      waiting = true;
    }
    Sleep(100);
  }
}

// Refuses what would lose or damage a file of the user's, before anything is truncated or deleted.
void RunRefusalCheck(const ConverterContext& context) {
  const char* format = nullptr;
  const char* argument = nullptr;
  esi::conditional_step([&] { return FindRefusal(context, &format, &argument); },
                        [&] {
                          PrintColored(kRed, format, argument);
                          context.exit_status = 1;
                          return 0;
                        },
                        [&] {
                          HANDLE lock = LockScratchFolder(context);
                          RunOutputStage(context);
                          if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
                          return 0;
                        });
}

}  // namespace

void RunInputCheck(const ConverterContext& context) {
  esi::conditional_step(
      [&] { return GetFileAttributesA(context.input_path) == INVALID_FILE_ATTRIBUTES; },
      [&] {
        PrintColored(kRed, "%s file not found.\n", context.input_path);
        context.exit_status = 1;
        return 0;
      },
      [&] {
        RunRefusalCheck(context);
        return 0;
      });
}
