// The subset of the Win32 and Microsoft C run-time interface the converter calls, implemented on
// POSIX. Paths accept both '\' and '/' as separators, as on Windows.
#ifndef FRAMEPACK_PLATFORM_WIN32_POSIX_H_
#define FRAMEPACK_PLATFORM_WIN32_POSIX_H_

#include <stdint.h>
#include <stdio.h>

typedef int BOOL;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef char CHAR;
typedef void* HANDLE;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef int errno_t;
struct SECURITY_ATTRIBUTES;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(0xFFFFFFFF))

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_DEVICE 0x00000040u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u

#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_LOCK_FAILED 167u
#define DELETE 0x00010000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u

#define FILE_TYPE_UNKNOWN 0x0000u
#define FILE_TYPE_DISK 0x0001u
#define FILE_TYPE_CHAR 0x0002u
#define FILE_TYPE_PIPE 0x0003u

#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))
#define FOREGROUND_BLUE 0x0001
#define FOREGROUND_GREEN 0x0002
#define FOREGROUND_RED 0x0004
#define FOREGROUND_INTENSITY 0x0008

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  CHAR cFileName[MAX_PATH];
};

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard };

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};

struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  DWORD dwVolumeSerialNumber;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};

struct CONSOLE_SCREEN_BUFFER_INFO {
  WORD wAttributes;
};

// Returns the attributes of path, without following a final symbolic link (reported as a reparse
// point), or INVALID_FILE_ATTRIBUTES when it cannot be queried.
DWORD GetFileAttributesA(LPCSTR path);
// Returns whether information was filled with the attributes, size and time of writing of path,
// without following a final symbolic link.
BOOL GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS level, void* information);
// Returns whether the folder was created.
BOOL CreateDirectoryA(LPCSTR path, SECURITY_ATTRIBUTES* security);
// Returns whether another entry was delivered to a listing that FindFirstEntry started.
BOOL FindNextFileA(HANDLE listing, WIN32_FIND_DATAA* entry);
// Returns whether the listing was closed.
BOOL FindClose(HANDLE listing);
// Returns whether the file (or link) was deleted; unlike on Windows, a read-only file's name goes.
BOOL DeleteFileA(LPCSTR path);
// Returns whether the empty folder was removed.
BOOL RemoveDirectoryA(LPCSTR path);
// Returns the error code of the calling thread's last failed call that sets one.
DWORD GetLastError();
// Returns nothing; pauses the thread for the given milliseconds.
void Sleep(DWORD milliseconds);
// Returns a handle on a file, or INVALID_HANDLE_VALUE with the last error set. Two uses only: with
// no access and OPEN_EXISTING, a handle for querying an existing file or folder, following links;
// and the lock: read, write and delete access, OPEN_ALWAYS, no sharing, FILE_FLAG_DELETE_ON_CLOSE
// and FILE_FLAG_OPEN_REPARSE_POINT, a file opened or created for this handle alone (never through
// a link; ERROR_SHARING_VIOLATION while another handle has it, in this or another process) and
// deleted when the handle is closed.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
// Returns whether info was filled with the file's identity (device and inode).
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
// Returns the length of the path the open file really has (links resolved) written to buffer, the
// size needed when it does not fit, or 0 on failure. Only flags 0 is supported.
DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR buffer, DWORD size, DWORD flags);
// Returns FILE_TYPE_DISK for a regular file, FILE_TYPE_CHAR for a device, FILE_TYPE_PIPE for a
// pipe or socket.
DWORD GetFileType(HANDLE file);
// Returns whether everything written to the file is on the disk.
BOOL FlushFileBuffers(HANDLE file);
// Returns whether the file was cut off at its current position.
BOOL SetEndOfFile(HANDLE file);
// Returns whether the handle was closed, deleting its file if it was opened to be deleted on close.
BOOL CloseHandle(HANDLE handle);
// Returns the length of the absolute, lexically normalised form of path written to buffer, or the
// size needed (terminating zero included) when it does not fit, or 0 on failure.
DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* file_part);

// Returns a handle for standard output or standard error.
HANDLE GetStdHandle(DWORD which);
// Returns whether standard output is a terminal, filling the current attribute word if it is.
BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info);
// Returns whether the attributes were set; on a terminal they are written as an ANSI sequence.
BOOL SetConsoleTextAttribute(HANDLE console, WORD attributes);

// Returns 0 and the open stream, or an errno value and a null stream.
errno_t fopen_s(FILE** stream, const char* path, const char* mode);
// Returns the file descriptor of stream.
int _fileno(FILE* stream);
// Returns the handle of the file descriptor, for the calls above that take one.
intptr_t _get_osfhandle(int fd);
// Returns 0 after seeking with a 64-bit offset.
int _fseeki64(FILE* stream, int64_t offset, int origin);
// Returns the 64-bit position, or -1.
int64_t _ftelli64(FILE* stream);

#endif  // FRAMEPACK_PLATFORM_WIN32_POSIX_H_
