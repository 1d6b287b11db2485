// Window classes and how window names compare.
#include "ce/user/core.h"

namespace ce::user {

// One folding for window names and file names: the kernel's (_wcsnicmp). A name holding a NUL
// before its end never matches.
bool NamesEqual(const std::u16string& a, const char16_t* b) {
  const size_t n = a.size();
  for (size_t i = 0; i < n; ++i) {
    if (b[i] == 0) return false;
  }
  return b[n] == 0 && _wcsnicmp(a.data(), b, n) == 0;
}

static constexpr ATOM kFirstAtom = 0xC000;

ClassEntry* FindClassLocked(LPCWSTR name) {
  auto& classes = core().classes;
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    size_t atom = reinterpret_cast<uintptr_t>(name);
    if (atom < kFirstAtom || atom - kFirstAtom >= classes.size()) return nullptr;
    ClassEntry& e = classes[atom - kFirstAtom];
    return e.name.empty() ? nullptr : &e;
  }
  for (auto& e : classes) {
    if (!e.name.empty() && NamesEqual(e.name, name)) return &e;
  }
  return nullptr;
}

}  // namespace ce::user

using namespace ce::user;

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpszClassName[0] ||
      wc->cbWndExtra < 0 || wc->cbWndExtra > 4096) {
    return 0;
  }
  ActiveBackend();
  std::lock_guard<std::mutex> lock(core().mu);
  if (FindClassLocked(wc->lpszClassName)) return 0;  // already registered, as Windows answers
  auto& classes = core().classes;
  size_t slot = 0;
  while (slot < classes.size() && !classes[slot].name.empty()) ++slot;
  if (slot == classes.size()) classes.emplace_back();
  classes[slot].name = wc->lpszClassName;
  classes[slot].wc = *wc;
  classes[slot].wc.lpszClassName = nullptr;  // the caller's text need not outlive the call
  classes[slot].wc.lpszMenuName = nullptr;
  return static_cast<ATOM>(kFirstAtom + slot);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  std::lock_guard<std::mutex> lock(core().mu);
  ClassEntry* e = FindClassLocked(className);
  if (!e) return FALSE;
  for (auto& [handle, w] : core().windows) {
    if (NamesEqual(w->className, e->name.c_str())) return FALSE;  // still in use
  }
  e->name.clear();
  return TRUE;
}
