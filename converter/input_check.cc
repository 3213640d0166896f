#include "converter/stages.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"

void RunInputCheck(const ConverterContext& context) {
  esi::conditional_step(
      [&] { return GetFileAttributesA(context.input_path) == INVALID_FILE_ATTRIBUTES; },
      [&] {
        PrintColored(kRed, "%s file not found.\n", context.input_path);
        context.exit_status = 1;
        return 0;
      },
      [&] {
        RunWithScratchLock(context);
        return 0;
      });
}
