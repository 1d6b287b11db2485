// Calls still being written: each fails with ERROR_CALL_NOT_IMPLEMENTED.
#include <cstdio>

#include "ce/kernel/internal.h"

using ce::detail::Fail;
#define NOT_YET(result) return Fail(ERROR_CALL_NOT_IMPLEMENTED, result)

HANDLE CreateFileW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) { NOT_YET(INVALID_HANDLE_VALUE); }
BOOL ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) { NOT_YET(FALSE); }
BOOL WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) { NOT_YET(FALSE); }
DWORD GetFileSize(HANDLE, LPDWORD) { NOT_YET(INVALID_FILE_SIZE); }
DWORD SetFilePointer(HANDLE, LONG, PLONG, DWORD) { NOT_YET(INVALID_SET_FILE_POINTER); }
BOOL SetEndOfFile(HANDLE) { NOT_YET(FALSE); }
BOOL FlushFileBuffers(HANDLE) { NOT_YET(FALSE); }
BOOL CopyFileW(LPCWSTR, LPCWSTR, BOOL) { NOT_YET(FALSE); }
BOOL DeleteFileW(LPCWSTR) { NOT_YET(FALSE); }
BOOL MoveFileW(LPCWSTR, LPCWSTR) { NOT_YET(FALSE); }
DWORD GetFileAttributesW(LPCWSTR) { NOT_YET(INVALID_FILE_ATTRIBUTES); }
BOOL SetFileAttributesW(LPCWSTR, DWORD) { NOT_YET(FALSE); }
BOOL CreateDirectoryW(LPCWSTR, LPSECURITY_ATTRIBUTES) { NOT_YET(FALSE); }
BOOL RemoveDirectoryW(LPCWSTR) { NOT_YET(FALSE); }
HANDLE FindFirstFileW(LPCWSTR, LPWIN32_FIND_DATAW) { NOT_YET(INVALID_HANDLE_VALUE); }
BOOL FindNextFileW(HANDLE, LPWIN32_FIND_DATAW) { NOT_YET(FALSE); }
BOOL FindClose(HANDLE) { NOT_YET(FALSE); }
BOOL FileTimeToSystemTime(const FILETIME*, LPSYSTEMTIME) { NOT_YET(FALSE); }
BOOL SystemTimeToFileTime(const SYSTEMTIME*, LPFILETIME) { NOT_YET(FALSE); }
HANDLE FindFirstChangeNotificationW(LPCWSTR, BOOL, DWORD) { NOT_YET(INVALID_HANDLE_VALUE); }
BOOL FindNextChangeNotification(HANDLE) { NOT_YET(FALSE); }
BOOL FindCloseChangeNotification(HANDLE) { NOT_YET(FALSE); }
BOOL CreateProcessW(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR,
                    LPSTARTUPINFOW, LPPROCESS_INFORMATION) { NOT_YET(FALSE); }
BOOL GetExitCodeProcess(HANDLE, LPDWORD) { NOT_YET(FALSE); }
BOOL TerminateProcess(HANDLE, UINT) { NOT_YET(FALSE); }
DWORD GetCurrentProcessId() { NOT_YET(0u); }
DWORD GetCurrentThreadId() { NOT_YET(0u); }
void Sleep(DWORD) {}
DWORD GetTickCount() { NOT_YET(0u); }
DWORD GetModuleFileNameW(HMODULE, LPWSTR, DWORD) { NOT_YET(0u); }
BOOL GetVersionExW(LPOSVERSIONINFOW) { NOT_YET(FALSE); }
BOOL SystemParametersInfoW(UINT, UINT, PVOID, UINT) { NOT_YET(FALSE); }
BOOL KernelIoControl(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD) { NOT_YET(FALSE); }
void GetLocalTime(LPSYSTEMTIME) {}
void GetSystemTime(LPSYSTEMTIME) {}
int GetDateFormatW(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int) { NOT_YET(0); }
int GetTimeFormatW(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int) { NOT_YET(0); }
HRESULT StringCchCopyW(LPWSTR, size_t, LPCWSTR) { NOT_YET(E_FAIL); }
HRESULT StringCchCopyA(LPSTR, size_t, LPCSTR) { NOT_YET(E_FAIL); }
HRESULT StringCchCopyNW(LPWSTR, size_t, LPCWSTR, size_t) { NOT_YET(E_FAIL); }
HRESULT StringCchCopyNA(LPSTR, size_t, LPCSTR, size_t) { NOT_YET(E_FAIL); }
HRESULT StringCchCatW(LPWSTR, size_t, LPCWSTR) { NOT_YET(E_FAIL); }
HRESULT StringCchCatA(LPSTR, size_t, LPCSTR) { NOT_YET(E_FAIL); }
HRESULT StringCchCatNW(LPWSTR, size_t, LPCWSTR, size_t) { NOT_YET(E_FAIL); }
HRESULT StringCchCatNA(LPSTR, size_t, LPCSTR, size_t) { NOT_YET(E_FAIL); }
HRESULT StringCchLengthW(LPCWSTR, size_t, size_t*) { NOT_YET(E_FAIL); }
HRESULT StringCchLengthA(LPCSTR, size_t, size_t*) { NOT_YET(E_FAIL); }
HRESULT StringCchPrintfW(LPWSTR, size_t, LPCWSTR, ...) { NOT_YET(E_FAIL); }
HRESULT StringCchPrintfA(LPSTR, size_t, LPCSTR, ...) { NOT_YET(E_FAIL); }
HRESULT StringCchVPrintfW(LPWSTR, size_t, LPCWSTR, va_list) { NOT_YET(E_FAIL); }
HRESULT StringCchVPrintfA(LPSTR, size_t, LPCSTR, va_list) { NOT_YET(E_FAIL); }
int MessageBoxW(HWND, LPCWSTR, LPCWSTR, UINT) { NOT_YET(0); }
void OutputDebugStringW(LPCWSTR) {}
namespace ce {
void SetMessageBoxHandler(MessageBoxHandler) {}
int StderrMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) { NOT_YET(0); }
int DefaultMessageBoxButton(UINT) { NOT_YET(0); }
namespace detail {
DWORD ErrorFromErrno(int, bool) { return ERROR_CALL_NOT_IMPLEMENTED; }
}
}  // namespace ce
