// The Win32 file and console calls and the C run-time extensions the converter uses. On Windows
// they are the system's own; elsewhere our POSIX layer provides the same names.
#ifndef FRAMEPACK_PLATFORM_PLATFORM_H_
#define FRAMEPACK_PLATFORM_PLATFORM_H_

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include "platform/win32-posix.h"
#endif

#endif  // FRAMEPACK_PLATFORM_PLATFORM_H_
