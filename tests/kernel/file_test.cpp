// Files by handle and by name: dispositions, share modes, case-insensitive paths, attributes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "ce/kernel/share.h"
#include "tests/kernel/kernel_fixture.h"

namespace {

using FileTest = DeviceTest;

int CountEntries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int count = 0;
  while (dirent* entry = readdir(dir))
    if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") ++count;
  closedir(dir);
  return count;
}

const char* DispositionName(DWORD d) {
  static const char* const kNames[] = {"?",           "CREATE_NEW",       "CREATE_ALWAYS", "OPEN_EXISTING",
                                       "OPEN_ALWAYS", "TRUNCATE_EXISTING"};
  return d <= 5 ? kNames[d] : "?";
}

TEST_F(FileTest, DispositionsOpenCreateAndTruncateAsWin32) {
  struct Row {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD error;          // last error after the call
    const char* content;  // file content afterwards; nullptr: no file
  };
  const Row rows[] = {
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(DispositionName(row.disposition)) + (row.exists ? " on an existing file" : " on no file"));
    DeleteFileW(u"\\f.txt");
    if (row.exists) WriteHostFile("fs/f.txt", "old");
    SetLastError(0xdeadbeef);
    HANDLE file = CreateFileW(u"\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, row.disposition, 0, nullptr);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, row.opens);
    EXPECT_EQ(GetLastError(), row.error);
    if (file != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(file));
    }
    if (row.content) {
      EXPECT_EQ(ReadHostFile("fs/f.txt"), row.content);
    } else {
      EXPECT_FALSE(HostExists("fs/f.txt"));
    }
  }
}

TEST_F(FileTest, BadArgumentsAndMissingFoldersFailWithTheirCodes) {
  struct Row {
    const char* what;
    LPCWSTR path;
    DWORD access;
    DWORD disposition;
    DWORD error;
  };
  MakeHostFolder("fs/dir");
  const Row rows[] = {
      {"missing folder", u"\\nowhere\\f.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {"missing folder, creating", u"\\nowhere\\f.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
      {"a folder", u"\\dir", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {"bad disposition", u"\\f.txt", GENERIC_READ, 9, ERROR_INVALID_PARAMETER},
      {"truncate without write access", u"\\f.txt", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
      {"relative path", u"f.txt", GENERIC_READ, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
      {"climbing out of the device", u"\\..\\device.ini", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {"wildcard in the name", u"\\a*b.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_INVALID_NAME},
      {"quote in the name", u"\\a\"b.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_INVALID_NAME},
      {"empty name", u"", GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_NAME},
  };
  WriteIni("");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileW(row.path, row.access, 0, nullptr, row.disposition, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), row.error);
  }
}

TEST_F(FileTest, ReadWriteSeekAndSizeWorkOnOneHandle) {
  HANDLE file = CreateFileW(u"\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0xdeadbeef;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(done, 10u);
  DWORD high = 0xdeadbeef;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
  char buffer[16];
  memset(buffer, 0x55, sizeof buffer);
  ASSERT_TRUE(ReadFile(file, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(buffer, 4), "3456");
  EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 2u) << "a read past the end returns what there is";
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 0u) << "at the end a read succeeds with 0 bytes";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_TRUE(FlushFileBuffers(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 5u);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(ReadHostFile("fs/data.bin"), "01234");
}

TEST_F(FileTest, AccessRightsLimitWhatAHandleMayDo) {
  WriteHostFile("fs/f.txt", "abc");
  HANDLE reader = CreateFileW(u"\\f.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  DWORD done = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(done, 0u);
  CloseHandle(reader);
  HANDLE writer = CreateFileW(u"\\f.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char c;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadFile(writer, &c, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(writer);
}

struct Open {
  DWORD access;
  DWORD share;
};

std::string Describe(const Open& o) {
  std::string s;
  s += (o.access & GENERIC_READ) ? "R" : "-";
  s += (o.access & GENERIC_WRITE) ? "W" : "-";
  s += " share ";
  s += (o.share & FILE_SHARE_READ) ? "R" : "-";
  s += (o.share & FILE_SHARE_WRITE) ? "W" : "-";
  return s;
}

const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;

TEST_F(FileTest, ShareModesDecideWhetherASecondHandleOpens) {
  struct Row {
    Open first, second;
    bool opens;
  };
  const Row rows[] = {
      {{R, SR}, {R, SR}, true},
      {{R, SR}, {W, SR | SW}, false},  // the first does not share writing
      {{R, SR | SW}, {W, SR | SW}, true},
      {{W, SW}, {W, SW}, true},
      {{W, SW}, {R, SR | SW}, false},  // the writer does not share reading: the channel's rule
      {{R, SR}, {R, 0}, false},        // the second would deny the first's reading
      {{W, SR}, {R, SR | SW}, true},
      {{W, SR}, {R, SR}, false},      // the second would deny the first's writing
      {{0, 0}, {R, SR | SW}, false},  // a handle without access still denies
      {{R | W, SR | SW}, {R | W, SR | SW}, true},
  };
  WriteHostFile("fs/shared.txt", "x");
  for (const Row& row : rows) {
    SCOPED_TRACE(Describe(row.first) + " then " + Describe(row.second));
    HANDLE first = CreateFileW(u"\\shared.txt", row.first.access, row.first.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SetLastError(0xdeadbeef);
    HANDLE second =
        CreateFileW(u"\\SHARED.TXT", row.second.access, row.second.share, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.opens);
    if (second != INVALID_HANDLE_VALUE) {
      CloseHandle(second);
    } else {
      EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(first);
    // Once the first is closed, nothing stands in the way.
    second = CreateFileW(u"\\shared.txt", row.second.access, row.second.share, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(second, INVALID_HANDLE_VALUE) << "after the first handle was closed";
    CloseHandle(second);
  }
  EXPECT_EQ(CountEntries(Host("locks")), 0) << "no lock file is left once every handle is closed";
}

// A reader that lets others write sees the size they make; one that does not is never written to.
TEST_F(FileTest, SizeOfAReaderFollowsTheWritersItAllows) {
  WriteHostFile("fs/grow.txt", "abc");
  HANDLE reader =
      CreateFileW(u"\\grow.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(reader, nullptr), 3u);
  HANDLE writer =
      CreateFileW(u"\\grow.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  SetFilePointer(writer, 0, nullptr, FILE_END);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(writer, "defgh", 5, &written, nullptr));
  EXPECT_EQ(GetFileSize(reader, nullptr), 8u) << "the writer's bytes count";
  CloseHandle(writer);
  CloseHandle(reader);
  HANDLE alone = CreateFileW(u"\\grow.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(alone, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(alone, nullptr), 8u);
  EXPECT_EQ(
      CreateFileW(u"\\grow.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr),
      INVALID_HANDLE_VALUE)
      << "no writer while a reader denies writing";
  CloseHandle(alone);
}

TEST_F(FileTest, SharingViolationDoesNotTruncate) {
  WriteHostFile("fs/keep.txt", "precious");
  HANDLE reader = CreateFileW(u"\\keep.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileW(u"\\keep.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(CopyFileW(u"\\other.txt", u"\\keep.txt", FALSE));
  CloseHandle(reader);
  EXPECT_EQ(ReadHostFile("fs/keep.txt"), "precious");
}

TEST_F(FileTest, OpenFilesCannotBeDeletedOrMoved) {
  WriteHostFile("fs/busy.txt", "x");
  HANDLE file =
      CreateFileW(u"\\busy.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(u"\\busy.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileW(u"\\busy.txt", u"\\moved.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  CloseHandle(file);
  EXPECT_TRUE(DeleteFileW(u"\\busy.txt"));
  EXPECT_FALSE(HostExists("fs/busy.txt"));
}

// A delete or move racing with opens, and with the open that makes the file: while a handle that
// does not share deleting is open, its file stays at its path, whichever of the two got there first.
TEST_F(FileTest, DeletesAndMovesRacingWithOpensNeverTakeAnOpenFile) {
  struct Row {
    const char* what;
    DWORD disposition;  // of the opens
    bool moves;         // the other thread moves the file away (else deletes it)
    bool readOnlyGate;  // every other delete checks through a descriptor that cannot write
  } rows[] = {
      {"opens of an existing file against deletes", OPEN_EXISTING, false, false},
      {"opens that make the file against moves", CREATE_NEW, true, false},
      {"opens against deletes by both kinds of gate", OPEN_EXISTING, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteHostFile("fs/race.txt", "x");
    const std::string host = Host("fs/race.txt");
    std::atomic<bool> stop{false};
    std::atomic<int> takes{0};
    std::thread other([&] {
      while (!stop) {
        if (row.moves) {
          if (!MoveFileW(u"\\race.txt", u"\\moved.txt")) continue;
          DeleteFileW(u"\\moved.txt");
        } else if (row.readOnlyGate && takes % 2 == 0) {
          const int gate = open(host.c_str(), O_RDONLY | O_CLOEXEC);
          if (gate < 0) continue;
          const auto remove = [&] {
            return unlink(host.c_str()) == 0 ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_ACCESS_DENIED);
          };
          if (ce::detail::UnlessOpen(host, remove, gate) != ERROR_SUCCESS) continue;
          const int fd = open(host.c_str(), O_WRONLY | O_CREAT, 0666);
          if (fd >= 0) close(fd);
        } else {
          if (!DeleteFileW(u"\\race.txt")) continue;
          const int fd = open(host.c_str(), O_WRONLY | O_CREAT, 0666);
          if (fd >= 0) close(fd);
        }
        ++takes;
      }
    });
    int opened = 0;
    int lost = 0;
    for (int i = 0; i < 3000; ++i) {
      HANDLE file = CreateFileW(u"\\race.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, row.disposition,
                                0, nullptr);
      if (file == INVALID_HANDLE_VALUE) continue;
      ++opened;
      DWORD written = 0;
      WriteFile(file, "y", 1, &written, nullptr);
      if (GetFileAttributesW(u"\\race.txt") == INVALID_FILE_ATTRIBUTES) ++lost;
      CloseHandle(file);
    }
    stop = true;
    other.join();
    EXPECT_EQ(lost, 0) << "files deleted or moved under an open handle";
    EXPECT_GT(opened, 0);
    EXPECT_GT(takes.load(), 0);
    DeleteFileW(u"\\race.txt");
  }
}

TEST_F(FileTest, PathsIgnoreCaseForExistingNamesAndKeepCaseForNewOnes) {
  MakeHostFolder("fs/TomTom");
  MakeHostFolder("fs/TomTom/SdkFileCalls");
  WriteHostFile("fs/TomTom/SdkFileCalls/Reply.Message", "hello");
  EXPECT_EQ(ReadFileText(u"\\tomtom\\SDKFILECALLS\\reply.message"), "hello");
  MakeFile(u"\\TOMTOM\\sdkfilecalls\\New.TXT", "new");
  EXPECT_EQ(ReadHostFile("fs/TomTom/SdkFileCalls/New.TXT"), "new") << "existing folders matched, new name kept";
  EXPECT_TRUE(CreateDirectoryW(u"\\tomtom\\MixedCase", nullptr));
  EXPECT_TRUE(HostExists("fs/TomTom/MixedCase"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CreateDirectoryW(u"\\TOMTOM\\mixedcase", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
}

TEST_F(FileTest, DevicePathsMapIntoTheFileSystemFolderOnly) {
  struct Row {
    LPCWSTR path;
    bool maps;
    const char* host;  // below the device folder
  };
  MakeHostFolder("fs/A");
  const Row rows[] = {
      {u"\\", true, "fs"},
      {u"\\a\\b.txt", true, "fs/A/b.txt"},
      {u"/a/b.txt", true, "fs/A/b.txt"},
      {u"\\a\\..\\c.txt", true, "fs/c.txt"},
      {u"\\.\\a\\.\\d", true, "fs/A/d"},
      {u"\\a\\\\e", true, "fs/A/e"},
      {u"\\..", false, nullptr},
      {u"\\a\\..\\..\\device.ini", false, nullptr},
      {u"relative", false, nullptr},
      {u"", false, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    std::string host = "unchanged";
    EXPECT_EQ(ce::DevicePathToHost(row.path, host), row.maps);
    if (row.maps) {
      EXPECT_EQ(host, Host(row.host));
    }
  }
  std::u16string device;
  ASSERT_TRUE(ce::HostPathToDevice(Host("fs/A/b.txt"), device));
  EXPECT_EQ(Narrow(device), "\\A\\b.txt");
  EXPECT_FALSE(ce::HostPathToDevice(Host("device.ini"), device));
  EXPECT_FALSE(ce::HostPathToDevice(Host("fsx/y"), device));
}

TEST_F(FileTest, ReadOnlyFilesCannotBeWrittenOrDeletedUntilCleared) {
  WriteHostFile("fs/ro.txt", "data");
  EXPECT_EQ(GetFileAttributesW(u"\\ro.txt"), FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(u"\\RO.TXT"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  struct {
    DWORD access;
    DWORD disposition;
  } const writes[] = {{GENERIC_WRITE, OPEN_EXISTING},
                      {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
                      {GENERIC_WRITE, CREATE_ALWAYS},
                      {GENERIC_WRITE, TRUNCATE_EXISTING}};
  for (const auto& w : writes) {
    SCOPED_TRACE(DispositionName(w.disposition));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileW(u"\\ro.txt", w.access, 0, nullptr, w.disposition, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  }
  EXPECT_EQ(ReadFileText(u"\\ro.txt"), "data") << "reading is still allowed";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(u"\\ro.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(u"\\ro.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(DeleteFileW(u"\\ro.txt"));
}

TEST_F(FileTest, AttributesOfFoldersAndMissingNames) {
  MakeHostFolder("fs/dir");
  EXPECT_EQ(GetFileAttributesW(u"\\dir"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"\\DIR\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileAttributesW(u"\\dir\\missing.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileAttributesW(u"\\missing\\x.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetFileAttributesW(u"\\dir", 0x4000));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(FileTest, CreateFileWithReadOnlyAttributeMakesAReadOnlyFile) {
  HANDLE file = CreateFileW(u"\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done;
  EXPECT_TRUE(WriteFile(file, "ok", 2, &done, nullptr)) << "the creating handle may still write";
  CloseHandle(file);
  EXPECT_EQ(GetFileAttributesW(u"\\new.txt") & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ReadHostFile("fs/new.txt"), "ok");
}

TEST_F(FileTest, CopyMoveAndDeleteByName) {
  WriteHostFile("fs/a.txt", "alpha");
  EXPECT_TRUE(CopyFileW(u"\\a.txt", u"\\b.txt", TRUE));
  EXPECT_EQ(ReadHostFile("fs/b.txt"), "alpha");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileW(u"\\a.txt", u"\\b.txt", TRUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
  WriteHostFile("fs/a.txt", "beta");
  EXPECT_TRUE(CopyFileW(u"\\a.txt", u"\\B.TXT", FALSE));
  EXPECT_EQ(ReadHostFile("fs/b.txt"), "beta");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileW(u"\\none.txt", u"\\c.txt", FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(HostExists("fs/c.txt"));

  // The copy of a read-only file is read-only, as on Windows.
  ASSERT_TRUE(SetFileAttributesW(u"\\a.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(CopyFileW(u"\\a.txt", u"\\r.txt", TRUE));
  EXPECT_NE(GetFileAttributesW(u"\\r.txt") & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesW(u"\\a.txt", 0);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileW(u"\\a.txt", u"\\b.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileW(u"\\a.txt", u"\\moved.txt"));
  EXPECT_FALSE(HostExists("fs/a.txt"));
  EXPECT_EQ(ReadHostFile("fs/moved.txt"), "beta");
  EXPECT_TRUE(MoveFileW(u"\\moved.txt", u"\\MOVED.txt")) << "a change of case only";
  EXPECT_TRUE(HostExists("fs/MOVED.txt"));
  EXPECT_FALSE(HostExists("fs/moved.txt"));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(u"\\a.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(DeleteFileW(u"\\b.txt"));
  EXPECT_FALSE(HostExists("fs/b.txt"));
}

// What the navigator's store relies on: a replacing rename, the identity of a file through a
// handle, and a flushed new file.
TEST_F(FileTest, ReplacingMovesAndFileIdentity) {
  WriteHostFile("fs/old.txt", "old");
  WriteHostFile("fs/new.tmp", "new");
  auto identity = [](const WCHAR* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    bool ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION before{}, temp{}, after{};
  ASSERT_TRUE(identity(u"\\old.txt", before));
  ASSERT_TRUE(identity(u"\\new.tmp", temp));
  EXPECT_EQ(before.nFileSizeLow, 3u);
  EXPECT_NE(before.nFileIndexLow, temp.nFileIndexLow);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExW(u"\\new.tmp", u"\\old.txt", MOVEFILE_WRITE_THROUGH)) << "replacing needs the flag";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  HANDLE open = CreateFileW(u"\\old.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(MoveFileExW(u"\\new.tmp", u"\\old.txt", MOVEFILE_REPLACE_EXISTING)) << "the target is open";
  CloseHandle(open);
  EXPECT_EQ(ReadHostFile("fs/old.txt"), "old");
  EXPECT_TRUE(MoveFileExW(u"\\new.tmp", u"\\OLD.TXT", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadHostFile("fs/old.txt"), "new");
  EXPECT_FALSE(HostExists("fs/new.tmp"));
  ASSERT_TRUE(identity(u"\\old.txt", after));
  EXPECT_EQ(after.nFileIndexLow, temp.nFileIndexLow) << "the renamed file, not a copy";
  EXPECT_EQ(after.dwVolumeSerialNumber, before.dwVolumeSerialNumber);

  // A new file flushed through the handle that created it.
  HANDLE made = CreateFileW(u"\\made.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  EXPECT_TRUE(WriteFile(made, "abc", 3, &put, nullptr));
  EXPECT_TRUE(FlushFileBuffers(made));
  EXPECT_TRUE(FlushFileBuffers(made));
  CloseHandle(made);
  EXPECT_EQ(ReadHostFile("fs/made.txt"), "abc");
}

TEST_F(FileTest, FoldersAreCreatedAndRemovedWithWin32Errors) {
  EXPECT_TRUE(CreateDirectoryW(u"\\TomTom", nullptr));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CreateDirectoryW(u"\\TomTom", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CreateDirectoryW(u"\\a\\b", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  MakeFile(u"\\TomTom\\f", "x");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryW(u"\\TomTom"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryW(u"\\TomTom\\f"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(u"\\TomTom"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeleteFileW(u"\\TomTom\\f"));
  EXPECT_TRUE(RemoveDirectoryW(u"\\tomtom"));
  EXPECT_FALSE(HostExists("fs/TomTom"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryW(u"\\"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

}  // namespace

namespace {

// A FIFO would block an open until a writer comes: every entry that is not a regular file is
// refused at once, for reading and for writing.
TEST_F(FileTest, EntriesThatAreNotRegularFilesAreRefusedWithoutBlocking) {
  MakeHostFolder("fs/calls");
  ASSERT_EQ(mkfifo(Host("fs/calls/pipe.message").c_str(), 0644), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  snprintf(addr.sun_path, sizeof addr.sun_path, "%s", Host("fs/calls/sock.finished").c_str());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  struct Row {
    const char16_t* path;
    DWORD access, disposition;
  } rows[] = {
      {u"\\calls\\pipe.message", GENERIC_READ, OPEN_EXISTING},
      {u"\\calls\\pipe.message", GENERIC_WRITE, OPEN_ALWAYS},
      {u"\\calls\\pipe.message", GENERIC_WRITE, CREATE_ALWAYS},
      {u"\\calls\\sock.finished", GENERIC_READ, OPEN_EXISTING},
  };
  for (const Row& row : rows) {
    SetLastError(0xdeadbeef);
    HANDLE h = CreateFileW(row.path, row.access, FILE_SHARE_READ, nullptr, row.disposition, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << DispositionName(row.disposition);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED)) << DispositionName(row.disposition);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  close(sock);
  EXPECT_TRUE(DeleteFileW(u"\\calls\\pipe.message")) << "a stray entry can still be removed";
}

}  // namespace

namespace {

TEST_F(FileTest, PathsMapTheSameWhicheverComponentDiffersInCase) {
  MakeHostFolder("fs/Top");
  MakeHostFolder("fs/Top/Mid");
  WriteHostFile("fs/Top/Mid/Leaf.txt", "x");
  WriteHostFile("fs/Top/Mid/leaf.TXT", "y");  // two names equal ignoring case: the first sorted wins
  MakeHostFolder("fs/Top/Mid/Sub");
  struct Row {
    LPCWSTR path;
    const char* host;
  };
  const Row rows[] = {
      {u"\\Top\\Mid\\Leaf.txt", "fs/Top/Mid/Leaf.txt"},       // exact
      {u"\\Top\\Mid\\leaf.TXT", "fs/Top/Mid/leaf.TXT"},       // exact, the other one
      {u"\\Top\\Mid\\LEAF.txt", "fs/Top/Mid/Leaf.txt"},       // last component differs
      {u"\\Top\\Mid\\New.txt", "fs/Top/Mid/New.txt"},         // last component missing: kept as given
      {u"\\top\\MID\\Leaf.txt", "fs/Top/Mid/Leaf.txt"},       // folders differ, file exact
      {u"\\TOP\\mid\\lEaF.TxT", "fs/Top/Mid/Leaf.txt"},       // everything differs
      {u"\\top\\mid\\sub", "fs/Top/Mid/Sub"},                 // a folder as the last component
      {u"\\top\\Gone\\Leaf.txt", "fs/Top/Gone/Leaf.txt"},     // a missing folder: the rest kept as given
      {u"\\Top\\Mid\\Leaf.txt\\x", "fs/Top/Mid/Leaf.txt/x"},  // below a file
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    std::string host = "unchanged";
    EXPECT_TRUE(ce::DevicePathToHost(row.path, host));
    EXPECT_EQ(host, Host(row.host));
  }
}

TEST_F(FileTest, ShareModesLeaveTheFileItselfUntouched) {
  WriteHostFile("fs/kept.txt", "0123456789");
  HANDLE writer = CreateFileW(u"\\kept.txt", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  HANDLE other = CreateFileW(u"\\kept.txt", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE) << "two writers that share writing";
  EXPECT_EQ(GetFileSize(writer, nullptr), 10u) << "the locks add no bytes";
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(writer, "ab", 2, &written, nullptr));
  EXPECT_EQ(SetFilePointer(other, 0, nullptr, FILE_END), 10u);
  EXPECT_TRUE(WriteFile(other, "cd", 2, &written, nullptr)) << "writing past the end meets no lock";
  CloseHandle(other);
  CloseHandle(writer);
  EXPECT_EQ(ReadHostFile("fs/kept.txt"), "ab23456789cd");
  struct stat st;
  ASSERT_EQ(stat(Host("fs/kept.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 12);
  EXPECT_FALSE(HostExists("locks")) << "nothing is made beside the device's files";
}

TEST_F(FileTest, AFileReplacedUnderAnOpenHandleIsANewFile) {
  WriteHostFile("fs/swap.txt", "old");
  HANDLE old = CreateFileW(u"\\swap.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(old, INVALID_HANDLE_VALUE);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileW(u"\\swap.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << "the old file denies everything";
  // Replaced from outside the device's calls: the name now stands for another file.
  ASSERT_EQ(rename(Host("fs/swap.txt").c_str(), Host("fs/aside.txt").c_str()), 0);
  WriteHostFile("fs/swap.txt", "new");
  HANDLE fresh = CreateFileW(u"\\swap.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(fresh, INVALID_HANDLE_VALUE) << "the new file is held by nobody";
  if (fresh != INVALID_HANDLE_VALUE) CloseHandle(fresh);
  EXPECT_TRUE(DeleteFileW(u"\\swap.txt"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(u"\\aside.txt")) << "the old file is still held under its new name";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  CloseHandle(old);
  EXPECT_TRUE(DeleteFileW(u"\\aside.txt"));
}

}  // namespace
