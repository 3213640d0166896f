#include "tests/fake_ffmpeg/code_page.h"

unsigned ConsoleCodePage() { return 0; }
