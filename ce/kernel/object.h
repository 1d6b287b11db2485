// Kernel objects and the process's handle table. Every kernel HANDLE (files, finds, change
// notifications, events, processes, threads) names one KernelObject, so CloseHandle,
// WaitForSingleObject and WaitForMultipleObjects treat them alike.
//
// A HANDLE is a small table index (never NULL, never INVALID_HANDLE_VALUE); a stale or made-up value
// is reported as ERROR_INVALID_HANDLE instead of being dereferenced. Lookups hand out shared_ptrs,
// so an object stays alive while a call that found it is still using it, even if another thread
// closes the handle meanwhile.
#pragma once

#include <memory>

#include "ce/kernel.h"

namespace ce {

class KernelObject {
 public:
  virtual ~KernelObject();

  // A descriptor that turns readable when the object may have become signalled, for poll();
  // -1 when there is none (waits then recheck TryAcquire every few milliseconds).
  virtual int WaitFd() const { return -1; }

  // True when the object is signalled now; a satisfied wait consumes what it consumes (an
  // auto-reset event is reset). Never blocks. The default: always signalled (files, finds).
  virtual bool TryAcquire() { return true; }

  // Whether a wait that may block asks TryAcquire before polling WaitFd. An object whose descriptor
  // turns readable whenever there is something to look at says no unless it is signalled already,
  // so such a wait reads nothing until there is something to read.
  virtual bool LookFirst() { return true; }

  // For an object another thread may signal without making WaitFd readable: a second descriptor
  // that a wait on this object alone polls beside WaitFd (-1: none), and the news that such a wait
  // is about to block (false: signalled meanwhile, look again) and has stopped blocking. Every
  // BeginBlock that returned true is followed by EndBlock.
  virtual int WakeFd() const { return -1; }
  virtual bool BeginBlock() { return true; }
  virtual void EndBlock() {}

  // Waits up to timeoutMs (INFINITE: no limit): WAIT_OBJECT_0 or WAIT_TIMEOUT. The default polls
  // WaitFd and asks TryAcquire.
  virtual DWORD Wait(DWORD timeoutMs);
};

// Puts an object into the table and returns its new handle; NULL with ERROR_TOO_MANY_OPEN_FILES
// when the table is full.
HANDLE InsertObject(std::shared_ptr<KernelObject> object);

// The object behind a handle; nullptr with ERROR_INVALID_HANDLE for an unknown handle.
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);

// The object behind a handle if it is of kind T; nullptr with ERROR_INVALID_HANDLE otherwise.
template <class T>
std::shared_ptr<T> LookupObjectAs(HANDLE handle) {
  std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(LookupObject(handle));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

// Removes a handle from the table; the object is destroyed when its last user lets go.
// False with ERROR_INVALID_HANDLE for an unknown handle.
bool RemoveObject(HANDLE handle);

// Waits until one of the objects is signalled or, when extraFd >= 0, extraFd is readable
// (poll's POLLIN). Returns WAIT_OBJECT_0 + index of the first signalled object, WAIT_OBJECT_0 +
// count for extraFd, WAIT_TIMEOUT, or WAIT_FAILED (last error set). Objects are checked before
// extraFd, in order. This is WaitForMultipleObjects with one host descriptor beside the handles,
// for a message loop that also waits on its display connection.
DWORD WaitForObjectsOrFd(const HANDLE* handles, DWORD count, int extraFd, DWORD timeoutMs);

}  // namespace ce
