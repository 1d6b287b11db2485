// Folder listing with patterns.
#include <vector>

#include "tests/kernel/kernel_fixture.h"

namespace {

using FindTest = DeviceTest;

// Names listed for a pattern, joined by blanks; "error N" when the find fails.
std::string List(LPCWSTR pattern) {
  WIN32_FIND_DATAW data;
  memset(&data, 0xb0, sizeof data);
  SetLastError(0xdeadbeef);
  HANDLE find = FindFirstFileW(pattern, &data);
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

TEST_F(FindTest, FindCloseRefusesOtherHandles) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindClose(event));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(event)) << "the event was not closed by the refused FindClose";
}

}  // namespace
