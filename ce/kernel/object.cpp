// The handle table, waits on any kernel object, events and the last error.
#include "ce/kernel/object.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <vector>

#include "ce/kernel/internal.h"

namespace ce {
namespace {

thread_local DWORD lastError = 0;

// Handles are (slot + 1) * 4, like the small multiples of four Windows hands out.
constexpr size_t kMaxHandles = 1u << 16;
constexpr int kRecheckMs = 5;  // how often an object without a descriptor is rechecked

// The table is never destroyed: handles may still be closed by destructors of other statics while
// the process exits.
struct Table {
  std::mutex mutex;
  std::vector<std::shared_ptr<KernelObject>> slots;
  size_t nextSlot = 0;  // slots are handed out round-robin so a closed handle is not reused at once
};

Table& TheTable() {
  static Table* table = new Table;
  return *table;
}

bool SlotOf(HANDLE handle, size_t& slot) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value == 0 || value % 4 != 0 || value / 4 > kMaxHandles) return false;
  slot = value / 4 - 1;
  return true;
}

uint64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

// Milliseconds left until deadline for poll(): -1 without a deadline.
int PollTimeout(bool infinite, uint64_t deadline) {
  if (infinite) return -1;
  uint64_t now = NowMs();
  if (now >= deadline) return 0;
  uint64_t left = deadline - now;
  return left > 0x7fffffff ? 0x7fffffff : int(left);
}

class EventObject : public KernelObject {
 public:
  EventObject(int fd, bool manualReset) : fd_(fd), manualReset_(manualReset) {}
  ~EventObject() override { close(fd_); }
  int WaitFd() const override { return fd_; }
  bool TryAcquire() override {
    if (manualReset_) {
      pollfd p{fd_, POLLIN, 0};
      return poll(&p, 1, 0) == 1;
    }
    uint64_t value;
    return read(fd_, &value, sizeof value) == sizeof value;  // auto-reset: the wait consumes it
  }
  void Set() {
    // The counter only ever holds 0 or 1: an event set twice is still set once.
    std::lock_guard<std::mutex> lock(mutex_);
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) == 1) return;
    uint64_t one = 1;
    ssize_t n = write(fd_, &one, sizeof one);
    (void)n;
  }
  void Reset() {
    uint64_t value;
    ssize_t n = read(fd_, &value, sizeof value);  // nonblocking: fine when not set
    (void)n;
  }

 private:
  int fd_;
  bool manualReset_;
  std::mutex mutex_;
};

}  // namespace

KernelObject::~KernelObject() = default;

DWORD KernelObject::Wait(DWORD timeoutMs) {
  bool infinite = timeoutMs == INFINITE;
  uint64_t deadline = NowMs() + (infinite ? 0 : timeoutMs);
  for (bool first = true;; first = false) {
    if ((!first || timeoutMs == 0 || LookFirst()) && TryAcquire()) return WAIT_OBJECT_0;
    int timeout = PollTimeout(infinite, deadline);
    if (timeout == 0) return WAIT_TIMEOUT;
    int fd = WaitFd();
    if (fd < 0) {
      int step = timeout < 0 || timeout > kRecheckMs ? kRecheckMs : timeout;
      poll(nullptr, 0, step);
      continue;
    }
    if (!BeginBlock()) continue;
    pollfd p[2] = {{fd, POLLIN, 0}, {WakeFd(), POLLIN, 0}};
    const int ready = poll(p, p[1].fd >= 0 ? 2 : 1, timeout);
    const int error = errno;
    EndBlock();
    if (ready < 0 && error != EINTR) return detail::Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
  }
}

HANDLE InsertObject(std::shared_ptr<KernelObject> object) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  size_t size = table.slots.size();
  for (size_t n = 0; n < size; ++n) {
    size_t slot = (table.nextSlot + n) % size;
    if (!table.slots[slot]) {
      table.slots[slot] = std::move(object);
      table.nextSlot = slot + 1;
      return reinterpret_cast<HANDLE>(uintptr_t(slot + 1) * 4);
    }
  }
  if (size >= kMaxHandles) return detail::Fail(ERROR_TOO_MANY_OPEN_FILES, HANDLE(nullptr));
  table.slots.push_back(std::move(object));
  table.nextSlot = size + 1;
  return reinterpret_cast<HANDLE>(uintptr_t(size + 1) * 4);
}

std::shared_ptr<KernelObject> LookupObject(HANDLE handle) {
  size_t slot;
  if (SlotOf(handle, slot)) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (slot < table.slots.size() && table.slots[slot]) return table.slots[slot];
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

bool RemoveObject(HANDLE handle) {
  std::shared_ptr<KernelObject> object;  // destroyed after the lock is released
  size_t slot;
  if (SlotOf(handle, slot)) {
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (slot < table.slots.size()) object = std::move(table.slots[slot]);
  }
  if (!object) return detail::Fail(ERROR_INVALID_HANDLE, false);
  return true;
}

DWORD WaitForObjectsOrFd(const HANDLE* handles, DWORD count, int extraFd, DWORD timeoutMs) {
  if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr))
    return detail::Fail(ERROR_INVALID_PARAMETER, WAIT_FAILED);
  std::vector<std::shared_ptr<KernelObject>> objects;
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<KernelObject> object = LookupObject(handles[i]);
    if (!object) return WAIT_FAILED;
    objects.push_back(std::move(object));
  }
  bool infinite = timeoutMs == INFINITE;
  uint64_t deadline = NowMs() + (infinite ? 0 : timeoutMs);
  std::vector<pollfd> fds;
  for (;;) {
    for (DWORD i = 0; i < count; ++i)
      if (objects[i]->TryAcquire()) return WAIT_OBJECT_0 + i;
    fds.clear();
    bool recheck = false;
    for (const auto& object : objects) {
      int fd = object->WaitFd();
      if (fd >= 0)
        fds.push_back({fd, POLLIN, 0});
      else
        recheck = true;
    }
    if (extraFd >= 0) fds.push_back({extraFd, POLLIN, 0});
    if (extraFd >= 0) {
      pollfd p{extraFd, POLLIN, 0};
      if (poll(&p, 1, 0) == 1) return WAIT_OBJECT_0 + count;
    }
    int timeout = PollTimeout(infinite, deadline);
    if (timeout == 0) return WAIT_TIMEOUT;
    if (recheck && (timeout < 0 || timeout > kRecheckMs)) timeout = kRecheckMs;
    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
      return detail::Fail(ERROR_INVALID_PARAMETER, WAIT_FAILED);
  }
}

}  // namespace ce

using namespace ce;

DWORD GetLastError() { return ce::lastError; }

void SetLastError(DWORD dwErrCode) { ce::lastError = dwErrCode; }

BOOL CloseHandle(HANDLE hObject) { return RemoveObject(hObject) ? TRUE : FALSE; }

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  std::shared_ptr<KernelObject> object = LookupObject(hHandle);
  if (!object) return WAIT_FAILED;
  return object->Wait(dwMilliseconds);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
  if (nCount == 0 || bWaitAll) return detail::Fail(ERROR_INVALID_PARAMETER, WAIT_FAILED);
  return WaitForObjectsOrFd(lpHandles, nCount, -1, dwMilliseconds);
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) {
  if (lpName != nullptr) return detail::Fail(ERROR_NOT_SUPPORTED, HANDLE(nullptr));
  int fd = eventfd(bInitialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return detail::Fail(detail::ErrorFromErrno(errno), HANDLE(nullptr));
  return InsertObject(std::make_shared<EventObject>(fd, bManualReset != FALSE));
}

BOOL SetEvent(HANDLE hEvent) {
  std::shared_ptr<EventObject> event = LookupObjectAs<EventObject>(hEvent);
  if (!event) return FALSE;
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  std::shared_ptr<EventObject> event = LookupObjectAs<EventObject>(hEvent);
  if (!event) return FALSE;
  event->Reset();
  return TRUE;
}
