#include "tests/fake_ffmpeg/binary_output.h"

// POSIX streams are binary already.
void MakeStandardOutputBinary() {}
