#include <cstdio>
#include <exception>

#include "converter/stages.h"
#include "platform/console_text.h"
#include "platform/interrupt.h"
#include "platform/standard_streams.h"
#include "step_kit/step_kit.h"
#include "support/console.h"

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  int exit_status = 0;
  // ffmpeg writes names to the console as UTF-8 bytes; the user's code page comes back at the end.
  const unsigned console_code_page = SwitchConsoleToUtf8();
  try {
    esi::conditional_step([&] { return argc < 3; },
                          [&] {
                            printf("args: InputVideo OutputVideo Options\n");
                            exit_status = 1;
                            return 0;
                          },
                          [&] {
                            RunConverterBody(argc, argv, exit_status);
                            return 0;
                          });
  } catch (const std::exception&) {
    // Only what comes before the output is opened gets here; the later stages clean up themselves.
    PrintColored(kRed, "Unable to convert %s: out of memory\n", argv[1]);
    exit_status = 1;
  }
  RestoreConsoleCodePage(console_code_page);
  // A run ended by Ctrl+C or the like ends the same way once it has cleaned up. One that
  // completed before it could stop stands as a success.
  if (exit_status == 1 && Interrupted()) EndAsInterrupted();
  return exit_status;
}
