#include "converter/path_checks.h"
#include "converter/stages.h"
#include "step_kit/step_kit.h"
#include "support/console.h"

namespace {

// Returns whether the paths must be refused, with the red line's format and its argument.
bool FindRefusal(const ConverterContext& context, const char** format, const char** argument) {
  *argument = context.output_path;
  if (LiesInside(context.input_path, context.scratch_folder)) {
    *format = "%s lies inside the scratch folder lib/temp.\n";
    *argument = context.input_path;
  } else if (LiesInside(context.output_path, context.scratch_folder)) {
    *format = "%s lies inside the scratch folder lib/temp.\n";
  } else if (SameFile(context.input_path, context.output_path)) {
    *format = "Output would overwrite the input: %s\n";
  } else if (SameFile(kFfmpegPath, context.output_path)) {
    *format = "Output would overwrite ffmpeg: %s\n";
  } else if (SameFile(context.lock_path, context.output_path)) {
    *format = "Output would overwrite the lock file: %s\n";
  } else if (IsStandardStream(context.output_path)) {
    *format = "Output is also standard output or error: %s\n";
  } else if (!QuotesCleanly(context.input_path)) {
    *format = "Unable to pass the path to ffmpeg: %s\n";
    *argument = context.input_path;
  } else if (FormatFfmpegCommand(context) < 0) {
    *format = "Command line too long for: %s\n";
    *argument = context.input_path;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool FindOpenOutputRefusal(const ConverterContext& context, FILE* output, const char** format,
                           bool* users_file) {
  *users_file = true;
  if (IsOpenAs(output, context.input_path)) {
    *format = "Output would overwrite the input: %s\n";
  } else if (IsOpenAs(output, kFfmpegPath)) {
    *format = "Output would overwrite ffmpeg: %s\n";
  } else if (IsOpenAs(output, context.lock_path)) {
    *format = "Output would overwrite the lock file: %s\n";
  } else if (LiesInside(context.output_path, context.scratch_folder)) {
    *format = "%s lies inside the scratch folder lib/temp.\n";
    *users_file = false;
  } else {
    return false;
  }
  return true;
}

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
                          RunOutputStage(context);
                          return 0;
                        });
}
