#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "converter/path_checks.h"
#include "converter/stages.h"
#include "platform/command.h"
#include "platform/folder.h"
#include "platform/interrupt.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"
#include "support/format.h"
#include "support/remove_tree.h"

namespace {

char g_command[kCommandBufferSize];

// Returns the options with every double quote made literal for the run time that splits the
// command line (and the backslashes before it kept), so that a quote never groups words: blanks
// still split an option, and nothing else changes.
std::string WithLiteralQuotes(const std::string& options) {
  std::string escaped;
  size_t backslashes = 0;
  for (const char c : options) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    escaped.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    escaped += c;
  }
  return escaped.append(backslashes, '\\');
}

// Echoes every piece of the command's output on a line of its own; returns the command's status.
int DrainCommand(FILE* command) {
  char line[1024];
  std::memset(line, 0, sizeof line);
  // Once interrupted, nothing more is printed before the clean-up: a reader of our output that
  // has stopped reading would hold the run up halfway.
  while (fgets(line, sizeof line, command) != nullptr) {
    if (!Interrupted()) PrintText(stdout, "%s\n", line);
  }
  const int status = FinishCommand(command);
  if (!Interrupted()) printf("\n\n");
  return status;
}

// Returns whether the scratch folder is a real folder now, no link or junction, with the
// signatures of what it still holds in leftovers.
bool ScratchFolderReady(const ConverterContext& context, std::vector<std::string>& leftovers) {
  HANDLE folder = OpenFolder(context.scratch_folder);
  if (folder == INVALID_HANDLE_VALUE) return false;
  leftovers = ListLeftovers(folder);
  CloseFolder(folder);
  return true;
}

// Runs ffmpeg, echoes its output and hands its frames to the listing stage.
void RunCommandStage(const ConverterContext& context, FILE*& output,
                     const std::vector<std::string>& leftovers) {
  // Our lines must come before anything the command writes to a shared log.
  fflush(stdout);
  FILE* command = StartCommand(g_command);
  // An interruption that came before ffmpeg ran had nothing to stop.
  if (command != nullptr && Interrupted()) StopCommand();
  esi::conditional_step([&] { return command == nullptr; },
                        [&] {
                          PrintColored(kRed, "Unable to execute ffmpeg\n");
                          AbandonConversion(context, output);
                          return 0;
                        },
                        [&] {
                          const int status = DrainCommand(command);
                          esi::conditional_step([&] { return status != 0 || Interrupted(); },
                                                [&] {
                                                  if (Interrupted()) {
                                                    AbandonConversion(context, output);
                                                    PrintInterrupted(context);
                                                  } else {
                                                    PrintColored(kRed, "Unable to convert %s\n",
                                                                 context.input_path);
                                                    AbandonConversion(context, output);
                                                  }
                                                  return 0;
                                                },
                                                [&] {
                                                  RunListingStage(context, output, leftovers);
                                                  return 0;
                                                });
                          return 0;
                        });
}

}  // namespace

int FormatFfmpegCommand(const ConverterContext& context) {
  return FormatCommand(g_command, "lib\\ffmpeg.exe -i \"%s\" %s \"%s/frame%%05d.jpg\"",
                       FfmpegInputName(context.input_path).c_str(),
                       WithLiteralQuotes(context.options).c_str(), context.scratch_folder);
}

void RunExtractionStage(const ConverterContext& context, FILE*& output) {
  RemoveDirectoryTree(context.scratch_folder);
  CreateDirectoryA(context.scratch_folder, nullptr);
  // Whatever could not be deleted is an earlier run's, and must not pass for a frame of this one.
  std::vector<std::string> leftovers;
  // ffmpeg writes through the path: were it a link now, its frames would land in another folder.
  const bool ready = ScratchFolderReady(context, leftovers);
  esi::conditional_step([&] { return !ready; },
                        [&] {
                          // Without a lib folder there is no ffmpeg either, which comes first.
                          if (FileExists(kFfmpegPath)) {
                            PrintColored(kRed, "Unable to convert %s\n", context.input_path);
                          } else {
                            PrintColored(kRed, "Unable to execute ffmpeg\n");
                          }
                          AbandonConversion(context, output);
                          return 0;
                        },
                        [&] {
                          RunCommandStage(context, output, leftovers);
                          return 0;
                        });
}
