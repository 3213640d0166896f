#include <io.h>

#include "platform/console_text.h"
#include "platform/platform.h"

namespace {

// At most this many bytes become UTF-16 at a time, on the stack: a line about a failed
// allocation must not need one.
constexpr size_t kPieceBytes = 512;

// Returns whether all the units were written to the console.
bool WriteUnits(HANDLE console, const wchar_t* units, size_t count) {
  for (size_t done = 0; done < count;) {
    DWORD written = 0;
    if (!WriteConsoleW(console, units + done, static_cast<DWORD>(count - done), &written,
                       nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Returns where the piece of text from at ends: before the next LF, after at most kPieceBytes,
// and never inside a character (a byte that is no UTF-8 is a character of its own).
size_t PieceEnd(const char* text, size_t length, size_t at) {
  size_t end = at;
  while (end < length && text[end] != '\n' && end - at < kPieceBytes) ++end;
  size_t whole = end;
  while (whole > at && whole < length && (static_cast<unsigned char>(text[whole]) & 0xC0) == 0x80) {
    --whole;
  }
  return whole > at ? whole : end;
}

}  // namespace

// Bytes written to a console are read in its code page (and wine's C run time reads them as
// Latin-1, whatever that is); characters written as UTF-16 are read as themselves.
bool WriteText(FILE* stream, const char* text, size_t length) {
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (length == 0 || !GetConsoleMode(console, &mode)) {
    return fwrite(text, 1, length, stream) == length;
  }
  fflush(stream);  // what the run time holds comes first
  for (size_t at = 0; at < length;) {
    if (text[at] == '\n') {
      if (!WriteUnits(console, L"\r\n", 2)) return false;
      ++at;
      continue;
    }
    const size_t end = PieceEnd(text, length, at);
    wchar_t units[kPieceBytes];
    // A byte that is no UTF-8 becomes U+FFFD.
    const int count = MultiByteToWideChar(CP_UTF8, 0, text + at, static_cast<int>(end - at), units,
                                          static_cast<int>(kPieceBytes));
    if (count <= 0 || !WriteUnits(console, units, static_cast<size_t>(count))) return false;
    at = end;
  }
  return true;
}

unsigned SwitchConsoleToUtf8() {
  const UINT previous = GetConsoleOutputCP();
  if (previous == 0 || previous == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return 0;
  return previous;
}

void RestoreConsoleCodePage(unsigned code_page) {
  if (code_page != 0) SetConsoleOutputCP(code_page);
}
