// Processes: CreateProcessW starts the host executable behind a device path with posix_spawn. A
// process handle waits on a pidfd; whoever lets go of the last handle of a child that still runs
// leaves a small thread behind to reap it, so no zombie stays.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ce/device.h"
#include "ce/kernel/internal.h"
#include "ce/kernel/object.h"

extern char** environ;

using ce::detail::Fail;

namespace {

struct ProcessState {
  pid_t pid;
  int pidfd;  // -1 when the host has no pidfd_open: waits then recheck every few milliseconds
  std::mutex mutex;
  bool reaped = false;
  bool killed = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD killCode = 0;

  ProcessState(pid_t p, int fd) : pid(p), pidfd(fd) {}

  // Reaps the child if it has ended; true once it has.
  bool Ended() {
    std::lock_guard<std::mutex> lock(mutex);
    if (reaped) return true;
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == 0) return false;
    reaped = true;
    if (r < 0)
      exitCode = 0;  // reaped elsewhere: the status is gone
    else if (WIFEXITED(status))
      exitCode = DWORD(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
      exitCode = killed ? killCode : DWORD(128 + WTERMSIG(status));
    return true;
  }

  ~ProcessState() {
    if (pidfd >= 0) close(pidfd);
    if (!Ended()) {
      pid_t child = pid;
      std::thread([child] {
        int status;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    }
  }
};

// Signalled once the started process has ended.
class EndsWithProcess : public ce::KernelObject {
 public:
  explicit EndsWithProcess(std::shared_ptr<ProcessState> state) : state(std::move(state)) {}
  int WaitFd() const override { return state->pidfd; }
  bool TryAcquire() override { return state->Ended(); }
  std::shared_ptr<ProcessState> state;
};

class ProcessObject : public EndsWithProcess {
 public:
  using EndsWithProcess::EndsWithProcess;
};

// The process's one thread: signalled together with the process, but a handle of its own kind.
class ThreadObject : public EndsWithProcess {
 public:
  using EndsWithProcess::EndsWithProcess;
};

// Splits a command line at blanks; "..." groups, and a quote inside it is written \".
std::vector<std::string> SplitCommandLine(const std::u16string& line) {
  std::vector<std::string> words;
  std::u16string word;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    WCHAR c = line[i];
    if (c == u'\\' && i + 1 < line.size() && line[i + 1] == u'"') {
      word.push_back(u'"');
      inWord = true;
      ++i;
    } else if (c == u'"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == u' ' || c == u'\t') && !quoted) {
      if (inWord) words.push_back(ce::ToUtf8(word));
      word.clear();
      inWord = false;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(ce::ToUtf8(word));
  return words;
}

}  // namespace

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION lpProcessInformation) {
  if (lpProcessInformation == nullptr || lpEnvironment != nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (dwCreationFlags & CREATE_SUSPENDED) return Fail(ERROR_NOT_SUPPORTED, FALSE);
  std::vector<std::string> words = SplitCommandLine(lpCommandLine ? std::u16string(lpCommandLine) : std::u16string());
  std::u16string program;
  if (lpApplicationName != nullptr) {
    program = lpApplicationName;
  } else {
    if (words.empty()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    program = ce::FromUtf8(words.front());
    words.erase(words.begin());
  }
  std::string host;
  if (!ce::detail::ResolveDevicePath(program.c_str(), host)) return FALSE;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return Fail(ce::detail::MissingError(host), FALSE);
  if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  std::string folder;
  if (lpCurrentDirectory != nullptr && !ce::detail::ResolveDevicePath(lpCurrentDirectory, folder)) return FALSE;

  std::vector<std::string> argvText;
  argvText.push_back(host);
  argvText.insert(argvText.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : argvText) argv.push_back(word.data());
  argv.push_back(nullptr);

  // This process's environment, with CE_DEVICE naming the device even if it was given relative.
  std::string device = "CE_DEVICE=" + ce::DeviceRoot();
  std::vector<char*> envp;
  for (char** e = environ; e && *e; ++e)
    if (strncmp(*e, "CE_DEVICE=", 10) != 0) envp.push_back(*e);
  envp.push_back(device.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  int err = posix_spawn(&pid, host.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (err != 0) {
    if (err == ENOENT && !folder.empty()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);  // the start folder
    return Fail(err == EACCES ? DWORD(ERROR_ACCESS_DENIED) : ce::detail::ErrorFromErrno(err), FALSE);
  }

  int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
  auto state = std::make_shared<ProcessState>(pid, pidfd < 0 ? -1 : pidfd);
  HANDLE process = ce::InsertObject(std::make_shared<ProcessObject>(state));
  HANDLE thread = process ? ce::InsertObject(std::make_shared<ThreadObject>(state)) : nullptr;
  if (thread == nullptr) {
    if (process) ce::RemoveObject(process);
    kill(pid, SIGKILL);  // no handle could be given out: do not leave an orphan behind
    return Fail(ERROR_TOO_MANY_OPEN_FILES, FALSE);
  }
  lpProcessInformation->hProcess = process;
  lpProcessInformation->hThread = thread;
  lpProcessInformation->dwProcessId = DWORD(pid);
  lpProcessInformation->dwThreadId = DWORD(pid);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  std::shared_ptr<ProcessObject> process = ce::LookupObjectAs<ProcessObject>(hProcess);
  if (!process) return FALSE;
  if (lpExitCode == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  process->state->Ended();
  std::lock_guard<std::mutex> lock(process->state->mutex);
  *lpExitCode = process->state->exitCode;
  return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  std::shared_ptr<ProcessObject> process = ce::LookupObjectAs<ProcessObject>(hProcess);
  if (!process) return FALSE;
  std::lock_guard<std::mutex> lock(process->state->mutex);
  if (process->state->reaped) return Fail(ERROR_ACCESS_DENIED, FALSE);  // it has already ended
  process->state->killed = true;
  process->state->killCode = uExitCode;
  // Unreaped, so the pid cannot belong to anyone else yet.
  if (kill(process->state->pid, SIGKILL) != 0) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
  return TRUE;
}
