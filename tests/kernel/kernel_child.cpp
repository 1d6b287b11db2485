// A small program that the process tests install into a device and start with CreateProcessW.
//   report ARGS...  writes \child\report.txt (CE_DEVICE, DISPLAY, module path, arguments) and
//                   exits with 7
//   hold            opens \child\held.txt without sharing, creates \child\holding, and exits once
//                   \child\release exists (at most 20 s)
//   sleep           sleeps until killed
#include <cstdlib>
#include <string>

#include "ce/device.h"
#include "ce/kernel.h"

namespace {

bool Write(LPCWSTR path, const std::string& text) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  BOOL ok = WriteFile(file, text.data(), DWORD(text.size()), &done, nullptr);
  CloseHandle(file);
  return ok && done == text.size();
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "report") {
    const char* device = getenv("CE_DEVICE");
    const char* display = getenv("DISPLAY");
    WCHAR module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::string text = std::string(device ? device : "(unset)") + "\n" + (display ? display : "(unset)") + "\n" +
                       ce::ToUtf8(std::u16string(module, n)) + "\n";
    for (int i = 2; i < argc; ++i) text += std::string(argv[i]) + "|";
    return Write(u"\\child\\report.txt", text) ? 7 : 1;
  }
  if (mode == "hold") {
    HANDLE held = CreateFileW(u"\\child\\held.txt", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    if (!Write(u"\\child\\holding", "yes")) return 1;
    for (int i = 0; i < 2000 && GetFileAttributesW(u"\\child\\release") == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
    CloseHandle(held);
    return 0;
  }
  if (mode == "sleep") Sleep(INFINITE);
  return 2;
}
