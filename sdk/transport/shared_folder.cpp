#include "sdk/transport/shared_folder.h"

#include <cstring>

#include "sdk/transport/platform.h"

// The empty root stands for the root of the file system, which every device has.
const WCHAR* const kSdkStorageRoots[] = {TEXT("")};
const size_t kSdkStorageRootCount = sizeof(kSdkStorageRoots) / sizeof(kSdkStorageRoots[0]);

namespace {

constexpr UINT kPlatformIdCe = 3;  // VER_PLATFORM_WIN32_CE

bool IsDirectory(LPCWSTR path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CopyOut(WCHAR* folder, size_t capacity, LPCWSTR text) {
  if (!folder || capacity == 0) return;
  // A cut path would name another folder: hand out nothing rather than that.
  if (FAILED(StringCchCopyW(folder, capacity, text))) folder[0] = 0;
}

}  // namespace

bool IsSmartphone() {
  OSVERSIONINFOW version;
  std::memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version) || version.dwPlatformId != kPlatformIdCe) return false;

  WCHAR platform[MAX_PATH];
  std::memset(platform, 0, sizeof(platform));
  if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, MAX_PATH, platform, 0)) return false;
  platform[MAX_PATH - 1] = 0;
  return wcsstr(platform, TEXT("Smartphone")) != nullptr || wcsstr(platform, TEXT("SmartPhone")) != nullptr;
}

namespace {

void BaseFolder(bool smartphone, WCHAR* folder, size_t capacity) {
  WCHAR base[kSdkPathSize] = TEXT("\\");
  if (smartphone) {
    for (size_t i = kSdkStorageRootCount; i-- > 0;) {
      const WCHAR* root = kSdkStorageRoots[i];
      if (root[0] == 0 || GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) {
        if (SUCCEEDED(StringCchCopyW(base, kSdkPathSize, root)) &&
            SUCCEEDED(StringCchCatW(base, kSdkPathSize, TEXT("\\")))) {
          break;
        }
        StringCchCopyW(base, kSdkPathSize, TEXT("\\"));
      }
    }
  }
  CopyOut(folder, capacity, base);
}

}  // namespace

void GetSdkBaseFolder(WCHAR* folder, size_t capacity) { BaseFolder(IsSmartphone(), folder, capacity); }

void FindSharedFolder(WCHAR* folder, size_t capacity) {
  const bool smartphone = IsSmartphone();
  WCHAR base[kSdkPathSize];
  BaseFolder(smartphone, base, kSdkPathSize);
  WCHAR result[kSdkPathSize];
  if (FAILED(StringCchCopyW(result, kSdkPathSize, base)) ||
      FAILED(StringCchCatW(result, kSdkPathSize, TEXT("TomTom")))) {
    StringCchCopyW(result, kSdkPathSize, TEXT("\\TomTom"));
  }

  if (smartphone && !IsDirectory(result)) {
    // No "TomTom" at the top: take the first top-level folder, in listing order, that holds one.
    WCHAR pattern[kSdkPathSize];
    WIN32_FIND_DATAW entry;
    HANDLE find = INVALID_HANDLE_VALUE;
    if (SUCCEEDED(StringCchCopyW(pattern, kSdkPathSize, base)) &&
        SUCCEEDED(StringCchCatW(pattern, kSdkPathSize, TEXT("*.*")))) {
      find = FindFirstFileW(pattern, &entry);
    }
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == TEXT('.')) continue;
        WCHAR candidate[kSdkPathSize];
        if (FAILED(StringCchCopyW(candidate, kSdkPathSize, base)) ||
            FAILED(StringCchCatW(candidate, kSdkPathSize, entry.cFileName)) ||
            FAILED(StringCchCatW(candidate, kSdkPathSize, TEXT("\\TomTom")))) {
          continue;  // too long to be a usable folder
        }
        if (IsDirectory(candidate)) {
          StringCchCopyW(result, kSdkPathSize, candidate);
          break;
        }
      } while (FindNextFileW(find, &entry));
      FindClose(find);
    }
  }

  if (FAILED(StringCchCatW(result, kSdkPathSize, TEXT("\\")))) {
    StringCchCopyW(result, kSdkPathSize, TEXT("\\TomTom\\"));
  }
  CopyOut(folder, capacity, result);
}
