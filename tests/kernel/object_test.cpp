// The handle table and waits shared by every kernel object.
#include <unistd.h>

#include <thread>

#include "ce/kernel/object.h"
#include "tests/kernel/kernel_fixture.h"

namespace {

TEST(HandleTable, UnknownAndClosedHandlesAreRefused) {
  HANDLE made_up[] = {nullptr, INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(uintptr_t(3)),
                      reinterpret_cast<HANDLE>(uintptr_t(4 * 60000))};
  for (HANDLE h : made_up) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(h)) << h;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE)) << h;
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED) << h;
  }
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(CloseHandle(event));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(event)) << "closing twice";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(event));
}

TEST(HandleTable, LastErrorBelongsToEachThread) {
  SetLastError(11);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(22);
  });
  other.join();
  EXPECT_EQ(GetLastError(), 11u);
}

TEST(Events, ManualResetStaysSetAndAutoResetWakesOnce) {
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  ASSERT_NE(manual, nullptr);
  ASSERT_NE(automatic, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(SetEvent(manual));
  EXPECT_TRUE(SetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0) << "created set";
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT) << "the wait reset it";
  std::thread setter([automatic] {
    Sleep(20);
    SetEvent(automatic);
  });
  EXPECT_EQ(WaitForSingleObject(automatic, 10000), WAIT_OBJECT_0);
  setter.join();
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, u"named"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  CloseHandle(manual);
  CloseHandle(automatic);
}

TEST(Threads, AThreadHandleIsSignalledWhenItsRoutineReturns) {
  static std::atomic<bool> release{false};
  auto routine = [](LPVOID parameter) -> DWORD {
    while (!release) Sleep(1);
    return *static_cast<DWORD*>(parameter);
  };
  DWORD value = 42, id = 0, code = 0;
  HANDLE thread = CreateThread(nullptr, 0, routine, &value, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 20), DWORD(WAIT_TIMEOUT));
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, DWORD(STILL_ACTIVE));
  release = true;
  EXPECT_EQ(WaitForSingleObject(thread, 5000), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(thread, 0), DWORD(WAIT_OBJECT_0)) << "stays signalled";
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Waits, MultipleObjectsReportTheFirstSignalled) {
  HANDLE events[3];
  for (HANDLE& e : events) e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_FAILED) << "waiting for all is not offered";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  for (HANDLE e : events) CloseHandle(e);
}

TEST(Waits, ExtraDescriptorWakesAfterTheObjects) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(ce::WaitForObjectsOrFd(&event, 1, pipeFds[0], 10), WAIT_TIMEOUT);
  std::thread writer([fd = pipeFds[1]] {
    Sleep(20);
    EXPECT_EQ(write(fd, "x", 1), 1);
  });
  EXPECT_EQ(ce::WaitForObjectsOrFd(&event, 1, pipeFds[0], 10000), WAIT_OBJECT_0 + 1);
  writer.join();
  SetEvent(event);
  EXPECT_EQ(ce::WaitForObjectsOrFd(&event, 1, pipeFds[0], 0), WAIT_OBJECT_0) << "objects come first";
  EXPECT_EQ(ce::WaitForObjectsOrFd(nullptr, 0, pipeFds[0], 0), WAIT_OBJECT_0);
  CloseHandle(event);
  close(pipeFds[0]);
  close(pipeFds[1]);
}

using FileHandleWait = DeviceTest;

TEST_F(FileHandleWait, FilesAreAlwaysSignalled) {
  HANDLE file = CreateFileW(u"\\f", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WaitForSingleObject(file, 0), WAIT_OBJECT_0);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindNextChangeNotification(file)) << "a file is not a change handle";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
