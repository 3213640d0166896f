#include <cstdio>
#include <string>

#include "converter/stages.h"
#include "platform/interrupt.h"
#include "step_kit/step_kit.h"
#include "support/format.h"

void RunConverterBody(int argc, char** argv, int& exit_status) {
  CatchInterrupts();
  printf("\n");
  printf("Converting, please wait...\n");
  std::string options;
  esi::conditional_step([&] { return argc > 3; },
                        [&] {
                          for (int i = 3; i < argc; ++i) {
                            options += argv[i];
                            options += ' ';
                          }
                          return 0;
                        },
                        [&] {
                          options.append("-q:v 1", 6);
                          return 0;
                        });
  printf("\n");
  char scratch_folder[kPathBufferSize];
  FormatPath(scratch_folder, "lib/temp");
  char lock_path[kPathBufferSize];
  FormatPath(lock_path, "%s.lock", scratch_folder);
  HANDLE lock = INVALID_HANDLE_VALUE;
  RunInputCheck({argv[1], argv[2], options, scratch_folder, lock_path, lock, exit_status});
}
