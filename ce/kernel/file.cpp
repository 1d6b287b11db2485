// File handles and the calls on files and folders by name.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "ce/device.h"
#include "ce/kernel/internal.h"
#include "ce/kernel/object.h"
#include "ce/kernel/share.h"

using ce::detail::Fail;

namespace {

class FileObject : public ce::KernelObject {
 public:
  FileObject(int fd, DWORD access) : fd_(fd), access_(access) {}
  // Closing the descriptor also lets go of the handle's share-mode locks.
  ~FileObject() override { close(fd_); }
  int fd() const { return fd_; }
  // The host folder of a file this handle created, whose entry a flush makes durable too.
  std::string createdIn;
  // The size while nobody can write the file (see AcquireShare), else -1.
  off_t heldSize = -1;
  bool CanRead() const { return (access_ & (GENERIC_READ | GENERIC_ALL)) != 0; }
  bool CanWrite() const { return (access_ & (GENERIC_WRITE | GENERIC_ALL)) != 0; }

 private:
  int fd_;
  DWORD access_;
};

bool ReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// Whether the device path names a folder by its form: it ends with a separator.
bool EndsWithSeparator(LPCWSTR path) {
  size_t n = wcslen(path);
  return n > 0 && (path[n - 1] == u'\\' || path[n - 1] == u'/');
}

std::string FolderOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? std::string(".") : hostPath.substr(0, slash + 1);
}

// Makes the folder's entries durable: a file created or renamed in it survives a crash.
bool SyncFolder(const std::string& hostFolder) {
  int fd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  int err = errno;
  close(fd);
  errno = err;
  return ok;
}

// Makes the file at hostPath, which must not exist, unnamed first and holding the locks of its
// handle before its name appears (then no delete or move can take it between the two, as none
// can on Windows, where the handle comes with the file). Its descriptor, or -1 with errno: EEXIST
// when the name is taken meanwhile, EOPNOTSUPP when the host cannot make files that way (the
// caller then makes it by name).
int CreateLockedFile(const std::string& hostPath, mode_t mode, DWORD access, DWORD share) {
  const std::string folder = FolderOf(hostPath);
  // A file made unnamed is open for writing; the handle's own access is kept by the file object.
  int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) errno = EOPNOTSUPP;
    return -1;
  }
  if (!ce::detail::TakeShareOfUnnamedFile(fd, access, share)) {
    close(fd);
    errno = EOPNOTSUPP;  // no locks here: made by name, nothing to gain
    return -1;
  }
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  if (linkat(AT_FDCWD, self, AT_FDCWD, hostPath.c_str(), AT_SYMLINK_FOLLOW) == 0) return fd;
  // Without /proc, naming a descriptor takes a privilege the process may have.
  if (errno != EEXIST && linkat(fd, "", AT_FDCWD, hostPath.c_str(), AT_EMPTY_PATH) == 0) return fd;
  const int err = errno;
  close(fd);
  // Any other refusal is left to the open by name, which reports it as such.
  errno = err == EEXIST ? EEXIST : EOPNOTSUPP;
  return -1;
}

DWORD ErrorForPath(int err, const std::string& hostPath) {
  return err == ENOENT ? ce::detail::MissingError(hostPath) : ce::detail::ErrorFromErrno(err);
}

}  // namespace

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  const DWORD kAccessBits = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;
  if ((dwDesiredAccess & ~kAccessBits) != 0 ||
      (dwShareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) != 0 ||
      dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  bool write = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  if (dwCreationDisposition == TRUNCATE_EXISTING && !write) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  int mode = (write || dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING) ? O_RDWR
                                                                                                             : O_RDONLY;
  std::string host;
  ce::detail::PathLookup lookup;
  lookup.expectMissing = dwCreationDisposition == CREATE_NEW || dwCreationDisposition == CREATE_ALWAYS;
  // A file usually there is opened by its name as spelled at once: only a miss (another case, or
  // not there) looks further.
  lookup.asSpelled = !lookup.expectMissing;
  if (!ce::detail::ResolveDevicePath(lpFileName, host, &lookup)) return INVALID_HANDLE_VALUE;
  if (EndsWithSeparator(lpFileName)) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  int opened = lookup.asSpelled ? open(host.c_str(), mode | O_CLOEXEC | O_NONBLOCK) : -1;
  if (lookup.asSpelled && opened < 0) {
    lookup = {};
    if (!ce::detail::ResolveDevicePath(lpFileName, host, &lookup)) return INVALID_HANDLE_VALUE;
  }

  bool truncates = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
  bool creates = dwCreationDisposition == CREATE_NEW || dwCreationDisposition == CREATE_ALWAYS ||
                 dwCreationDisposition == OPEN_ALWAYS;
  // Resolving found no such entry in its folder: nothing to open, and a new file is made at once.
  bool missing = lookup.state == ce::detail::PathLookup::kMissing;
  if (missing && !creates) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  mode_t newMode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

  // The path is opened first and judged by what was opened (one fstat), so the common open costs
  // no extra look-up. O_NONBLOCK: a FIFO put there must not block the open; it is refused below.
  // The flag has no effect on a regular file, so it stays set.
  for (int attempt = 0; attempt < 100; ++attempt) {
    bool existed = dwCreationDisposition != CREATE_NEW && !(attempt == 0 && missing);
    int fd = opened >= 0 ? opened : existed ? open(host.c_str(), mode | O_CLOEXEC | O_NONBLOCK) : -1;
    opened = -1;
    bool lockedBeforeNamed = false;
    if (fd < 0 && (!existed || (errno == ENOENT && creates))) {
      existed = false;
      fd = CreateLockedFile(host, newMode, dwDesiredAccess, dwShareMode);
      lockedBeforeNamed = fd >= 0;
      if (fd < 0 && errno == EOPNOTSUPP)
        fd = open(host.c_str(), mode | O_CLOEXEC | O_NONBLOCK | O_CREAT | O_EXCL, newMode);
      if (fd < 0 && errno == EEXIST) {
        struct stat st;
        if (stat(host.c_str(), &st) != 0) continue;  // removed meanwhile: decide again
        // The device holds files and folders only: a FIFO, socket or device node put there by
        // someone else is refused, not opened.
        if (!S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (dwCreationDisposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        continue;  // created meanwhile: open it as existing
      }
    }
    if (fd < 0) {
      if (errno == ENOENT) return Fail(ce::detail::MissingError(host), INVALID_HANDLE_VALUE);
      int err = errno;
      struct stat st;
      // A socket cannot be opened at all (ENXIO): refused like every entry that is not a file.
      if (err == EISDIR || (stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode)))
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
      return Fail(ErrorForPath(err, host), INVALID_HANDLE_VALUE);
    }
    // A file this open made is a new regular file: only one found there is looked at. Checked
    // here as well as by the host, so a read-only file stays read-only for root too.
    struct stat opened = {};
    if (existed &&
        (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || (ReadOnly(opened) && (write || truncates)))) {
      close(fd);
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    off_t heldSize = -1;
    ce::detail::ShareResult result =
        existed             ? ce::detail::AcquireShare(fd, host, opened, dwDesiredAccess, dwShareMode, &heldSize)
        : lockedBeforeNamed ? ce::detail::ShareResult::kOk
                            : ce::detail::AcquireShareOfNewFile(fd, dwDesiredAccess, dwShareMode);
    if (result == ce::detail::ShareResult::kFileReplaced) {
      close(fd);
      continue;
    }
    if (result == ce::detail::ShareResult::kConflict) {
      close(fd);
      return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    }
    // Truncate only once the share modes allow this handle.
    if (existed && truncates && opened.st_size != 0 && ftruncate(fd, 0) != 0) {
      int err = errno;
      close(fd);
      return Fail(ce::detail::ErrorFromErrno(err), INVALID_HANDLE_VALUE);
    }
    auto file = std::make_shared<FileObject>(fd, dwDesiredAccess);
    if (!existed) file->createdIn = FolderOf(host);
    file->heldSize = heldSize;
    HANDLE handle = ce::InsertObject(std::move(file));
    if (handle == nullptr) return INVALID_HANDLE_VALUE;  // the object closed its descriptor
    bool reportsExisting = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
  }
  return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);  // the file kept changing under us
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead > 0))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!file->CanRead()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD done = 0;
  while (done < nNumberOfBytesToRead) {
    ssize_t n = read(file->fd(), static_cast<char*>(lpBuffer) + done, nNumberOfBytesToRead - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
      return Fail(errno == EISDIR ? DWORD(ERROR_ACCESS_DENIED) : DWORD(ERROR_READ_FAULT), FALSE);
    }
    if (n == 0) break;  // end of file: success with fewer bytes
    done += DWORD(n);
    // A handle holds a regular file only, where a short read means the end was reached.
    if (done < nNumberOfBytesToRead) break;
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
  return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD done = 0;
  while (done < nNumberOfBytesToWrite) {
    ssize_t n = write(file->fd(), static_cast<const char*>(lpBuffer) + done, nNumberOfBytesToWrite - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
      return Fail(err == ENOSPC || err == EDQUOT ? DWORD(ERROR_DISK_FULL) : DWORD(ERROR_WRITE_FAULT), FALSE);
    }
    done += DWORD(n);
  }
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return INVALID_FILE_SIZE;
  struct stat st;
  if (file->heldSize < 0 && fstat(file->fd(), &st) != 0)
    return Fail(ce::detail::ErrorFromErrno(errno), INVALID_FILE_SIZE);
  unsigned long long size = (unsigned long long)(file->heldSize >= 0 ? file->heldSize : st.st_size);
  if (lpFileSizeHigh) *lpFileSizeHigh = DWORD(size >> 32);
  SetLastError(ERROR_SUCCESS);  // a size whose low part is 0xFFFFFFFF is told apart by the error
  return DWORD(size & 0xFFFFFFFFu);
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return INVALID_SET_FILE_POINTER;
  long long distance =
      lpDistanceToMoveHigh
          ? (long long)(((unsigned long long)(DWORD)*lpDistanceToMoveHigh << 32) | (DWORD)lDistanceToMove)
          : (long long)lDistanceToMove;
  int whence;
  switch (dwMoveMethod) {
    case FILE_BEGIN:
      whence = SEEK_SET;
      break;
    case FILE_CURRENT:
      whence = SEEK_CUR;
      break;
    case FILE_END:
      whence = SEEK_END;
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  off_t base = 0;
  if (whence == SEEK_CUR) base = lseek(file->fd(), 0, SEEK_CUR);
  if (whence == SEEK_END) {
    struct stat st;
    base = fstat(file->fd(), &st) == 0 ? st.st_size : 0;
  }
  if (base + distance < 0) return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
  if (!lpDistanceToMoveHigh && base + distance > 0xFFFFFFFELL)
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);  // the position would not fit the result
  off_t position = lseek(file->fd(), off_t(base + distance), SEEK_SET);
  if (position < 0) return Fail(ce::detail::ErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = LONG((unsigned long long)position >> 32);
  SetLastError(ERROR_SUCCESS);
  return DWORD((unsigned long long)position & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE hFile) {
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  off_t position = lseek(file->fd(), 0, SEEK_CUR);
  if (position < 0 || ftruncate(file->fd(), position) != 0) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (fsync(file->fd()) != 0) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
  if (!file->createdIn.empty()) {
    if (!SyncFolder(file->createdIn)) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
    file->createdIn.clear();
  }
  return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  std::shared_ptr<FileObject> file = ce::LookupObjectAs<FileObject>(hFile);
  if (!file) return FALSE;
  if (!lpFileInformation) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  struct stat st;
  if (fstat(file->fd(), &st) != 0) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
  BY_HANDLE_FILE_INFORMATION& info = *lpFileInformation;
  info = {};
  info.dwFileAttributes = ReadOnly(st) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  info.ftCreationTime = ce::detail::FileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
  info.ftLastAccessTime = ce::detail::FileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  info.ftLastWriteTime = ce::detail::FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  info.dwVolumeSerialNumber = DWORD(st.st_dev);
  info.nFileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
  info.nFileSizeLow = DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu);
  info.nNumberOfLinks = DWORD(st.st_nlink);
  info.nFileIndexHigh = DWORD(uint64_t(st.st_ino) >> 32);
  info.nFileIndexLow = DWORD(uint64_t(st.st_ino) & 0xFFFFFFFFu);
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Calls by name

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
  HANDLE source = CreateFileW(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (source == INVALID_HANDLE_VALUE) return FALSE;
  DWORD attributes = GetFileAttributesW(lpExistingFileName);
  HANDLE target =
      CreateFileW(lpNewFileName, GENERIC_WRITE, 0, nullptr, bFailIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    CloseHandle(source);
    return Fail(error, FALSE);
  }
  std::vector<char> buffer(64 * 1024);
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(source, buffer.data(), DWORD(buffer.size()), &got, nullptr)) {
      error = GetLastError();
      break;
    }
    if (got == 0) break;
    if (!WriteFile(target, buffer.data(), got, &put, nullptr)) {
      error = GetLastError();
      break;
    }
  }
  CloseHandle(source);
  CloseHandle(target);
  if (error != ERROR_SUCCESS) {
    DeleteFileW(lpNewFileName);  // no partial copy is left behind
    return Fail(error, FALSE);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(lpNewFileName, FILE_ATTRIBUTE_READONLY);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
  std::string host;
  ce::detail::PathLookup lookup;
  if (!ce::detail::ResolveDevicePath(lpFileName, host, &lookup)) return FALSE;
  if (lookup.state == ce::detail::PathLookup::kMissing) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  struct stat st = lookup.st;
  if (lookup.state != ce::detail::PathLookup::kExists && lstat(host.c_str(), &st) != 0)
    return Fail(ce::detail::MissingError(host), FALSE);
  if (S_ISDIR(st.st_mode) || ReadOnly(st)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD error = ce::detail::UnlessOpen(
      host, [&]() -> DWORD { return unlink(host.c_str()) == 0 ? DWORD(ERROR_SUCCESS) : ErrorForPath(errno, host); });
  if (error != ERROR_SUCCESS) return Fail(error, FALSE);
  return TRUE;
}

BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
  std::string from, to;
  ce::detail::PathLookup fromLookup, toLookup;
  fromLookup.asSpelled = true;
  toLookup.expectMissing = true;
  if (!ce::detail::ResolveDevicePath(lpExistingFileName, from, &fromLookup) ||
      !ce::detail::ResolveDevicePath(lpNewFileName, to, &toLookup))
    return FALSE;
  // The source is usually there as spelled: opened at once, its descriptor also serves to see that
  // no handle holds it. Otherwise it is looked for ignoring case.
  struct Source {
    int fd;
    ~Source() {
      if (fd >= 0) close(fd);
    }
  } source{ce::detail::OpenForGate(from)};
  struct stat st;
  if (source.fd < 0) {
    fromLookup = {};
    if (!ce::detail::ResolveDevicePath(lpExistingFileName, from, &fromLookup)) return FALSE;
    if (fromLookup.state == ce::detail::PathLookup::kMissing) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (fromLookup.state != ce::detail::PathLookup::kExists && lstat(from.c_str(), &st) != 0)
      return Fail(ce::detail::MissingError(from), FALSE);
  }
  if (from == to) {
    // A change of case only: the new name's last component as given.
    const WCHAR* last = lpNewFileName + wcslen(lpNewFileName);
    while (last > lpNewFileName && last[-1] != u'\\' && last[-1] != u'/') --last;
    std::string name = ce::ToUtf8(last);
    if (name.empty() || name == "." || name == "..") return Fail(ERROR_ALREADY_EXISTS, FALSE);
    to = to.substr(0, to.rfind('/') + 1) + name;
    if (to == from) return TRUE;
  } else if (toLookup.state == ce::detail::PathLookup::kExists ||
             (toLookup.state == ce::detail::PathLookup::kUnknown && lstat(to.c_str(), &st) == 0)) {
    return Fail(ERROR_ALREADY_EXISTS, FALSE);
  }
  const int sourceFd = source.fd;
  source.fd = -1;  // the check below takes it over
  DWORD error = ce::detail::UnlessOpen(
      from,
      [&]() -> DWORD {
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return ERROR_SUCCESS;
        if (errno == EINVAL || errno == ENOSYS) {  // a file system without RENAME_NOREPLACE
          struct stat existing;
          if (lstat(to.c_str(), &existing) == 0) return ERROR_ALREADY_EXISTS;
          if (rename(from.c_str(), to.c_str()) == 0) return ERROR_SUCCESS;
        }
        if (errno == EEXIST) return ERROR_ALREADY_EXISTS;
        return errno == ENOENT ? DWORD(ERROR_PATH_NOT_FOUND) : ce::detail::ErrorFromErrno(errno);
      },
      sourceFd);
  if (error != ERROR_SUCCESS) return Fail(error, FALSE);
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
  if ((dwFlags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) != 0)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0) {
    if (!MoveFileW(lpExistingFileName, lpNewFileName)) return FALSE;
  } else {
    std::string from, to;
    if (!ce::detail::ResolveDevicePath(lpExistingFileName, from) || !ce::detail::ResolveDevicePath(lpNewFileName, to))
      return FALSE;
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return Fail(ce::detail::MissingError(from), FALSE);
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    struct stat existing;
    bool replaces = lstat(to.c_str(), &existing) == 0;
    if (replaces && (S_ISDIR(existing.st_mode) || ReadOnly(existing))) return Fail(ERROR_ACCESS_DENIED, FALSE);
    // Neither file may be open (share modes have no FILE_SHARE_DELETE here). The source is
    // checked under its gate; the replaced file just before.
    if (replaces && ce::detail::UnlessOpen(to, [] { return DWORD(ERROR_SUCCESS); }) != ERROR_SUCCESS)
      return Fail(ERROR_SHARING_VIOLATION, FALSE);
    DWORD error = ce::detail::UnlessOpen(from, [&]() -> DWORD {
      return rename(from.c_str(), to.c_str()) == 0 ? DWORD(ERROR_SUCCESS) : ErrorForPath(errno, to);
    });
    if (error != ERROR_SUCCESS) return Fail(error, FALSE);
  }
  if (dwFlags & MOVEFILE_WRITE_THROUGH) {
    std::string from, to;
    ce::detail::ResolveDevicePath(lpExistingFileName, from);
    ce::detail::ResolveDevicePath(lpNewFileName, to);
    bool synced = SyncFolder(FolderOf(to)) && (FolderOf(from) == FolderOf(to) || SyncFolder(FolderOf(from)));
    if (!synced) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
  std::string host;
  ce::detail::PathLookup lookup;
  if (!ce::detail::ResolveDevicePath(lpFileName, host, &lookup)) return INVALID_FILE_ATTRIBUTES;
  // What resolving found answers, unless it is a link (whose target is what counts).
  struct stat st = lookup.st;
  const bool known = lookup.state == ce::detail::PathLookup::kExists && !S_ISLNK(st.st_mode);
  // Missing with its folder there.
  if (lookup.state == ce::detail::PathLookup::kMissing) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  if (!known && stat(host.c_str(), &st) != 0) return Fail(ErrorForPath(errno, host), INVALID_FILE_ATTRIBUTES);
  if (!S_ISDIR(st.st_mode) && EndsWithSeparator(lpFileName)) return Fail(ERROR_PATH_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (ReadOnly(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
  const DWORD kAccepted = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL |
                          FILE_ATTRIBUTE_TEMPORARY;
  if ((dwFileAttributes & ~kAccepted) != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::string host;
  if (!ce::detail::ResolveDevicePath(lpFileName, host)) return FALSE;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return Fail(ErrorForPath(errno, host), FALSE);
  mode_t mode = st.st_mode & 07777;
  mode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? mode_t(mode & ~0222) : mode_t(mode | S_IWUSR);
  if (chmod(host.c_str(), mode) != 0) return Fail(ce::detail::ErrorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  std::string host;
  if (!ce::detail::ResolveDevicePath(lpPathName, host)) return FALSE;
  if (mkdir(host.c_str(), 0777) != 0)
    return Fail(errno == ENOENT ? DWORD(ERROR_PATH_NOT_FOUND) : ce::detail::ErrorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
  std::string host;
  if (!ce::detail::ResolveDevicePath(lpPathName, host)) return FALSE;
  if (host == ce::DeviceRoot() + "/fs") return Fail(ERROR_ACCESS_DENIED, FALSE);
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return Fail(ce::detail::MissingError(host), FALSE);
  if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY, FALSE);
  if (ReadOnly(st)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (rmdir(host.c_str()) != 0)
    return Fail(errno == ENOTEMPTY || errno == EEXIST ? DWORD(ERROR_DIR_NOT_EMPTY) : ce::detail::ErrorFromErrno(errno),
                FALSE);
  return TRUE;
}
