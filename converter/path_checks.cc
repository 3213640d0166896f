#include "converter/path_checks.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr char kSchemeCharacters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.";

bool IdentityOf(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const BOOL known = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return known != FALSE;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

// Returns the absolute spelling of path, or "" if it has none.
std::string FullPath(const char* path) {
  const DWORD needed = GetFullPathNameA(path, 0, nullptr, nullptr);
  if (needed == 0) return std::string();
  std::vector<char> buffer(needed + 1);
  const DWORD length =
      GetFullPathNameA(path, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return std::string();
  return WithoutTrailingSeparators(std::string(buffer.data(), length));
}

// Returns where an existing path really is, links resolved, or "" if it does not exist.
std::string FinalPath(const char* path) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string final_path;
  const DWORD needed = GetFinalPathNameByHandleA(file, nullptr, 0, 0);
  if (needed != 0) {
    std::vector<char> buffer(needed + 1);
    const DWORD length =
        GetFinalPathNameByHandleA(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length != 0 && length < buffer.size()) final_path.assign(buffer.data(), length);
  }
  CloseHandle(file);
  return WithoutTrailingSeparators(final_path);
}

// Returns whether candidate or one of the folders above it is the folder.
bool SomeAncestorIs(std::string candidate, const std::string& folder_full, bool folder_exists,
                    const BY_HANDLE_FILE_INFORMATION& folder_identity) {
  while (!candidate.empty()) {
    if (candidate == folder_full) return true;
    BY_HANDLE_FILE_INFORMATION identity;
    if (folder_exists && IdentityOf(candidate.c_str(), &identity) &&
        SameIdentity(identity, folder_identity)) {
      return true;
    }
    const size_t cut = candidate.find_last_of("/\\");
    if (cut == std::string::npos || cut == 0 || candidate[cut - 1] == ':') break;
    candidate.erase(cut);
  }
  return false;
}

}  // namespace

bool FileExists(const char* path) {
  BY_HANDLE_FILE_INFORMATION ignored;
  return IdentityOf(path, &ignored);
}

bool IsStandardStream(const char* path) {
  BY_HANDLE_FILE_INFORMATION named;
  if (!IdentityOf(path, &named)) return false;
  for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE stream = GetStdHandle(which);
    BY_HANDLE_FILE_INFORMATION identity;
    if (stream != nullptr && stream != INVALID_HANDLE_VALUE &&
        GetFileType(stream) != FILE_TYPE_CHAR && GetFileInformationByHandle(stream, &identity) &&
        SameIdentity(identity, named)) {
      return true;
    }
  }
  return false;
}

bool IsOpenAs(FILE* stream, const char* path) {
  BY_HANDLE_FILE_INFORMATION open;
  BY_HANDLE_FILE_INFORMATION named;
  return GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))),
                                    &open) &&
         IdentityOf(path, &named) && SameIdentity(open, named);
}

bool SameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION first;
  BY_HANDLE_FILE_INFORMATION second;
  return IdentityOf(a, &first) && IdentityOf(b, &second) && SameIdentity(first, second);
}

bool LiesInside(const char* path, const char* folder) {
  BY_HANDLE_FILE_INFORMATION folder_identity;
  const bool folder_exists = IdentityOf(folder, &folder_identity);
  const std::string folder_full = FullPath(folder);
  // The spelling catches a folder that does not exist yet; the real location catches links.
  return SomeAncestorIs(FullPath(path), folder_full, folder_exists, folder_identity) ||
         SomeAncestorIs(FinalPath(path), folder_full, folder_exists, folder_identity);
}

bool QuotesCleanly(const char* path) {
  const size_t length = std::strlen(path);
  return std::strchr(path, '"') == nullptr && (length == 0 || path[length - 1] != '\\');
}

std::string FfmpegInputName(const char* path) {
  // ffmpeg takes a name for a protocol when letters, digits, '+', '-' or '.' run up to a colon;
  // one letter alone is a drive. "subfile," starts a protocol too.
  const size_t scheme = std::strspn(path, kSchemeCharacters);
  const bool protocol = (path[scheme] == ':' && scheme > 1) ||
                        std::strncmp(path, "subfile,", 8) == 0 || std::strcmp(path, "-") == 0;
  return protocol ? std::string("file:") + path : std::string(path);
}
