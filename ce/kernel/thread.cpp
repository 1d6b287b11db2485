// Threads of this process: CreateThread runs the routine on a host thread; the handle is
// signalled when the routine has returned, and GetExitCodeThread reads what it returned.
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "ce/kernel/internal.h"
#include "ce/kernel/object.h"

namespace {

class RunningThread : public ce::KernelObject {
 public:
  explicit RunningThread(int fd) : fd_(fd) {}
  ~RunningThread() override { close(fd_); }
  int WaitFd() const override { return fd_; }
  bool TryAcquire() override { return finished_.load(); }
  void Finish(DWORD code) {
    exitCode_ = code;
    finished_ = true;
    uint64_t one = 1;
    ssize_t n = write(fd_, &one, sizeof one);  // wakes waiters; stays readable
    (void)n;
  }
  bool Finished() const { return finished_.load(); }
  DWORD ExitCode() const { return exitCode_; }

 private:
  int fd_;
  std::atomic<bool> finished_{false};
  std::atomic<DWORD> exitCode_{STILL_ACTIVE};
};

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (!lpStartAddress || dwCreationFlags != 0) return ce::detail::Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
  int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return ce::detail::Fail(ce::detail::ErrorFromErrno(errno), HANDLE(nullptr));
  auto state = std::make_shared<RunningThread>(fd);
  HANDLE handle = ce::InsertObject(state);
  if (!handle) return nullptr;
  std::atomic<DWORD> id{0};
  std::atomic<bool> started{false};
  try {
    // The host thread keeps the object alive until the routine returns, whoever closes the handle.
    std::thread([state, lpStartAddress, lpParameter, &id, &started] {
      id = GetCurrentThreadId();
      started = true;
      started.notify_one();
      state->Finish(lpStartAddress(lpParameter));
    }).detach();
  } catch (const std::system_error&) {
    ce::RemoveObject(handle);
    return ce::detail::Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE(nullptr));
  }
  started.wait(false);
  if (lpThreadId) *lpThreadId = id;
  return handle;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  std::shared_ptr<RunningThread> thread = ce::LookupObjectAs<RunningThread>(hThread);
  if (!thread) return FALSE;
  if (lpExitCode) *lpExitCode = thread->ExitCode();
  return TRUE;
}
