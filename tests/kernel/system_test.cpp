// Version, platform type, device identifier, module path, clock and message boxes.
#include <unistd.h>

#include <vector>

#include "tests/kernel/kernel_fixture.h"

namespace {

using SystemTest = DeviceTest;

TEST_F(SystemTest, VersionIsWindowsCe) {
  OSVERSIONINFOW info;
  memset(&info, 0xb0, sizeof info);
  info.dwOSVersionInfoSize = 276;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_CE);
  EXPECT_GE(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.szCSDVersion[0], 0);
  info.dwOSVersionInfoSize = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetVersionExW(&info));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(SystemTest, PlatformTypeComesFromTheProfileWithByteSizedBuffers) {
  struct Row {
    const char* ini;
    const char* platform;
  };
  const Row rows[] = {{"", "PocketPC"}, {"[system]\nplatform=SmartPhone\n", "SmartPhone"}};
  for (const Row& row : rows) {
    WriteIni(row.ini);
    ce::ResetDeviceForTests();
    WCHAR text[MAX_PATH];
    for (WCHAR& w : text) w = 0xb0b0;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof text, text, 0));
    EXPECT_EQ(Narrow(text), row.platform);
  }
  WCHAR small[11];
  for (WCHAR& w : small) w = 0xb0b0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 20, small, 0)) << "10 characters cannot hold SmartPhone";
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small[0], 0xb0b0);
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 22, small, 0)) << "text and NUL in 22 bytes";
  RECT area;
  memset(&area, 0xb0, sizeof area);
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
  EXPECT_EQ(area.right, 240);
  EXPECT_EQ(area.bottom, 320);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SystemParametersInfoW(9999, 0, &area, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SystemTest, DeviceIdentifierTakesTheInsufficientBufferRound) {
  WriteIni("[system]\ndeviceid=00A1B2C3\n");
  // The first call with too small a buffer says how much is needed.
  std::vector<BYTE> buffer(sizeof(DEVICE_ID), 0xb0);
  DWORD size = DWORD(buffer.size());
  memcpy(buffer.data(), &size, sizeof size);
  DWORD returned = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  ASSERT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer.data(), size, &returned));
  ASSERT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  DWORD needed;
  memcpy(&needed, buffer.data(), sizeof needed);
  EXPECT_EQ(needed, sizeof(DEVICE_ID) + 4 + 8) << "header, 4 preset bytes, \"PocketPC\"";
  // The second, with the size asked for, gets the identifier.
  buffer.assign(needed, 0xb0);
  memcpy(buffer.data(), &needed, sizeof needed);
  ASSERT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer.data(), needed, &returned));
  EXPECT_EQ(returned, needed);
  DEVICE_ID id;
  memcpy(&id, buffer.data(), sizeof id);
  EXPECT_EQ(id.dwSize, needed);
  ASSERT_EQ(id.dwPresetIDBytes, 4u);
  ASSERT_LE(id.dwPresetIDOffset + id.dwPresetIDBytes, needed);
  EXPECT_EQ(std::vector<BYTE>(buffer.begin() + id.dwPresetIDOffset, buffer.begin() + id.dwPresetIDOffset + 4),
            (std::vector<BYTE>{0x00, 0xA1, 0xB2, 0xC3}));
  ASSERT_LE(id.dwPlatformIDOffset + id.dwPlatformIDBytes, needed);
  EXPECT_EQ(std::string(buffer.begin() + id.dwPlatformIDOffset,
                        buffer.begin() + id.dwPlatformIDOffset + id.dwPlatformIDBytes),
            "PocketPC");

  // The program's own first try: 128 bytes, size field 128, enough at once.
  std::vector<BYTE> big(128, 0xb0);
  DWORD bigSize = 128;
  memcpy(big.data(), &bigSize, sizeof bigSize);
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, big.data(), 128, nullptr));
  // A size field smaller than the buffer is taken at its word.
  DWORD claimed = 8;
  memcpy(big.data(), &claimed, sizeof claimed);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, big.data(), 128, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KernelIoControl(0x01010000, nullptr, 0, big.data(), 128, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
}

TEST_F(SystemTest, DeviceWithoutIdentifierFailsTheQuery) {
  WriteIni("[system]\ndeviceid=\n");
  std::vector<BYTE> buffer(128, 0xb0);
  DWORD size = 128;
  memcpy(buffer.data(), &size, sizeof size);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer.data(), 128, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED)) << "not 122, so no second round is tried";
}

TEST_F(SystemTest, ModuleOutsideTheDeviceLivesInTheRootFolder) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  std::string name = strrchr(exe, '/') + 1;
  WCHAR path[MAX_PATH];
  for (WCHAR& w : path) w = 0xb0b0;
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  EXPECT_EQ(Narrow(path), "\\" + name);
  EXPECT_EQ(length, name.size() + 1);
  // The program folder cut from it is usable: files beside the program can be made and read.
  std::u16string folder(path, wcsrchr(path, u'\\') + 1);
  MakeFile((folder + u"Trapmarker.ini").c_str(), "0\r\n1\r\n");
  EXPECT_EQ(ReadHostFile("fs/Trapmarker.ini"), "0\r\n1\r\n");

  WCHAR small[4];
  for (WCHAR& w : small) w = 0xb0b0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 3), 3u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small[2], 0) << "cut and terminated";
  EXPECT_EQ(small[3], 0xb0b0);
}

TEST(Clock, TickCountAdvancesWithSleep) {
  DWORD start = GetTickCount();
  Sleep(20);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 20u);
  EXPECT_EQ(GetCurrentProcessId(), DWORD(getpid()));
  EXPECT_EQ(GetCurrentThreadId(), DWORD(getpid())) << "the main thread's id is the process id";
}

struct Seen {
  HWND owner;
  std::u16string text, caption;
  UINT type;
  int calls = 0;
};
Seen seen;

int RecordingBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  seen.owner = owner;
  seen.text = text;
  seen.caption = caption;
  seen.type = type;
  ++seen.calls;
  return IDCANCEL;
}

TEST(MessageBox, InstalledHandlerReceivesTheBoxAndNullRestoresStderr) {
  seen = Seen();
  ce::SetMessageBoxHandler(RecordingBox);
  EXPECT_EQ(MessageBoxW(nullptr, u"iArguments->NrReceiveFields ()>0", u"SDK ERROR!", MB_OK | MB_ICONHAND), IDCANCEL);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_EQ(Narrow(seen.text), "iArguments->NrReceiveFields ()>0");
  EXPECT_EQ(Narrow(seen.caption), "SDK ERROR!");
  EXPECT_EQ(seen.type, MB_OK | MB_ICONHAND);
  ce::SetMessageBoxHandler(nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxW(nullptr, u"Start the navigator?", u"Trapmarker", MB_YESNO | MB_DEFBUTTON2), IDNO);
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed, "Trapmarker: Start the navigator? [No]\n");
  EXPECT_EQ(seen.calls, 1) << "the old handler is gone";
}

TEST(MessageBox, DefaultButtonFollowsTypeAndDefButton) {
  struct Row {
    UINT type;
    int answer;
  };
  const Row rows[] = {
      {MB_OK, IDOK},
      {MB_OK | MB_DEFBUTTON2, IDOK},  // no second button: the first
      {MB_YESNO, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_RETRYCANCEL | MB_ICONHAND, IDRETRY},
  };
  for (const Row& row : rows) EXPECT_EQ(ce::DefaultMessageBoxButton(row.type), row.answer) << "type " << row.type;
}

}  // namespace
