// Kernel part of the Windows CE stand-in: files, folders, change notification, processes, waits,
// system queries, time, text conversion and the bounded string family, with Win32 names and values.
//
// Device paths are UTF-16, absolute, with backslashes ("\TomTom\x"); they map into $CE_DEVICE/fs
// (see ce/device.h). A relative path fails with ERROR_PATH_NOT_FOUND; a name holding * ? < > | " or
// a control character with ERROR_INVALID_NAME. Every call sets the thread's last error on failure,
// as Win32 does.
//
// Choices this stand-in makes where Windows CE leaves room:
// - Share modes are honoured between all handles of the device, across processes: each open file
//   handle holds byte-range locks on the file itself, past its end (ce/kernel/share.h), so
//   FILE_SHARE_READ/WRITE checks and "file is open" checks for DeleteFileW/MoveFileW see the
//   handles of every process. FILE_SHARE_DELETE is accepted and has no effect. Two conflicting
//   opens at the very same moment each take their locks, then look: both may see the other and
//   fail (each tries once more first), where Windows lets one of them win.
// - FILE_ATTRIBUTE_READONLY is the host file's owner-write permission bit. The check is made here
//   too, so it holds even for a root user. Other attributes are accepted by SetFileAttributesW but
//   not kept; files report FILE_ATTRIBUTE_ARCHIVE (plus READONLY), folders FILE_ATTRIBUTE_DIRECTORY.
// - FindFirstFileW never returns "." or ".."; entries come sorted by name, ignoring case, so the
//   listing order is the same on every host. Names that do not fit cFileName are skipped.
// - Change notification: FindNextChangeNotification clears only the changes already reported;
//   changes made after a wait returned signal the next wait at once, so none is lost.
// - GetModuleFileNameW for an executable that lies outside $CE_DEVICE/fs gives "\<file name>": the
//   program folder is then the device's root folder, which always exists.
// - KernelIoControl(IOCTL_HAL_GET_DEVICEID) on a device without an identifier fails with
//   ERROR_NOT_SUPPORTED. The platform-identifier part holds the platform type text's bytes.
// - CP_ACP and CP_OEMCP are UTF-8. Conversions never write past their buffer and never split a
//   character: what does not fit fails with ERROR_INSUFFICIENT_BUFFER after the whole characters
//   that fit.
// - Dates and times are formatted in US English whatever the locale id.
// - MessageBoxW goes through a replaceable handler (ce::SetMessageBoxHandler); without one it writes
//   to standard error and answers with the default button.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstring>

#include "ce/types.h"

// ---------------------------------------------------------------------------------------------
// Errors and results

#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_HANDLE_DISK_FULL 39L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BROKEN_PIPE 109L
#define ERROR_DISK_FULL 112L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BUSY 170L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_MORE_DATA 234L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_DIRECTORY 267L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_NOTIFY_ENUM_DIR 1022L
#define ERROR_TIMEOUT 1460L

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)(int32_t)0x80004005)
#define E_INVALIDARG ((HRESULT)(int32_t)0x80070057)
#define E_OUTOFMEMORY ((HRESULT)(int32_t)0x8007000E)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// ---------------------------------------------------------------------------------------------
// Memory helpers of winnt.h

#define ZeroMemory(dst, len) memset((dst), 0, (len))
#define FillMemory(dst, len, fill) memset((dst), (fill), (len))
#define CopyMemory(dst, src, len) memcpy((dst), (src), (len))
#define MoveMemory(dst, src, len) memmove((dst), (src), (len))
#define UNREFERENCED_PARAMETER(p) ((void)(p))

// ---------------------------------------------------------------------------------------------
// Handles and waiting

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// Closes any kernel handle: file, find, change notification, event, process, thread.
BOOL CloseHandle(HANDLE hObject);
// Files are always signalled; change notifications when a change was seen; processes and their
// threads when the process has ended; events when set.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// Waits for any one of the objects (bWaitAll must be FALSE, as Windows CE requires); returns
// WAIT_OBJECT_0 + index of the first signalled one.
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds);

// Unnamed events only (a name fails with ERROR_NOT_SUPPORTED).
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// ---------------------------------------------------------------------------------------------
// Files

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;  // never used: pass NULL

// dwFlagsAndAttributes: FILE_ATTRIBUTE_READONLY makes a new file read-only; other bits are accepted.
// hTemplateFile must be NULL.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE hTemplateFile);
// Reads or writes the whole count unless end of file is met; lpOverlapped must be NULL.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped);
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);
BOOL SetEndOfFile(HANDLE hFile);
// The data reaches the disk (fsync); for a file this handle created, its folder entry too.
BOOL FlushFileBuffers(HANDLE hFile);

typedef struct _BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;
// The volume serial number and file index identify the file (host device and inode).
BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation);

// Copies the bytes and the read-only attribute; a failed copy leaves no partial target.
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
BOOL DeleteFileW(LPCWSTR lpFileName);
// Files and folders; fails with ERROR_ALREADY_EXISTS when the new name exists.
BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u
// Files only. MOVEFILE_REPLACE_EXISTING replaces an existing file in one step (a reader sees the
// old file or the new one); MOVEFILE_WRITE_THROUGH returns once the rename is on the disk (the
// folders are synced).
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
DWORD GetFileAttributesW(LPCWSTR lpFileName);
BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes);
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL RemoveDirectoryW(LPCWSTR lpPathName);

// The Windows CE layout (with dwOID, without the desktop's 8.3 name).
typedef struct _WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW WIN32_FIND_DATA;

// lpFileName is a folder and a pattern: "\dir\*.*", "\dir\*.exe", "\dir\name.ext". '*' matches any
// run of characters (so "*.*" matches names without a dot too), '?' one character, case ignored.
// No match: INVALID_HANDLE_VALUE and ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND without the folder).
HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);  // ERROR_NO_MORE_FILES at the end
BOOL FindClose(HANDLE hFindFile);

typedef enum _FINDEX_INFO_LEVELS { FindExInfoStandard, FindExInfoBasic, FindExInfoMaxInfoLevel } FINDEX_INFO_LEVELS;
typedef enum _FINDEX_SEARCH_OPS {
  FindExSearchNameMatch,
  FindExSearchLimitToDirectories,
  FindExSearchLimitToDevices,
  FindExSearchMaxSearchOp
} FINDEX_SEARCH_OPS;
#define FIND_FIRST_EX_CASE_SENSITIVE 0x00000001u
#define FIND_FIRST_EX_LARGE_FETCH 0x00000002u
#define FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY 0x00000004u
// FindFirstFileW with a choice of what is listed. Both info levels fill WIN32_FIND_DATAW whole.
// FindExSearchLimitToDirectories lists folders only (Win32 makes this a hint that a file system
// may ignore; here it always holds), and it spares a look at every file of the folder. Other search
// operations, a search filter or unknown flags fail with ERROR_INVALID_PARAMETER; the known flags
// change nothing (names are matched ignoring case whatever they say).
HANDLE FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId, LPVOID lpFindFileData,
                        FINDEX_SEARCH_OPS fSearchOp, LPVOID lpSearchFilter, DWORD dwAdditionalFlags);

// FILETIME <-> SYSTEMTIME (UTC, 100 ns since 1601).
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);

// ---------------------------------------------------------------------------------------------
// Change notification (inotify underneath)

#define FILE_NOTIFY_CHANGE_FILE_NAME 0x00000001u
#define FILE_NOTIFY_CHANGE_DIR_NAME 0x00000002u
#define FILE_NOTIFY_CHANGE_ATTRIBUTES 0x00000004u
#define FILE_NOTIFY_CHANGE_SIZE 0x00000008u
#define FILE_NOTIFY_CHANGE_LAST_WRITE 0x00000010u
#define FILE_NOTIFY_CHANGE_LAST_ACCESS 0x00000020u
#define FILE_NOTIFY_CHANGE_CREATION 0x00000040u
#define FILE_NOTIFY_CHANGE_SECURITY 0x00000100u

// With this flag the handle also keeps what changed, for CeGetFileNotificationInfo.
#define FILE_NOTIFY_CHANGE_CEGETINFO 0x80000000u

#define FILE_ACTION_ADDED 1u
#define FILE_ACTION_REMOVED 2u
#define FILE_ACTION_MODIFIED 3u
#define FILE_ACTION_RENAMED_OLD_NAME 4u
#define FILE_ACTION_RENAMED_NEW_NAME 5u

typedef struct _FILE_NOTIFY_INFORMATION {
  DWORD NextEntryOffset;  // bytes to the next record; 0 in the last
  DWORD Action;           // FILE_ACTION_*
  DWORD FileNameLength;   // in bytes, without a terminating NUL (there is none)
  WCHAR FileName[1];      // relative to the watched folder
} FILE_NOTIFY_INFORMATION, *PFILE_NOTIFY_INFORMATION;

// Watches a folder (and its subfolders with bWatchSubtree); the handle is signalled by
// WaitForSingleObject once a change of a kind in dwNotifyFilter happened inside it.
HANDLE FindFirstChangeNotificationW(LPCWSTR lpPathName, BOOL bWatchSubtree, DWORD dwNotifyFilter);
// Re-arms: clears the changes reported so far, and the records CeGetFileNotificationInfo did not
// hand out.
BOOL FindNextChangeNotification(HANDLE hChangeHandle);
BOOL FindCloseChangeNotification(HANDLE hChangeHandle);
// The changes kept since the last call (or re-arm) as FILE_NOTIFY_INFORMATION records, as many
// whole records as fit; those handed out are forgotten. A signalled handle hands out the changes
// that signalled it; changes after those are kept once it is re-armed. ERROR_MORE_DATA (with success) when more
// remain, ERROR_INSUFFICIENT_BUFFER (failure) when not even the first fits; with a NULL buffer of
// size 0, *lpBytesAvailable says how many bytes are kept. A handle made without
// FILE_NOTIFY_CHANGE_CEGETINFO keeps none. When more changed than can be kept, the call fails once
// with ERROR_NOTIFY_ENUM_DIR: look at the folder itself.
BOOL CeGetFileNotificationInfo(HANDLE h, DWORD dwFlags, LPVOID lpBuffer, DWORD nBufferLength, LPDWORD lpBytesReturned,
                               LPDWORD lpBytesAvailable);

// ---------------------------------------------------------------------------------------------
// Processes and threads

#define CREATE_SUSPENDED 0x00000004u
#define CREATE_NEW_CONSOLE 0x00000010u
#define STILL_ACTIVE 259u

typedef struct _STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// Starts the host executable behind the device path lpApplicationName (or, when that is NULL, the
// first blank-separated or quoted word of lpCommandLine). The rest of the command line becomes the
// program's arguments, split at blanks with "..." grouping. The child gets this process's
// environment with CE_DEVICE set to the device folder (DISPLAY and the rest pass on unchanged); no
// handle is inherited. lpEnvironment must be NULL; CREATE_NEW_CONSOLE is accepted and ignored,
// CREATE_SUSPENDED is refused. A process handle is signalled when the process has ended; the ended
// child is always reaped, also when its handles were closed first.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);
// STILL_ACTIVE while running; the exit status (or 128 + signal number) afterwards.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
// Runs lpStartAddress(lpParameter) on a new thread of this process (dwCreationFlags must be 0);
// the handle is signalled once the routine has returned.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);  // STILL_ACTIVE while running
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);      // SIGKILL; the exit code reads as given
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();
void Sleep(DWORD dwMilliseconds);
DWORD GetTickCount();  // milliseconds of a monotonic clock, wrapping at 2^32

// hModule must be NULL (the running executable). Returns characters written without the NUL; a
// buffer too small gets the path cut and NUL-terminated, returns nSize and sets
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// ---------------------------------------------------------------------------------------------
// System queries

#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u
#define VER_PLATFORM_WIN32_CE 3u

typedef struct _OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;  // must be sizeof(OSVERSIONINFOW), 276
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *POSVERSIONINFOW, *LPOSVERSIONINFOW;
typedef OSVERSIONINFOW OSVERSIONINFO;

// Windows CE 5.2; fails with ERROR_INSUFFICIENT_BUFFER when dwOSVersionInfoSize is not 276.
BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);

#define SPI_GETWORKAREA 48u
#define SPI_GETPLATFORMTYPE 257u
#define SPI_GETOEMINFO 258u

// SPI_GETPLATFORMTYPE: the profile's platform text into pvParam, uiParam its size in bytes
// (ERROR_INSUFFICIENT_BUFFER when the text and NUL do not fit). SPI_GETOEMINFO: "Trapmarker
// emulator", same rules. SPI_GETWORKAREA: the whole screen as a RECT. Others: ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);

#define IOCTL_HAL_GET_DEVICEID 0x01010054u

typedef struct _DEVICE_ID {
  DWORD dwSize;  // in: the buffer's size; on ERROR_INSUFFICIENT_BUFFER: the size needed
  DWORD dwPresetIDOffset;
  DWORD dwPresetIDBytes;
  DWORD dwPlatformIDOffset;
  DWORD dwPlatformIDBytes;
} DEVICE_ID, *PDEVICE_ID;

// IOCTL_HAL_GET_DEVICEID only. The structure is followed by the preset identifier (the profile's
// deviceid bytes) and the platform identifier. A buffer smaller than needed (by nOutBufSize or
// by dwSize) gets dwSize set to the size needed and fails with ERROR_INSUFFICIENT_BUFFER.
// Without a device identifier: ERROR_NOT_SUPPORTED. Other codes: ERROR_NOT_SUPPORTED.
BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf, DWORD nOutBufSize,
                     LPDWORD lpBytesReturned);

// ---------------------------------------------------------------------------------------------
// Time

typedef DWORD LCID;
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u

#define DATE_SHORTDATE 0x00000001u
#define DATE_LONGDATE 0x00000002u
#define TIME_NOMINUTESORSECONDS 0x00000001u
#define TIME_NOSECONDS 0x00000002u
#define TIME_NOTIMEMARKER 0x00000004u
#define TIME_FORCE24HOURFORMAT 0x00000008u

void GetLocalTime(LPSYSTEMTIME lpSystemTime);
void GetSystemTime(LPSYSTEMTIME lpSystemTime);

// Format pictures: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, g gg (date); h hh H HH m mm s ss t tt
// (time); 'quoted' text is copied, other characters too. lpDate/lpTime NULL: the local time now.
// lpFormat NULL: "M/d/yyyy" (DATE_LONGDATE "dddd, MMMM dd, yyyy") and "h:mm:ss tt" with the
// TIME_* flags. Returns the characters written including the NUL; cch 0 asks for that count; a
// buffer too small fails with ERROR_INSUFFICIENT_BUFFER.
int GetDateFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpDate, LPCWSTR lpFormat, LPWSTR lpDateStr,
                   int cchDate);
int GetTimeFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpTime, LPCWSTR lpFormat, LPWSTR lpTimeStr,
                   int cchTime);

// ---------------------------------------------------------------------------------------------
// Text conversion

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_UTF8 65001u
#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u

// CP_ACP, CP_OEMCP and CP_UTF8 are all UTF-8. A length of -1 takes the text up to and including its
// NUL. An output size of 0 asks for the size needed. Invalid input becomes U+FFFD unless the
// *_ERR_INVALID_CHARS flag asks for ERROR_NO_UNICODE_TRANSLATION. Returns the units written.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
// lpDefaultChar must be NULL; *lpUsedDefaultChar, if given, is set to FALSE.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar);

// ---------------------------------------------------------------------------------------------
// Bounded strings (strsafe). cch counts characters including the NUL; a result that does not fit
// is cut, NUL-terminated and reported as STRSAFE_E_INSUFFICIENT_BUFFER. cch 0 or above
// STRSAFE_MAX_CCH is STRSAFE_E_INVALID_PARAMETER and writes nothing.

#define STRSAFE_MAX_CCH 2147483647
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)(int32_t)0x8007007A)
#define STRSAFE_E_INVALID_PARAMETER ((HRESULT)(int32_t)0x80070057)
#define STRSAFE_E_END_OF_FILE ((HRESULT)(int32_t)0x80070026)

HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);
HRESULT StringCchCopyA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc);
HRESULT StringCchCopyNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToCopy);
HRESULT StringCchCopyNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToCopy);
HRESULT StringCchCatW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);
HRESULT StringCchCatA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc);
HRESULT StringCchCatNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToAppend);
HRESULT StringCchCatNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToAppend);
// STRSAFE_E_INVALID_PARAMETER (and *pcchLength 0) when no NUL lies within cchMax.
HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength);
HRESULT StringCchLengthA(LPCSTR psz, size_t cchMax, size_t* pcchLength);
// Conversions as Windows' printf: in the W version %s and %c take wide (WCHAR) arguments and %S,
// %hs, %C, %hc narrow ones; in the A version the other way round; %ls, %ws, %lc always wide.
// Integers: %d %i %u %x %X %o with flags - + 0 blank #, width, precision and '*'; sizes h, l (32
// bits, as Windows' long), ll and I64 (64), I, z (pointer-sized). Also %p, %e %f %g, %%.
// A NULL string prints "(null)". An unknown conversion is STRSAFE_E_INVALID_PARAMETER.
HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...);
HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...);
HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list argList);
HRESULT StringCchVPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, va_list argList);

// ---------------------------------------------------------------------------------------------
// WCHAR string helpers. Case is ignored for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.

int lstrlenW(LPCWSTR lpString);                       // NULL: 0
int lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);   // <0, 0, >0 by UTF-16 code units; NULL first
int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);  // same, case ignored
// Copies at most iMaxLength - 1 characters and always ends with a NUL (iMaxLength > 0).
LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
LPWSTR CharLowerW(LPWSTR lpsz);  // in place; returns lpsz
LPWSTR CharUpperW(LPWSTR lpsz);

// The C runtime's wide-string calls on WCHAR (char16_t), for the CE sources that use them. They
// overload the standard wchar_t versions.
size_t wcslen(const WCHAR* s);
size_t wcsnlen(const WCHAR* s, size_t maxLen);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle);
WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle);
long wcstol(const WCHAR* s, WCHAR** end, int base);  // saturates at the limits of 32-bit LONG
int _wtoi(const WCHAR* s);
// UTF-8 both ways. dst NULL: the size needed without the NUL. Otherwise at most n units are written,
// whole characters only, with a NUL if it fits (also after a character that did not fit, unlike
// the C runtime, so a cut result is still terminated when there is room). Returns units written without the NUL, or
// (size_t)-1 for input that cannot be converted (an unpaired surrogate, invalid UTF-8).
size_t wcstombs(char* dst, const WCHAR* src, size_t n);
size_t mbstowcs(WCHAR* dst, const char* src, size_t n);

// ---------------------------------------------------------------------------------------------
// Message boxes and debug output

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shows a modal box through the installed handler; returns the ID of the answer.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
void OutputDebugStringW(LPCWSTR lpOutputString);  // to standard error

namespace ce {

using MessageBoxHandler = int (*)(HWND, LPCWSTR, LPCWSTR, UINT);
// Installs the handler behind MessageBoxW; nullptr restores StderrMessageBox.
void SetMessageBoxHandler(MessageBoxHandler handler);
// The fallback without a screen: prints "caption: text [answer]" to standard error and returns the
// box's default button (MB_DEFBUTTON1..3 of the buttons that uType names).
int StderrMessageBox(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
// The ID of the default button of a box of type uType (what Enter answers).
int DefaultMessageBoxButton(UINT uType);

}  // namespace ce
