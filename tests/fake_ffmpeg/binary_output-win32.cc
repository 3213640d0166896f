#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "tests/fake_ffmpeg/binary_output.h"

void MakeStandardOutputBinary() { _setmode(_fileno(stdout), _O_BINARY); }
