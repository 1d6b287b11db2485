// System queries, the clock, the running module, message boxes and the errno mapping.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include "ce/device.h"
#include "ce/kernel/internal.h"

using ce::detail::Fail;

namespace ce::detail {

DWORD ErrorFromErrno(int err, bool missingPath) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return missingPath ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case EBUSY:
      return ERROR_BUSY;
    case EIO:
      return ERROR_WRITE_FAULT;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

DWORD MissingError(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  if (slash == std::string::npos) return ERROR_PATH_NOT_FOUND;
  struct stat st;
  std::string folder = hostPath.substr(0, slash);
  return (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool ResolveDevicePath(LPCWSTR devicePath, std::string& hostPath) {
  return ResolveDevicePath(devicePath, hostPath, nullptr);
}

bool ResolveDevicePath(LPCWSTR devicePath, std::string& hostPath, PathLookup* lookup) {
  if (lookup) lookup->state = PathLookup::kUnknown;
  if (devicePath == nullptr || devicePath[0] == 0) return Fail(ERROR_INVALID_NAME, false);
  // Characters Windows never allows in a name; wildcards belong to FindFirstFileW alone.
  for (const WCHAR* p = devicePath; *p; ++p)
    if (*p < 0x20 || *p == u'*' || *p == u'?' || *p == u'<' || *p == u'>' || *p == u'|' || *p == u'"')
      return Fail(ERROR_INVALID_NAME, false);
  if (!DevicePathToHost(devicePath, hostPath, lookup)) return Fail(ERROR_PATH_NOT_FOUND, false);
  return true;
}

FILETIME FileTimeFromUnix(long long seconds, long nanoseconds) {
  // 100 ns intervals since 1601-01-01; 11644473600 s lie between 1601 and 1970.
  unsigned long long ticks =
      (unsigned long long)(seconds + 11644473600LL) * 10000000ull + (unsigned long long)(nanoseconds / 100);
  FILETIME ft;
  ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = DWORD(ticks >> 32);
  return ft;
}

}  // namespace ce::detail

// ---------------------------------------------------------------------------------------------
// Process and clock

DWORD GetCurrentProcessId() { return DWORD(getpid()); }

DWORD GetCurrentThreadId() { return DWORD(syscall(SYS_gettid)); }

DWORD GetTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  unsigned long long ms = (unsigned long long)ts.tv_sec * 1000ull + (unsigned long long)ts.tv_nsec / 1000000ull;
  return DWORD(ms & 0xFFFFFFFFu);
}

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    for (;;) pause();
  }
  // As on Windows, no time at all gives the processor to any thread ready to run, and no more.
  if (dwMilliseconds == 0) {
    sched_yield();
    return;
  }
  timespec left{time_t(dwMilliseconds / 1000), long(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr) return Fail(ERROR_INVALID_HANDLE, DWORD(0));
  if (lpFilename == nullptr) return Fail(ERROR_INVALID_PARAMETER, DWORD(0));
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return Fail(ERROR_FILE_NOT_FOUND, DWORD(0));
  exe[n] = 0;
  std::string host(exe);
  std::u16string device;
  if (!ce::HostPathToDevice(host, device) || device == u"\\") {
    // Outside the device's file system: the program lives in the root folder.
    size_t slash = host.rfind('/');
    device = u"\\" + ce::FromUtf8(host.substr(slash + 1));
  }
  if (nSize == 0) return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD(0));
  if (device.size() + 1 > nSize) {
    size_t take = nSize - 1;
    if (take > 0 && device[take] >= 0xDC00 && device[take] <= 0xDFFF) --take;  // keep surrogate pairs whole
    device.copy(lpFilename, take);
    lpFilename[take] = 0;
    return Fail(ERROR_INSUFFICIENT_BUFFER, nSize);
  }
  device.copy(lpFilename, device.size());
  lpFilename[device.size()] = 0;
  return DWORD(device.size());
}

// ---------------------------------------------------------------------------------------------
// System queries

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  if (lpVersionInformation == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW))
    return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  lpVersionInformation->dwMajorVersion = 5;
  lpVersionInformation->dwMinorVersion = 2;
  lpVersionInformation->dwBuildNumber = 1235;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_CE;
  memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
  return TRUE;
}
static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW must keep the Windows layout");

namespace {

// Copies a text with its NUL into a buffer of sizeBytes bytes.
BOOL TextInto(const std::string& utf8, UINT sizeBytes, PVOID buffer) {
  std::u16string text = ce::FromUtf8(utf8);
  size_t need = (text.size() + 1) * sizeof(WCHAR);
  if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (sizeBytes < need) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  memcpy(buffer, text.c_str(), need);
  return TRUE;
}

}  // namespace

BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT) {
  switch (uiAction) {
    case SPI_GETPLATFORMTYPE:
      return TextInto(ce::Device().platform, uiParam, pvParam);
    case SPI_GETOEMINFO:
      return TextInto("Trapmarker emulator", uiParam, pvParam);
    case SPI_GETWORKAREA: {
      if (pvParam == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
      RECT area{0, 0, ce::Device().screenWidth, ce::Device().screenHeight};
      memcpy(pvParam, &area, sizeof area);
      return TRUE;
    }
    default:
      return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
}

BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID, DWORD, LPVOID lpOutBuf, DWORD nOutBufSize,
                     LPDWORD lpBytesReturned) {
  if (dwIoControlCode != IOCTL_HAL_GET_DEVICEID) return Fail(ERROR_NOT_SUPPORTED, FALSE);
  const ce::DeviceProfile& device = ce::Device();
  if (device.deviceId.empty()) return Fail(ERROR_NOT_SUPPORTED, FALSE);
  if (lpOutBuf == nullptr || nOutBufSize < sizeof(DWORD)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  const std::string& platform = device.platform;
  DWORD need = DWORD(sizeof(DEVICE_ID) + device.deviceId.size() + platform.size());
  // The caller's buffer may not be aligned: every field goes through memcpy.
  DWORD declared;
  memcpy(&declared, lpOutBuf, sizeof declared);
  if (nOutBufSize < need || declared < need) {
    memcpy(lpOutBuf, &need, sizeof need);
    return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  DEVICE_ID id;
  id.dwSize = need;
  id.dwPresetIDOffset = sizeof(DEVICE_ID);
  id.dwPresetIDBytes = DWORD(device.deviceId.size());
  id.dwPlatformIDOffset = id.dwPresetIDOffset + id.dwPresetIDBytes;
  id.dwPlatformIDBytes = DWORD(platform.size());
  BYTE* out = static_cast<BYTE*>(lpOutBuf);
  memcpy(out, &id, sizeof id);
  memcpy(out + id.dwPresetIDOffset, device.deviceId.data(), device.deviceId.size());
  memcpy(out + id.dwPlatformIDOffset, platform.data(), platform.size());
  if (lpBytesReturned) *lpBytesReturned = need;
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Message boxes

namespace {

std::atomic<ce::MessageBoxHandler> messageBoxHandler{nullptr};

// The buttons of a box type, in order.
int Buttons(UINT type, int* ids) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      ids[0] = IDOK, ids[1] = IDCANCEL;
      return 2;
    case MB_ABORTRETRYIGNORE:
      ids[0] = IDABORT, ids[1] = IDRETRY, ids[2] = IDIGNORE;
      return 3;
    case MB_YESNOCANCEL:
      ids[0] = IDYES, ids[1] = IDNO, ids[2] = IDCANCEL;
      return 3;
    case MB_YESNO:
      ids[0] = IDYES, ids[1] = IDNO;
      return 2;
    case MB_RETRYCANCEL:
      ids[0] = IDRETRY, ids[1] = IDCANCEL;
      return 2;
    default:
      ids[0] = IDOK;
      return 1;
  }
}

const char* ButtonName(int id) {
  static const struct {
    int id;
    const char* name;
  } kNames[] = {{IDOK, "OK"},         {IDCANCEL, "Cancel"}, {IDABORT, "Abort"}, {IDRETRY, "Retry"},
                {IDIGNORE, "Ignore"}, {IDYES, "Yes"},       {IDNO, "No"}};
  for (const auto& n : kNames)
    if (n.id == id) return n.name;
  return "?";
}

}  // namespace

namespace ce {

void SetMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler.store(handler); }

int DefaultMessageBoxButton(UINT uType) {
  int ids[3];
  int count = Buttons(uType, ids);
  int index = int((uType & MB_DEFMASK) >> 8);
  return ids[index < count ? index : 0];  // a default beyond the last button falls back to the first
}

int StderrMessageBox(HWND, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  int answer = DefaultMessageBoxButton(uType);
  std::string caption = lpCaption ? ToUtf8(lpCaption) : std::string("Error");
  std::fprintf(stderr, "%s: %s [%s]\n", caption.c_str(), ToUtf8(lpText).c_str(), ButtonName(answer));
  return answer;
}

}  // namespace ce

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  ce::MessageBoxHandler handler = messageBoxHandler.load();
  return (handler ? handler : ce::StderrMessageBox)(hWnd, lpText, lpCaption, uType);
}

void OutputDebugStringW(LPCWSTR lpOutputString) { std::fprintf(stderr, "%s", ce::ToUtf8(lpOutputString).c_str()); }
