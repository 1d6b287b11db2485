// The process-wide window state and the choice of screen backend.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ce/user/core.h"
#include "ce/user/factories.h"
#include "ce/user/test_hooks.h"

namespace ce::user {

Core& core() {
  static Core* c = new Core();  // never destroyed: procedures may run during static destruction
  return *c;
}

DWORD TickMs() {
  static const Clock::time_point start = Clock::now();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// ---- backend choice ----

namespace {

std::mutex backendMu;
Backend* backend = nullptr;
bool chosen = false;
BackendKind chosenKind = BackendKind::Null;

BackendKind KindFromEnvironment() {
  const char* forced = std::getenv("CE_BACKEND");
  if (forced && std::strcmp(forced, "null") == 0) return BackendKind::Null;
  if (forced && std::strcmp(forced, "x11") == 0) return BackendKind::X11;
  if (forced && *forced) std::fprintf(stderr, "ce: CE_BACKEND=%s is neither null nor x11; ignored\n", forced);
  const char* display = std::getenv("DISPLAY");
  return (display && *display) ? BackendKind::X11 : BackendKind::Null;
}

}  // namespace

bool UseBackend(BackendKind kind) {
  std::lock_guard<std::mutex> lock(backendMu);
  if (backend) return kind == chosenKind;
  chosen = true;
  chosenKind = kind;
  return true;
}

Backend* ActiveBackend() {
  {
    std::lock_guard<std::mutex> lock(backendMu);
    if (backend) return backend;
    if (!chosen) chosenKind = KindFromEnvironment();
    chosen = true;
    std::unique_ptr<Backend> made = chosenKind == BackendKind::X11 ? MakeX11Backend() : MakeNullBackend();
    if (!made->Open()) {
      const char* display = std::getenv("DISPLAY");
      std::fprintf(stderr, "ce: cannot open the device screen (DISPLAY=%s); start an X server or set CE_BACKEND=null\n",
                   display ? display : "");
      std::exit(2);
    }
    backend = made.release();  // lives for the process, like the display connection
  }
  EnsureMessageBoxHandler();
  return backend;
}

BackendKind CurrentBackend() {
  ActiveBackend();
  return chosenKind;
}

BackendTestHooks* ActiveTestHooks() { return dynamic_cast<BackendTestHooks*>(ActiveBackend()); }

}  // namespace ce::user
