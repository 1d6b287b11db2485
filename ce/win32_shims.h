// The Windows CE calls that desktop Windows lacks, for building the program with a Windows
// toolchain (link msimg32 for TransparentBlt). On a CE device the real calls are used instead.
#pragma once

#ifdef _WIN32
#include <windows.h>

#ifndef _WIN32_WCE

// Pocket PC shell. A desktop gives every top-level window that is not a popup a caption and a
// frame; full screen there is a popup covering the whole screen.
#include "ce/shfullscreen.h"
inline BOOL SHFullScreen(HWND window, DWORD state) {
  if (!(state & SHFS_HIDETASKBAR)) return TRUE;
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  LONG_PTR popup = (style & ~(LONG_PTR)(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) | WS_POPUP;
  if (popup != style) SetWindowLongPtrW(window, GWL_STYLE, popup);
  return SetWindowPos(window, HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                      SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// A .bmp file as a device-independent bitmap.
inline HBITMAP SHLoadDIBitmap(LPCWSTR path) {
  return (HBITMAP)LoadImageW(NULL, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
}

// CE's TransparentImage takes a bitmap or a device context as its source.
inline BOOL TransparentImage(HDC dest, LONG x, LONG y, LONG width, LONG height, HANDLE src, LONG srcX, LONG srcY,
                             LONG srcWidth, LONG srcHeight, COLORREF transparent) {
  if (GetObjectType(src) != OBJ_BITMAP)
    return TransparentBlt(dest, x, y, width, height, (HDC)src, srcX, srcY, srcWidth, srcHeight, transparent);
  HDC source = CreateCompatibleDC(dest);
  if (!source) return FALSE;
  HGDIOBJ replaced = SelectObject(source, src);
  BOOL ok = TransparentBlt(dest, x, y, width, height, source, srcX, srcY, srcWidth, srcHeight, transparent);
  SelectObject(source, replaced);
  DeleteDC(source);
  return ok;
}

// The device identifier: a desktop has none the program could read.
#define IOCTL_HAL_GET_DEVICEID 0x01010054
typedef struct _DEVICE_ID {
  DWORD dwSize;
  DWORD dwPresetIDOffset;
  DWORD dwPresetIDBytes;
  DWORD dwPlatformIDOffset;
  DWORD dwPlatformIDBytes;
} DEVICE_ID, *PDEVICE_ID;
inline BOOL KernelIoControl(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

#define SPI_GETPLATFORMTYPE 257

// A desktop's change notification handle keeps no names (ReadDirectoryChangesW reports them, on a
// folder handle of its own): the caller is told nothing is known and looks for itself.
#define FILE_NOTIFY_CHANGE_CEGETINFO 0
inline BOOL CeGetFileNotificationInfo(HANDLE, DWORD, LPVOID, DWORD, LPDWORD returned, LPDWORD available) {
  if (returned) *returned = 0;
  if (available) *available = 0;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

// A CE device context starts with CE's system font, a plain Tahoma of 11 pixels; a desktop's
// starts with the larger, bold "System" font. Memory contexts get the CE one, so text drawn
// without choosing a font looks as it does on the device.
inline HDC CeCreateCompatibleDC(HDC dc) {
  static HFONT systemFont =
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, L"Tahoma");
  HDC memory = CreateCompatibleDC(dc);
  if (memory && systemFont) SelectObject(memory, systemFont);
  return memory;
}
#define CreateCompatibleDC CeCreateCompatibleDC

// CE reads the lowest bit of the handle as "bring the window's owned windows forward too"; a
// desktop brings owned windows along anyway and takes no flag bits in a handle.
inline BOOL CeSetForegroundWindow(HWND window) {
  return SetForegroundWindow((HWND)((ULONG_PTR)window & ~(ULONG_PTR)1));
}
#define SetForegroundWindow CeSetForegroundWindow

#endif  // !_WIN32_WCE
#endif  // _WIN32
