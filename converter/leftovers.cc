#include <string>
#include <vector>

#include "converter/stages.h"
#include "platform/folder.h"

std::string Signature(const WIN32_FIND_DATAA& entry) {
  return std::string(entry.cFileName) + '\0' + std::to_string(entry.nFileSizeHigh) + ':' +
         std::to_string(entry.nFileSizeLow) + '\0' +
         std::to_string(entry.ftLastWriteTime.dwHighDateTime) + ':' +
         std::to_string(entry.ftLastWriteTime.dwLowDateTime);
}

std::vector<std::string> ListLeftovers(HANDLE folder) {
  std::vector<std::string> leftovers;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstEntry(folder, &entry);
  if (listing == INVALID_HANDLE_VALUE) return leftovers;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) leftovers.push_back(Signature(entry));
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  return leftovers;
}
