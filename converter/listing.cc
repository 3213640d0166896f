#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "converter/stages.h"
#include "platform/folder.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"

void RunListingStage(const ConverterContext& context, FILE*& output,
                     const std::vector<std::string>& leftovers) {
  // Opened anew: a link put in the folder's place while ffmpeg ran is refused, never followed.
  HANDLE opened = OpenFolder(context.scratch_folder);
  HeldFolder folder(opened == INVALID_HANDLE_VALUE ? nullptr : opened, CloseFolder);
  WIN32_FIND_DATAA entry;
  HANDLE listing = folder ? FindFirstEntry(folder.get(), &entry) : INVALID_HANDLE_VALUE;
  esi::conditional_step([&] { return listing == INVALID_HANDLE_VALUE; },
                        [&] {
                          PrintColored(kRed, "Unable to convert %s\n", context.input_path);
                          folder.reset();
                          AbandonConversion(context, output);
                          return 0;
                        },
                        [&] {
                          try {
                            RunPackingStage(context, output, folder, listing, entry, leftovers);
                          } catch (const std::exception&) {
                            folder.reset();
                            AbandonOutOfMemory(context, output);
                          }
                          return 0;
                        });
}
