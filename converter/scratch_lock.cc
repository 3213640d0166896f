#include <cstring>

#include "converter/stages.h"
#include "platform/interrupt.h"
#include "platform/platform.h"
#include "step_kit/step_kit.h"
#include "support/console.h"
#include "support/format.h"

namespace {

// Returns whether what stands at the lock's path can only be a lock an earlier run left: an
// empty plain file. Anything else there is somebody's, and is left alone.
bool MayBeOurLock(const char* lock_path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(lock_path, GetFileExInfoStandard, &data)) return true;
  return !(data.dwFileAttributes &
           (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) &&
         data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

// Returns whether the folder that holds path exists (as a folder).
bool FolderOfExists(const char* path) {
  char folder[kPathBufferSize];
  const char* cut = std::strrchr(path, '/');
  const char* back = std::strrchr(path, '\\');
  if (back != nullptr && (cut == nullptr || back > cut)) cut = back;
  if (cut == nullptr) return true;
  FormatPath(folder, "%.*s", static_cast<int>(cut - path), path);
  const DWORD attributes = GetFileAttributesA(folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Returns the lock, taken after waiting for any other conversion that holds it: the file exists
// only while some conversion holds it, and is gone with its holder, however that ends.
// INVALID_HANDLE_VALUE when there is no folder to share and so nothing to lock, or, with failed
// set, when the lock cannot be taken.
HANDLE TakeLock(const char* lock_path, bool& failed) {
  failed = !MayBeOurLock(lock_path);
  bool waiting = false;
  // A lock file its last holder has just let go of can stay in the way for a moment, while
  // something else (a virus scanner, say) still has it open: Windows refuses it until then.
  int refusals_left = 50;
  while (!failed) {
    HANDLE lock = CreateFileA(
        lock_path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (lock != INVALID_HANDLE_VALUE) return lock;
    const DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND && !FolderOfExists(lock_path)) return lock;
    const bool held =
        error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && --refusals_left > 0);
    failed = !held || Interrupted();
    // Only another conversion is worth telling about; a refusal for a moment is not.
    if (!failed && !waiting && error == ERROR_SHARING_VIOLATION) {
      printf("Waiting for another conversion in this folder...\n");
      fflush(stdout);
      waiting = true;
    }
    if (!failed) Sleep(100);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void ReleaseScratchLock(const ConverterContext& context) {
  if (context.lock != INVALID_HANDLE_VALUE) CloseHandle(context.lock);
  context.lock = INVALID_HANDLE_VALUE;
}

void RunWithScratchLock(const ConverterContext& context) {
  bool failed = false;
  context.lock = TakeLock(context.lock_path, failed);
  esi::conditional_step([&] { return failed; },
                        [&] {
                          if (Interrupted()) {
                            PrintInterrupted(context);
                          } else {
                            PrintColored(kRed, "Unable to lock the scratch folder: %s\n",
                                         context.lock_path);
                          }
                          context.exit_status = 1;
                          return 0;
                        },
                        [&] {
                          RunRefusalCheck(context);
                          return 0;
                        });
  ReleaseScratchLock(context);
}
