// Change notification: waking on changes made by another thread, and timing out otherwise; the
// names of the changes when the handle keeps them.
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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

// Every watch of the process shares one queue: a change that another thread's look-up reads from it
// must still reach the handle.
TEST_F(NotifyTest, ChangeReadByAnotherThreadsLookUpReachesTheHandle) {
  MakeHostFolder("fs/Calls");
  EXPECT_EQ(GetFileAttributesW(u"\\Calls\\missing"), INVALID_FILE_ATTRIBUTES) << "the folder's names are kept now";
  HANDLE change = FindFirstChangeNotificationW(u"\\calls", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  std::thread writer = Later([] {
    MakeFile(u"\\Calls\\y.finished", "finish\n");
    GetFileAttributesW(u"\\Calls\\still.missing");
  });
  EXPECT_EQ(WaitForSingleObject(change, 5000), WAIT_OBJECT_0);
  writer.join();
  EXPECT_TRUE(FindCloseChangeNotification(change));
}

// A change after the wake, before FindNextChangeNotification, satisfies the next wait at once:
// also when a look at the folder read it meanwhile.
TEST_F(NotifyTest, ChangeBeforeReArmingIsNotLost) {
  MakeHostFolder("fs/w");
  EXPECT_EQ(GetFileAttributesW(u"\\w\\missing"), INVALID_FILE_ATTRIBUTES) << "the folder's names are kept now";
  HANDLE change = FindFirstChangeNotificationW(u"\\w", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  MakeFile(u"\\w\\one", "1");
  ASSERT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0);
  MakeFile(u"\\w\\two", "2");
  ASSERT_TRUE(FindNextChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0);
  MakeFile(u"\\w\\three", "3");
  EXPECT_EQ(GetFileAttributesW(u"\\w\\missing"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(FindNextChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_OBJECT_0) << "the change the look read was lost";
  ASSERT_TRUE(FindNextChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_TIMEOUT) << "a reported change came back";
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

// What CeGetFileNotificationInfo hands out after each step: "<action> <name>" per record.
std::vector<std::string> Records(HANDLE change, DWORD bufferSize, DWORD* error) {
  std::vector<std::string> out;
  alignas(DWORD) unsigned char buffer[512];
  DWORD returned = 0;
  DWORD available = 0;
  SetLastError(0);
  const BOOL ok = CeGetFileNotificationInfo(change, 0, buffer, bufferSize, &returned, &available);
  *error = ok ? GetLastError() : GetLastError() | 0x80000000u;
  for (DWORD offset = 0; ok && offset < returned;) {
    FILE_NOTIFY_INFORMATION head;
    std::memcpy(&head, buffer + offset, offsetof(FILE_NOTIFY_INFORMATION, FileName));
    std::u16string name(head.FileNameLength / sizeof(WCHAR), u'\0');
    std::memcpy(name.data(), buffer + offset + offsetof(FILE_NOTIFY_INFORMATION, FileName), head.FileNameLength);
    out.push_back(std::to_string(head.Action) + " " + ce::ToUtf8(name));
    if (head.NextEntryOffset == 0) break;
    offset += head.NextEntryOffset;
  }
  return out;
}

TEST_F(NotifyTest, NamesOfTheChangesAreKeptWhenAskedFor) {
  MakeHostFolder("fs/n");
  MakeHostFolder("fs/n/sub");
  HANDLE change =
      FindFirstChangeNotificationW(u"\\n", TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
  HANDLE plain = FindFirstChangeNotificationW(u"\\n", TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  ASSERT_NE(plain, INVALID_HANDLE_VALUE);
  const DWORD kMoreData = ERROR_MORE_DATA;
  const DWORD kTooSmall = ERROR_INSUFFICIENT_BUFFER | 0x80000000u;
  const DWORD kLost = ERROR_NOTIFY_ENUM_DIR | 0x80000000u;
  struct Step {
    const char* what;
    std::function<void()> change;
    DWORD bufferSize;
    std::vector<std::string> records;
    DWORD error;
  };
  const Step steps[] = {
      {"nothing yet", nullptr, 512, {}, 0},
      {"made", [] { MakeFile(u"\\n\\A.txt", "a"); }, 512, {"1 A.txt"}, 0},
      {"renamed", [] { MoveFileW(u"\\n\\a.txt", u"\\n\\b.txt"); }, 512, {"4 A.txt", "5 b.txt"}, 0},
      {"removed in a subfolder",
       [] {
         MakeFile(u"\\n\\sub\\c", "c");
         DeleteFileW(u"\\n\\sub\\c");
       },
       512,
       {"1 sub\\c", "2 sub\\c"},
       0},
      {"one record fits", [] { DeleteFileW(u"\\n\\b.txt"); }, 24, {"2 b.txt"}, 0},
      {"no record fits", [] { MakeFile(u"\\n\\a-longer-name.txt", "x"); }, 24, {}, kTooSmall},
      {"then it is handed out", nullptr, 512, {"1 a-longer-name.txt"}, 0},
      {"two records, room for one",
       [] {
         MakeFile(u"\\n\\d", "d");
         MakeFile(u"\\n\\e", "e");
       },
       24,
       {"1 d"},
       kMoreData},
      {"the second", nullptr, 512, {"1 e"}, 0},
      {"more than is kept",
       [] {
         for (int i = 0; i < 700; ++i) {
           MakeFile(u"\\n\\churn", "x");
           DeleteFileW(u"\\n\\churn");
         }
       },
       512,
       {},
       kLost},
      {"said once, then kept again", [] { MakeFile(u"\\n\\f", "f"); }, 512, {"1 f"}, 0},
      {"re-arming forgets what was not asked for",
       [&] {
         MakeFile(u"\\n\\g", "g");
         WaitForSingleObject(change, 1000);
         FindNextChangeNotification(change);
         DeleteFileW(u"\\n\\g");
       },
       512,
       {"2 g"},
       0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    // As a waiter uses the handle: re-armed, a change, the wait it ends, then the names.
    if (step.change) {
      FindNextChangeNotification(change);
      step.change();
      WaitForSingleObject(change, 1000);
    }
    DWORD error = 0;
    EXPECT_EQ(Records(change, step.bufferSize, &error), step.records);
    EXPECT_EQ(error, step.error);
  }
  DWORD error = 0;
  EXPECT_EQ(WaitForSingleObject(plain, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(Records(plain, 512, &error).empty()) << "a handle made without the flag keeps no names";
  EXPECT_EQ(error, 0u);
  FindCloseChangeNotification(change);
  FindCloseChangeNotification(plain);
}
