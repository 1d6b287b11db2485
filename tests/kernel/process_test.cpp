// Processes started from device paths: environment, module path, waits, exit codes, reaping, and
// share modes honoured between processes.
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/kernel/kernel_fixture.h"

namespace {

class ProcessTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    // Installed as the device's programs are: copied, not linked.
    MakeHostFolder("fs/Program Files");
    MakeHostFolder("fs/Program Files/Kid");
    MakeHostFolder("fs/child");
    std::ifstream in(KERNEL_CHILD_PATH, std::ios::binary);
    std::ofstream out(Host("fs/Program Files/Kid/Kid.exe"), std::ios::binary);
    out << in.rdbuf();
    out.close();
    ASSERT_EQ(chmod(Host("fs/Program Files/Kid/Kid.exe").c_str(), 0755), 0);
  }

  // Starts the child with a command line; fills pi.
  BOOL Start(const char16_t* commandLine, PROCESS_INFORMATION& pi) {
    std::u16string line = commandLine;
    memset(&pi, 0xb0, sizeof pi);
    return CreateProcessW(u"\\program files\\KID\\kid.exe", line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                          nullptr, nullptr, nullptr, &pi);
  }
};

TEST_F(ProcessTest, ChildSeesTheDeviceItsPathAndItsArguments) {
  const char* display = getenv("DISPLAY");
  std::string saved = display ? display : "";
  setenv("DISPLAY", ":77", 1);
  PROCESS_INFORMATION pi;
  BOOL started = Start(u"report one \"two words\"", pi);
  if (display)
    setenv("DISPLAY", saved.c_str(), 1);
  else
    unsetenv("DISPLAY");
  ASSERT_TRUE(started) << "error " << GetLastError();
  EXPECT_GT(pi.dwProcessId, 0u);
  EXPECT_NE(pi.dwProcessId, GetCurrentProcessId());
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), WAIT_OBJECT_0) << "the thread ends with the process";
  DWORD code = 0xdeadbeef;
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(ReadHostFile("fs/child/report.txt"), root_ + "\n:77\n\\Program Files\\Kid\\Kid.exe\none|two words|");
  EXPECT_TRUE(CloseHandle(pi.hThread));
  EXPECT_TRUE(CloseHandle(pi.hProcess));
}

TEST_F(ProcessTest, RunningChildTimesOutAndEndsWhenTerminated) {
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(Start(u"sleep", pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30), WAIT_TIMEOUT);
  DWORD code = 0xdeadbeef;
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  ASSERT_TRUE(TerminateProcess(pi.hProcess, 3));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 3u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(TerminateProcess(pi.hProcess, 4)) << "it has already ended";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetExitCodeProcess(pi.hThread, &code)) << "a thread handle is not a process handle";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

// The state letter of /proc/<pid>/stat, or 0 when the process is gone.
char ProcessState(DWORD pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() ? line[paren + 2] : '?';
}

TEST_F(ProcessTest, ChildWhoseHandlesWereClosedIsReaped) {
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(Start(u"report", pi));
  DWORD pid = pi.dwProcessId;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);  // before the child has ended, as the navigator launcher does
  char state = ProcessState(pid);
  for (int i = 0; i < 2000 && state != 0; ++i) {
    Sleep(10);
    state = ProcessState(pid);
  }
  EXPECT_EQ(state, 0) << "process " << pid << " is still listed in state " << state;
}

TEST_F(ProcessTest, ShareModesHoldBetweenProcesses) {
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(Start(u"hold", pi));
  for (int i = 0; i < 2000 && GetFileAttributesW(u"\\child\\holding") == INVALID_FILE_ATTRIBUTES; ++i) {
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10), WAIT_TIMEOUT) << "the child ended early";
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileW(u"\\child\\held.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileW(u"\\child\\held.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  MakeFile(u"\\child\\release", "");
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 0xdeadbeef;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  HANDLE file = CreateFileW(u"\\child\\held.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << "free once the other process let go";
  CloseHandle(file);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST_F(ProcessTest, MissingOrUnusableProgramsFail) {
  WriteHostFile("fs/child/plain.txt", "not a program");
  chmod(Host("fs/child/plain.txt").c_str(), 0755);
  struct Row {
    LPCWSTR program;
    DWORD error;
  };
  const Row rows[] = {
      {u"\\Program Files\\Kid\\Missing.exe", ERROR_FILE_NOT_FOUND},
      {u"\\Nowhere\\Kid.exe", ERROR_PATH_NOT_FOUND},
      {u"\\Program Files\\Kid", ERROR_ACCESS_DENIED},
      {u"\\child\\plain.txt", ERROR_BAD_EXE_FORMAT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.program));
    PROCESS_INFORMATION pi;
    memset(&pi, 0xb0, sizeof pi);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessW(row.program, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(GetLastError(), row.error);
  }
}

TEST_F(ProcessTest, ProgramCanBeNamedByTheCommandLine) {
  PROCESS_INFORMATION pi;
  std::u16string line = u"\"\\Program Files\\Kid\\Kid.exe\" report x";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  std::string report = ReadHostFile("fs/child/report.txt");
  EXPECT_EQ(report.substr(report.find("\\")), "\\Program Files\\Kid\\Kid.exe\nx|");
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
