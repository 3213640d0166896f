#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/platform.h"

namespace {

// The running command's process, and the job that ends it with framepack: the system closes the
// job's last handle when framepack ends, however it ends, and that kills what runs in the job.
std::atomic<HANDLE> g_job{nullptr};
HANDLE g_process = nullptr;

// Returns the first word of command_line as the run time splits a program name: double quotes
// group, and nothing else is special.
std::string ProgramOf(const char* command_line) {
  std::string program;
  bool quoted = false;
  for (const char* c = command_line; *c != '\0' && (quoted || (*c != ' ' && *c != '\t')); ++c) {
    if (*c == '"') {
      quoted = !quoted;
    } else {
      program += *c;
    }
  }
  return program;
}

// Returns a job that kills its processes once its last handle is closed, or null.
HANDLE MakeJob() {
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// Returns an inheritable copy of handle, or null where there is none.
HANDLE Inheritable(HANDLE handle) {
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

// Returns whether the program was started in job, suspended until it is in the job, with exactly
// the three standard handles inherited; fills process.
bool Start(const char* command_line, HANDLE input, HANDLE output, HANDLE error, HANDLE job,
           HANDLE* process) {
  std::vector<HANDLE> inherited = {input, output};
  if (error != nullptr) inherited.push_back(error);
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return false;
  bool started = false;
  if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = error;
    startup.lpAttributeList = attributes;
    const std::string program = ProgramOf(command_line);
    std::vector<char> line(command_line, command_line + strlen(command_line) + 1);
    PROCESS_INFORMATION started_process = {};
    // A process group of its own takes no Ctrl+C from the console: framepack's handler stops it,
    // once it has noted the interruption, so that the run ends the same way every time.
    if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT,
                       nullptr, nullptr, &startup.StartupInfo, &started_process)) {
      started = AssignProcessToJobObject(job, started_process.hProcess) &&
                ResumeThread(started_process.hThread) != static_cast<DWORD>(-1);
      if (!started) TerminateProcess(started_process.hProcess, 1);
      CloseHandle(started_process.hThread);
      *process = started_process.hProcess;
      if (!started) CloseHandle(started_process.hProcess);
    }
  }
  DeleteProcThreadAttributeList(attributes);
  return started;
}

}  // namespace

FILE* StartCommand(const char* command_line) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  HANDLE job = MakeJob();
  HANDLE error = Inheritable(GetStdHandle(STD_ERROR_HANDLE));
  HANDLE process = nullptr;
  const bool started = input != INVALID_HANDLE_VALUE && job != nullptr &&
                       CreatePipe(&read_end, &write_end, &inherit, 0) &&
                       SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0) &&
                       Start(command_line, input, write_end, error, job, &process);
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  if (write_end != nullptr) CloseHandle(write_end);
  if (error != nullptr) CloseHandle(error);
  const int fd =
      started ? _open_osfhandle(reinterpret_cast<intptr_t>(read_end), _O_RDONLY | _O_TEXT) : -1;
  FILE* stream = fd < 0 ? nullptr : _fdopen(fd, "rt");
  if (stream == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else if (read_end != nullptr) {
      CloseHandle(read_end);
    }
    if (started) CloseHandle(process);
    if (job != nullptr) CloseHandle(job);  // kills the program if it was started
    return nullptr;
  }
  g_process = process;
  g_job = job;
  return stream;
}

int FinishCommand(FILE* stream) {
  fclose(stream);
  DWORD status = static_cast<DWORD>(-1);
  if (g_process != nullptr) {
    WaitForSingleObject(g_process, INFINITE);
    GetExitCodeProcess(g_process, &status);
    CloseHandle(g_process);
    g_process = nullptr;
  }
  HANDLE job = g_job.exchange(nullptr);
  if (job != nullptr) CloseHandle(job);  // and with it whatever the command left running
  // A status from an exception (0xC0000005 and the like) is no status of the program's own.
  return status >= 0xC0000000u ? -1 : static_cast<int>(status);
}

void StopCommand() {
  HANDLE job = g_job;
  if (job != nullptr) TerminateJobObject(job, 1);
}
