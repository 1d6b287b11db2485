#include "tests/kernel/kernel_fixture.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

void DeviceTest::SetUp() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ce-kernel-XXXXXX";
  char* made = mkdtemp(pattern.data());
  ASSERT_NE(made, nullptr);
  char resolved[4096];
  ASSERT_NE(realpath(made, resolved), nullptr);
  root_ = resolved;
  setenv("CE_DEVICE", root_.c_str(), 1);
  ce::ResetDeviceForTests();
  MakeHostFolder("fs");
}

void DeviceTest::TearDown() {
  // Read-only files and folders must not stop the clean-up.
  nftw(
      root_.c_str(),
      [](const char* path, const struct stat*, int, FTW*) {
        chmod(path, 0700);
        return 0;
      },
      16, FTW_PHYS);
  nftw(
      root_.c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
  ce::ResetDeviceForTests();
}

void DeviceTest::WriteHostFile(const std::string& relative, const std::string& content) const {
  std::ofstream out(Host(relative), std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << relative;
}

std::string DeviceTest::ReadHostFile(const std::string& relative) const {
  std::ifstream in(Host(relative), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool DeviceTest::HostExists(const std::string& relative) const {
  struct stat st;
  return lstat(Host(relative).c_str(), &st) == 0;
}

void DeviceTest::MakeHostFolder(const std::string& relative) const {
  ASSERT_EQ(mkdir(Host(relative).c_str(), 0777), 0) << relative;
}

void DeviceTest::MakeFile(LPCWSTR path, const std::string& content) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path) << " error " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr));
  EXPECT_EQ(written, content.size());
  EXPECT_TRUE(CloseHandle(file));
}

std::string DeviceTest::ReadFileText(LPCWSTR path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<cannot open: error " + std::to_string(GetLastError()) + ">";
  std::string text;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

std::string Narrow(const std::u16string& text) { return ce::ToUtf8(text); }
