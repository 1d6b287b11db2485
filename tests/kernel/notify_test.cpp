// Change notification: waking on changes made by another thread, and timing out otherwise.
#include <thread>

#include "tests/kernel/kernel_fixture.h"

namespace {

using NotifyTest = DeviceTest;

// Makes a change from another thread after a short pause, so the wait is already under way.
std::thread Later(void (*change)()) {
  return std::thread([change] {
    Sleep(30);
    change();
  });
}

TEST_F(NotifyTest, NewFileFromAnotherThreadWakesTheWait) {
  MakeHostFolder("fs/Calls");
  HANDLE change = FindFirstChangeNotificationW(u"\\calls", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(change, 40), WAIT_TIMEOUT) << "nothing changed";
  std::thread writer = Later([] { MakeFile(u"\\Calls\\x.finished", "finish\n"); });
  EXPECT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0);
  writer.join();
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_OBJECT_0) << "signalled until re-armed";
  EXPECT_TRUE(FindNextChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 20), WAIT_TIMEOUT) << "re-armed, no new change";
  EXPECT_TRUE(DeleteFileW(u"\\Calls\\x.finished"));
  EXPECT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0) << "a deletion changes a file name";
  EXPECT_TRUE(FindCloseChangeNotification(change));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(NotifyTest, ChangeBeforeReArmingIsNotLost) {
  MakeHostFolder("fs/w");
  HANDLE change = FindFirstChangeNotificationW(u"\\w", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  MakeFile(u"\\w\\one", "1");
  ASSERT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0);
  MakeFile(u"\\w\\two", "2");  // after the wake, before FindNextChangeNotification
  ASSERT_TRUE(FindNextChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0);
  CloseHandle(change);
}

TEST_F(NotifyTest, FilterSelectsTheKindsOfChange) {
  MakeHostFolder("fs/w");
  WriteHostFile("fs/w/existing", "x");
  HANDLE names = FindFirstChangeNotificationW(u"\\w", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  HANDLE writes = FindFirstChangeNotificationW(u"\\w", FALSE, FILE_NOTIFY_CHANGE_LAST_WRITE);
  HANDLE folders = FindFirstChangeNotificationW(u"\\w", FALSE, FILE_NOTIFY_CHANGE_DIR_NAME);
  ASSERT_NE(names, INVALID_HANDLE_VALUE);
  ASSERT_NE(writes, INVALID_HANDLE_VALUE);
  ASSERT_NE(folders, INVALID_HANDLE_VALUE);
  HANDLE file = CreateFileW(u"\\w\\existing", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done;
  ASSERT_TRUE(WriteFile(file, "more", 4, &done, nullptr));
  CloseHandle(file);
  EXPECT_EQ(WaitForSingleObject(writes, 10000), WAIT_OBJECT_0) << "a write is a last-write change";
  EXPECT_EQ(WaitForSingleObject(names, 20), WAIT_TIMEOUT) << "a write changes no name";
  ASSERT_TRUE(CreateDirectoryW(u"\\w\\sub", nullptr));
  EXPECT_EQ(WaitForSingleObject(folders, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(names, 20), WAIT_TIMEOUT) << "a new folder is not a file name change";
  CloseHandle(names);
  CloseHandle(writes);
  CloseHandle(folders);
}

TEST_F(NotifyTest, SubtreeFlagDecidesWhetherSubfoldersCount) {
  MakeHostFolder("fs/top");
  MakeHostFolder("fs/top/sub");
  HANDLE flat = FindFirstChangeNotificationW(u"\\top", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  HANDLE deep = FindFirstChangeNotificationW(u"\\top", TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(flat, INVALID_HANDLE_VALUE);
  ASSERT_NE(deep, INVALID_HANDLE_VALUE);
  std::thread writer = Later([] { MakeFile(u"\\top\\sub\\f", "x"); });
  EXPECT_EQ(WaitForSingleObject(deep, 10000), WAIT_OBJECT_0);
  writer.join();
  EXPECT_EQ(WaitForSingleObject(flat, 20), WAIT_TIMEOUT);

  // A folder made after the watch started is watched too.
  ASSERT_TRUE(FindNextChangeNotification(deep));
  ASSERT_TRUE(CreateDirectoryW(u"\\top\\later", nullptr));
  EXPECT_EQ(WaitForSingleObject(deep, 0), WAIT_TIMEOUT) << "a folder is not a file name";
  MakeFile(u"\\top\\later\\g", "y");
  EXPECT_EQ(WaitForSingleObject(deep, 10000), WAIT_OBJECT_0);
  CloseHandle(flat);
  CloseHandle(deep);
}

TEST_F(NotifyTest, BadArgumentsFail) {
  WriteHostFile("fs/file", "x");
  struct Row {
    LPCWSTR path;
    DWORD filter;
    DWORD error;
  };
  const Row rows[] = {
      {u"\\", 0, ERROR_INVALID_PARAMETER},
      {u"\\", 0x200, ERROR_INVALID_PARAMETER},
      {u"\\missing", FILE_NOTIFY_CHANGE_FILE_NAME, ERROR_FILE_NOT_FOUND},
      {u"\\file", FILE_NOTIFY_CHANGE_FILE_NAME, ERROR_DIRECTORY},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.path) + " filter " + std::to_string(row.filter));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindFirstChangeNotificationW(row.path, FALSE, row.filter), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), row.error);
  }
}

}  // namespace
