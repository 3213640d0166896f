#include "platform/console_text.h"

// A terminal shows the bytes as its locale says; framepack passes them on unchanged.
bool WriteText(FILE* stream, const char* text, size_t length) {
  return fwrite(text, 1, length, stream) == length;
}

unsigned SwitchConsoleToUtf8() { return 0; }

void RestoreConsoleCodePage(unsigned) {}
