#include "sdk/transport/sdk_file.h"

#include <cstring>

#include "sdk/transport/platform.h"
#include "sdk/transport/shared_folder.h"

namespace {

bool Exists(LPCWSTR path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Joins up to three parts into `out`; false when the result does not fit.
bool Join(WCHAR* out, size_t capacity, LPCWSTR a, LPCWSTR b, LPCWSTR c = TEXT("")) {
  return SUCCEEDED(StringCchCopyW(out, capacity, a)) && SUCCEEDED(StringCchCatW(out, capacity, b)) &&
         SUCCEEDED(StringCchCatW(out, capacity, c));
}

// Creates a folder given with its final backslash. Failure (it exists) is fine.
void CreateFolder(LPCWSTR folderWithSlash) {
  WCHAR path[kSdkPathSize];
  if (FAILED(StringCchCopyW(path, kSdkPathSize, folderWithSlash))) return;
  size_t length = 0;
  if (FAILED(StringCchLengthW(path, kSdkPathSize, &length)) || length < 2) return;
  if (path[length - 1] == TEXT('\\')) path[length - 1] = 0;
  CreateDirectoryW(path, nullptr);
}

// The file search of the script location: \Windows\ under each root, then the mail attachments
// folder (this device keeps no setting for it, so the root folder stands in), then every
// top-level folder not starting with ".". Writes the folder where `name` was found.
bool SearchFile(LPCWSTR name, WCHAR* folder, size_t capacity) {
  WCHAR path[kSdkPathSize];
  for (size_t r = 0; r < kSdkStorageRootCount; ++r) {
    const WCHAR* root = kSdkStorageRoots[r];
    WCHAR candidate[kSdkPathSize];
    if (Join(candidate, kSdkPathSize, root, TEXT("\\Windows\\")) && Join(path, kSdkPathSize, candidate, name) &&
        Exists(path)) {
      return SUCCEEDED(StringCchCopyW(folder, capacity, candidate));
    }
  }
  if (Join(path, kSdkPathSize, TEXT("\\"), name) && Exists(path)) {
    return SUCCEEDED(StringCchCopyW(folder, capacity, TEXT("\\")));
  }
  for (size_t r = 0; r < kSdkStorageRootCount; ++r) {
    const WCHAR* root = kSdkStorageRoots[r];
    WCHAR pattern[kSdkPathSize];
    if (!Join(pattern, kSdkPathSize, root, TEXT("\\*.*"))) continue;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) continue;
    bool found = false;
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == TEXT('.')) continue;
      WCHAR candidate[kSdkPathSize];
      if (Join(candidate, kSdkPathSize, root, TEXT("\\"), entry.cFileName) &&
          SUCCEEDED(StringCchCatW(candidate, kSdkPathSize, TEXT("\\"))) && Join(path, kSdkPathSize, candidate, name) &&
          Exists(path)) {
        found = SUCCEEDED(StringCchCopyW(folder, capacity, candidate));
        break;
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    if (found) return true;
  }
  return false;
}

// The folder of a location, ending in a backslash (empty for a bare name).
bool LocationFolder(LPCWSTR name, int location, bool forWriting, WCHAR* folder, size_t capacity) {
  WCHAR shared[kSdkPathSize];
  FindSharedFolder(shared, kSdkPathSize);
  switch (location) {
    case kSdkCallsFolder:
      return Join(folder, capacity, shared, TEXT("SdkFileCalls\\"));
    case kSdkRegistryFolder:
      return Join(folder, capacity, shared, TEXT("SdkRegistry\\"));
    case kSdkSharedFolder:
      return Join(folder, capacity, shared, TEXT(""));
    case kSdkDocuments: {
      // The device offers no shell query for the personal folder: it is the one under the base.
      WCHAR base[kSdkPathSize];
      GetSdkBaseFolder(base, kSdkPathSize);
      return Join(folder, capacity, base, TEXT("My Documents\\"), TEXT("TomTom\\"));
    }
    case kSdkScriptFolder:
      if (SearchFile(forWriting ? TEXT("master.script") : name, folder, capacity)) return true;
      return SUCCEEDED(StringCchCopyW(folder, capacity, TEXT("")));
    default: {
      WCHAR module[kSdkPathSize];
      const DWORD length = GetModuleFileNameW(nullptr, module, kSdkPathSize);
      if (length > 0 && length < kSdkPathSize) {
        module[length] = 0;
        for (DWORD i = length; i-- > 0;) {
          if (module[i] == TEXT('\\')) {
            module[i + 1] = 0;
            return SUCCEEDED(StringCchCopyW(folder, capacity, module));
          }
        }
      }
      return Join(folder, capacity, shared, TEXT(""));
    }
  }
}

// Creates what opening in `location` needs before the file itself.
void PrepareFolders(int location, bool forWriting) {
  WCHAR shared[kSdkPathSize];
  WCHAR folder[kSdkPathSize];
  switch (location) {
    case kSdkCallsFolder:
    case kSdkRegistryFolder:
      FindSharedFolder(shared, kSdkPathSize);
      CreateFolder(shared);
      if (LocationFolder(TEXT(""), location, forWriting, folder, kSdkPathSize)) CreateFolder(folder);
      break;
    case kSdkSharedFolder:
      if (forWriting) {
        FindSharedFolder(shared, kSdkPathSize);
        CreateFolder(shared);
      }
      break;
    case kSdkDocuments:
      if (forWriting && LocationFolder(TEXT(""), location, true, folder, kSdkPathSize)) {
        CreateFolder(folder);
      }
      break;
    default:
      break;
  }
}

bool WideName(const char* name, WCHAR* wide, size_t capacity) {
  if (!name || capacity == 0) return false;
  const int converted = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, static_cast<int>(capacity));
  if (converted <= 0) {
    wide[0] = 0;
    return false;
  }
  wide[capacity - 1] = 0;
  return true;
}

}  // namespace

bool SdkFile::ResolvePath(const char* name, int location, bool forWriting, WCHAR* path, size_t capacity) {
  if (!path || capacity == 0) return false;
  path[0] = 0;
  if (capacity > kSdkPathSize) capacity = kSdkPathSize;
  WCHAR wide[kSdkPathSize];
  if (!WideName(name, wide, kSdkPathSize)) return false;
  if (wide[0] == TEXT('\\')) return SUCCEEDED(StringCchCopyW(path, capacity, wide));
  WCHAR folder[kSdkPathSize];
  if (!LocationFolder(wide, location, forWriting, folder, kSdkPathSize) || !Join(path, capacity, folder, wide)) {
    path[0] = 0;
    return false;
  }
  return true;
}

SdkFile::SdkFile() : iHandle(INVALID_HANDLE_VALUE), iIsOpen(false), iLastError(ERROR_SUCCESS) {}

SdkFile::~SdkFile() { Close(); }

void SdkFile::Close() {
  if (iIsOpen) CloseHandle(iHandle);
  iHandle = INVALID_HANDLE_VALUE;
  iIsOpen = false;
}

int SdkFile::Open(const char* name, int location, bool forWriting, DWORD access, DWORD share, DWORD disposition,
                  bool makeFolders) {
  Close();
  iLastError = ERROR_INVALID_NAME;
  WCHAR path[kSdkPathSize];
  if (!ResolvePath(name, location, forWriting, path, kSdkPathSize)) return kOpenFailed;
  // The folders are made only when the open finds them missing: once they exist, which is every
  // open but the first, that costs nothing, and the outcome is the same as making them first.
  HANDLE file = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && makeFolders && GetLastError() == ERROR_PATH_NOT_FOUND) {
    PrepareFolders(location, forWriting);
    file = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    iLastError = GetLastError();
    return kOpenFailed;
  }
  iHandle = file;
  iIsOpen = true;
  return 0;
}

int SdkFile::OpenForReading(const char* name, int location) {
  return Open(name, location, false, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, true);
}

int SdkFile::OpenForWriting(const char* name, int location, bool append) {
  const int opened =
      Open(name, location, true, GENERIC_WRITE, FILE_SHARE_WRITE, append ? OPEN_ALWAYS : CREATE_ALWAYS, true);
  if (opened == 0 && append) SetFilePointer(iHandle, 0, nullptr, FILE_END);
  return opened;
}

int SdkFile::OpenForRewriting(const char* name, int location) {
  // The file is there already, and so are its folders.
  return Open(name, location, true, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING, false);
}

int SdkFile::EndHere() { return iIsOpen && SetEndOfFile(iHandle) ? 0 : kWriteFailed; }

int SdkFile::Write(const void* bytes, uint32_t count) {
  if (!iIsOpen) return kWriteFailed;
  DWORD written = 0;
  if (!WriteFile(iHandle, bytes, count, &written, nullptr) || written != count) return kWriteFailed;
  return 0;
}

int SdkFile::ReadLine(char* buffer, int32_t capacity) {
  if (!buffer || capacity < 1) return kReadFailed;
  buffer[0] = 0;
  if (!iIsOpen || capacity < 2) return kReadFailed;
  DWORD read = 0;
  // One byte stays free for the NUL after the bytes kept.
  if (!ReadFile(iHandle, buffer, static_cast<DWORD>(capacity - 1), &read, nullptr)) {
    buffer[0] = 0;
    return kReadFailed;
  }
  if (read == 0) return kEndOfFile;
  DWORD kept = read;
  const void* feed = std::memchr(buffer, '\n', read);
  if (feed) {
    kept = static_cast<DWORD>(static_cast<const char*>(feed) - buffer) + 1;
    if (kept < read) {
      SetFilePointer(iHandle, -static_cast<LONG>(read - kept), nullptr, FILE_CURRENT);
    }
  }
  buffer[kept] = 0;
  return static_cast<int>(kept);
}

uint32_t SdkFile::Size() {
  if (!iIsOpen) return 0;
  const DWORD size = GetFileSize(iHandle, nullptr);
  return size == INVALID_FILE_SIZE ? 0 : size;
}

bool SdkFile::Delete(const char* name, int location) {
  WCHAR path[kSdkPathSize];
  if (!ResolvePath(name, location, false, path, kSdkPathSize)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  // Deleted straight away; only a refusal makes it worth looking for the read-only attribute.
  if (DeleteFileW(path)) return true;
  if (GetLastError() != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  SetFileAttributesW(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (DeleteFileW(path)) return true;
  // Still refused (another handle holds it): the file stays as it was, read-only included.
  const DWORD error = GetLastError();
  SetFileAttributesW(path, attributes);
  SetLastError(error);
  return false;
}

bool SdkFile::Exists(const char* name, int location) {
  WCHAR path[kSdkPathSize];
  return ResolvePath(name, location, false, path, kSdkPathSize) && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool SdkFile::DeleteWhenFree(const char* name, int location) {
  constexpr int kRetries = 1000;
  for (int retry = 0;; ++retry) {
    if (Delete(name, location)) return true;
    if (GetLastError() != ERROR_SHARING_VIOLATION || retry >= kRetries) return false;
    Sleep(1);
  }
}

bool SdkFile::Move(const char* from, const char* to, int location) {
  WCHAR fromPath[kSdkPathSize];
  WCHAR toPath[kSdkPathSize];
  if (!ResolvePath(from, location, true, fromPath, kSdkPathSize) ||
      !ResolvePath(to, location, true, toPath, kSdkPathSize)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return MoveFileW(fromPath, toPath) != FALSE;
}
