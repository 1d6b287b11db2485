#include "navigator/device_file.h"

#include <algorithm>
#include <cstdio>

namespace nav {

WideString Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  WideString out(static_cast<size_t>(n), 0);
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(const WCHAR* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string ErrorText(DWORD error) {
  const char* what = "error";
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      what = "no such file";
      break;
    case ERROR_PATH_NOT_FOUND:
      what = "no such folder";
      break;
    case ERROR_ACCESS_DENIED:
      what = "access denied";
      break;
    case ERROR_SHARING_VIOLATION:
      what = "in use by another program";
      break;
    case ERROR_DISK_FULL:
      what = "disk full";
      break;
    case ERROR_ALREADY_EXISTS:
      what = "already exists";
      break;
    case ERROR_INVALID_NAME:
      what = "invalid name";
      break;
    default:
      break;
  }
  char text[64];
  snprintf(text, sizeof text, "%s (Win32 error %lu)", what, static_cast<unsigned long>(error));
  return text;
}

ReadResult ReadDeviceFile(const std::string& path, uint64_t maxBytes, std::string& bytes, std::string& error) {
  bytes.clear();
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    error = "cannot open " + path + ": " + ErrorText(e);
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ReadResult::kMissing : ReadResult::kFailed;
  }
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(file, &high);
  uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
    error = "cannot read " + path + ": " + ErrorText(GetLastError());
    CloseHandle(file);
    return ReadResult::kFailed;
  }
  if (size > maxBytes) {
    error = path + ": " + std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes) +
            " this file may have; not read";
    CloseHandle(file);
    return ReadResult::kTooLarge;
  }
  // The file may grow while it is read: never past the limit.
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (bytes.size() >= maxBytes) break;
      bytes.resize(std::min<uint64_t>(maxBytes, bytes.size() + 65536));
    }
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!ReadFile(file, bytes.data() + done, want, &got, nullptr)) {
      error = "cannot read " + path + ": " + ErrorText(GetLastError());
      CloseHandle(file);
      bytes.clear();
      return ReadResult::kFailed;
    }
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  CloseHandle(file);
  return ReadResult::kOk;
}

bool ReplaceDeviceFile(const std::string& path, std::string_view bytes, std::string& error) {
  std::string temp = path + ".tmp";
  WideString wideTemp = Wide(temp);
  HANDLE file = CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot create " + temp + ": " + ErrorText(GetLastError());
    return false;
  }
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    DWORD put = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    ok = WriteFile(file, bytes.data() + done, want, &put, nullptr) && put > 0;
    done += put;
  }
  ok = ok && FlushFileBuffers(file);
  DWORD e = ok ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  if (ok && !MoveFileExW(wideTemp.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    e = GetLastError();
  }
  if (!ok) {
    error = "cannot write " + path + ": " + ErrorText(e);
    DeleteFileW(wideTemp.c_str());
  }
  return ok;
}

namespace {
uint64_t Join(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }
}  // namespace

FileStamp StampOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return {};
  FileStamp s;
  s.volume = info.dwVolumeSerialNumber;
  s.index = Join(info.nFileIndexHigh, info.nFileIndexLow);
  s.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
  s.writeTime = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
  s.exists = true;
  return s;
}

FileStamp StampOf(const std::string& path) {
  // Opening for no access at all takes no share mode from anyone.
  HANDLE file = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  FileStamp s = StampOfHandle(file);
  CloseHandle(file);
  return s;
}

std::vector<std::string> ListFiles(const std::string& folder, const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Wide(folder + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(Narrow(found.cFileName));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace nav
