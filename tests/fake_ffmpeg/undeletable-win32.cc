#include <windows.h>

#include "tests/fake_ffmpeg/undeletable.h"

bool MakeUndeletable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
}
