#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "converter/stages.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"
#include "support/format.h"
#include "support/remove_tree.h"

namespace {

char g_command[kCommandBufferSize];

// Echoes every piece of the command's output on a line of its own; returns the command's status.
int DrainCommand(FILE* command) {
  char line[1024];
  std::memset(line, 0, sizeof line);
  while (fgets(line, sizeof line, command) != nullptr) printf("%s\n", line);
  const int status = _pclose(command);
  printf("\n\n");
  return status;
}

}  // namespace

int FormatFfmpegCommand(const ConverterContext& context) {
  return FormatCommand(g_command, "lib\\ffmpeg.exe -i \"%s\" %s \"%s/frame%%05d.jpg\"",
                       context.input_path, context.options.c_str(), context.scratch_folder);
}

void RunExtractionStage(const ConverterContext& context, FILE*& output) {
  RemoveDirectoryTree(context.scratch_folder);
  CreateDirectoryA(context.scratch_folder, nullptr);
  // Whatever could not be deleted is an earlier run's, and must not pass for a frame of this one.
  const std::vector<std::string> leftovers = ListLeftovers(context.scratch_folder);
  // Our lines must come before anything the command writes to a shared log.
  fflush(stdout);
  FILE* command = _popen(g_command, "r");
  esi::conditional_step([&] { return command == nullptr; },
                        [&] {
                          PrintColored(kRed, "Unable to execute ffmpeg\n");
                          context.exit_status = 1;
                          return 0;
                        },
                        [&] {
                          const int status = DrainCommand(command);
                          esi::conditional_step([&] { return status != 0; },
                                                [&] {
                                                  PrintColored(kRed, "Unable to convert %s\n",
                                                               context.input_path);
                                                  AbandonConversion(context, output);
                                                  return 0;
                                                },
                                                [&] {
                                                  RunListingStage(context, output, leftovers);
                                                  return 0;
                                                });
                          return 0;
                        });
}
