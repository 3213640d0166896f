#include <cstdio>
#include <exception>
#include <vector>

#include "converter/path_checks.h"
#include "converter/stages.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"
#include "support/remove_tree.h"

namespace {

// Closes a refused output, and deletes it where this run created it: by where it really is, for
// the path may be a link whose target this run made; returns nothing.
void DropRefusedOutput(FILE*& output, bool created) {
  std::vector<char> made(created ? 4096 : 0);
  if (created) {
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output)));
    const DWORD length =
        GetFinalPathNameByHandleA(file, made.data(), static_cast<DWORD>(made.size()), 0);
    if (length == 0 || length >= made.size()) made.clear();
  }
  fclose(output);
  output = nullptr;
  if (!made.empty()) DeleteFileA(made.data());
}

// Refuses the output if, now that it exists, it shows to be what must not be written.
void RunCreatedOutputCheck(const ConverterContext& context, FILE*& output, bool created) {
  const char* format = nullptr;
  bool users_file = true;
  esi::conditional_step(
      [&] { return FindOpenOutputRefusal(context, output, &format, &users_file); },
      [&] {
        PrintColored(kRed, format, context.output_path);
        DropRefusedOutput(output, created && !users_file);
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

}  // namespace

void RunOutputStage(const ConverterContext& context) {
  const bool created = !FileExists(context.output_path);
  FILE* output = nullptr;
  fopen_s(&output, context.output_path, "wb");
  // Unbuffered: what the packing writes is on its way at once, and what fails fails there.
  if (output != nullptr) setvbuf(output, nullptr, _IONBF, 0);
  esi::conditional_step([&] { return output == nullptr; },
                        [&] {
                          PrintColored(kRed, "Unable to create: %s\n", context.output_path);
                          RemoveDirectoryTree(context.scratch_folder);
                          context.exit_status = 1;
                          return 0;
                        },
                        [&] {
                          RunCreatedOutputCheck(context, output, created);
                          return 0;
                        });
}
