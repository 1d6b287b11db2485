// Folder listing with patterns.
#include <unistd.h>

#include <vector>

#include "tests/kernel/kernel_fixture.h"

namespace {

using FindTest = DeviceTest;

// Names listed for a pattern, joined by blanks; "error N" when the find fails.
std::string List(LPCWSTR pattern, FINDEX_SEARCH_OPS op = FindExSearchNameMatch) {
  WIN32_FIND_DATAW data;
  memset(&data, 0xb0, sizeof data);
  SetLastError(0xdeadbeef);
  HANDLE find = op == FindExSearchNameMatch ? FindFirstFileW(pattern, &data)
                                            : FindFirstFileExW(pattern, FindExInfoStandard, &data, op, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return "error " + std::to_string(GetLastError());
  std::string names;
  do {
    if (!names.empty()) names += " ";
    names += Narrow(data.cFileName);
    memset(&data, 0xb0, sizeof data);
  } while (FindNextFileW(find, &data));
  std::string end =
      GetLastError() == ERROR_NO_MORE_FILES ? "" : " (ended with error " + std::to_string(GetLastError()) + ")";
  EXPECT_TRUE(FindClose(find));
  return names + end;
}

TEST_F(FindTest, PatternsMatchNamesIgnoringCaseWithoutDotEntries) {
  MakeHostFolder("fs/Apps");
  MakeHostFolder("fs/Apps/Sub");
  for (const char* name : {"a.exe", "B.EXE", "readme", "notes.txt", "x.exe.bak", "ab.exe"})
    WriteHostFile(std::string("fs/Apps/") + name, "x");
  struct Row {
    LPCWSTR pattern;
    const char* names;
  };
  const Row rows[] = {
      {u"\\Apps\\*.*", "a.exe ab.exe B.EXE notes.txt readme Sub x.exe.bak"},
      {u"\\Apps\\*", "a.exe ab.exe B.EXE notes.txt readme Sub x.exe.bak"},
      {u"\\apps\\*.exe", "a.exe ab.exe B.EXE"},
      {u"\\APPS\\*.EXE", "a.exe ab.exe B.EXE"},
      {u"\\Apps\\?.exe", "a.exe B.EXE"},
      {u"\\Apps\\readme.*", "readme"},
      {u"\\Apps\\NOTES.TXT", "notes.txt"},
      {u"\\Apps\\sub", "Sub"},
      {u"\\Apps\\*.bak", "x.exe.bak"},
      {u"\\Apps\\nothing.*", "error 2"},
      {u"\\Missing\\*.*", "error 3"},
      {u"\\Apps\\", "error 2"},
  };
  for (const Row& row : rows) EXPECT_EQ(List(row.pattern), row.names) << "pattern " << Narrow(row.pattern);
}

TEST_F(FindTest, EntriesCarryAttributesAndSizes) {
  MakeHostFolder("fs/Dir");
  WriteHostFile("fs/five.bin", "12345");
  ASSERT_TRUE(SetFileAttributesW(u"\\five.bin", FILE_ATTRIBUTE_READONLY));
  WIN32_FIND_DATAW data;
  memset(&data, 0xb0, sizeof data);
  HANDLE find = FindFirstFileW(u"\\*.*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Narrow(data.cFileName), "Dir");
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  memset(&data, 0xb0, sizeof data);
  ASSERT_TRUE(FindNextFileW(find, &data));
  EXPECT_EQ(Narrow(data.cFileName), "five.bin");
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  SYSTEMTIME written;
  ASSERT_TRUE(FileTimeToSystemTime(&data.ftLastWriteTime, &written));
  EXPECT_GE(written.wYear, 2024) << "write time comes from the host file";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(find));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(FindTest, FolderListingsLeaveFilesOutAndKeepLinkedFolders) {
  MakeHostFolder("fs/Apps");
  MakeHostFolder("fs/Apps/Sub");
  MakeHostFolder("fs/Apps/sub.d");
  MakeHostFolder("fs/Real");
  WriteHostFile("fs/Apps/a.exe", "x");
  WriteHostFile("fs/Apps/Sub.exe", "x");
  ASSERT_EQ(symlink(Host("fs/Real").c_str(), Host("fs/Apps/ToReal").c_str()), 0);
  ASSERT_EQ(symlink(Host("fs/Apps/a.exe").c_str(), Host("fs/Apps/ToFile").c_str()), 0);
  ASSERT_EQ(symlink(Host("fs/gone").c_str(), Host("fs/Apps/Dangling").c_str()), 0);
  struct Row {
    LPCWSTR pattern;
    FINDEX_SEARCH_OPS op;
    const char* names;
  };
  const Row rows[] = {
      {u"\\Apps\\*.*", FindExSearchNameMatch, "a.exe Sub sub.d Sub.exe ToFile ToReal"},
      {u"\\Apps\\*.*", FindExSearchLimitToDirectories, "Sub sub.d ToReal"},
      {u"\\Apps\\s*", FindExSearchLimitToDirectories, "Sub sub.d"},
      {u"\\Apps\\*.exe", FindExSearchLimitToDirectories, "error 2"},
      {u"\\Missing\\*.*", FindExSearchLimitToDirectories, "error 3"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(List(row.pattern, row.op), row.names) << "pattern " << Narrow(row.pattern) << " op " << row.op;
  }

  // A folder entry carries what FindFirstFileW gives for it.
  WIN32_FIND_DATAW plain, folders;
  memset(&plain, 0xb0, sizeof plain);
  memset(&folders, 0x4f, sizeof folders);
  HANDLE a = FindFirstFileW(u"\\Apps\\Sub", &plain);
  HANDLE b = FindFirstFileExW(u"\\Apps\\Sub", FindExInfoBasic, &folders, FindExSearchLimitToDirectories, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  EXPECT_EQ(memcmp(&plain, &folders, sizeof plain), 0);
  EXPECT_TRUE(FindClose(a));
  EXPECT_TRUE(FindClose(b));
}

TEST_F(FindTest, ExtendedFindRefusesWhatItCannotDo) {
  MakeHostFolder("fs/Apps");
  struct Row {
    FINDEX_INFO_LEVELS level;
    FINDEX_SEARCH_OPS op;
    bool filter;
    DWORD flags;
  };
  int filter = 0;
  const Row rows[] = {
      {FindExInfoMaxInfoLevel, FindExSearchNameMatch, false, 0},
      {FindExInfoStandard, FindExSearchLimitToDevices, false, 0},
      {FindExInfoStandard, FindExSearchMaxSearchOp, false, 0},
      {FindExInfoStandard, FindExSearchNameMatch, true, 0},
      {FindExInfoStandard, FindExSearchNameMatch, false, 0x100},
  };
  for (const Row& row : rows) {
    WIN32_FIND_DATAW data;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindFirstFileExW(u"\\Apps\\*.*", row.level, &data, row.op, row.filter ? &filter : nullptr, row.flags),
              INVALID_HANDLE_VALUE)
        << "level " << row.level << " op " << row.op << " flags " << row.flags;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  }
}

TEST_F(FindTest, FindCloseRefusesOtherHandles) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindClose(event));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(event)) << "the event was not closed by the refused FindClose";
}

}  // namespace
