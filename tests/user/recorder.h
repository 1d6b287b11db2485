// Shared pieces of the window tests on the headless screen: a device of 320 x 240, a window class
// whose procedure records every message, and comparison against static message tables.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ce/ce.h"
#include "ce/null/null.h"
#include "ce/user/backend.h"
#include "tests/user/message_names.h"

namespace usertest {

constexpr int kScreenW = 320;  // deliberately not 240 x 320, so width and height cannot be swapped
constexpr int kScreenH = 240;

struct Rec {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

// One row of an expected sequence: the message, and the wParam when checkW is set.
struct Want {
  UINT msg;
  bool checkW;
  WPARAM wParam;
};

extern std::vector<Rec> seen;
// Called for every message after it is recorded; return true with *result set to handle it,
// false to pass it to DefWindowProcW.
extern std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void ExpectSequence(const std::vector<Rec>& got, const std::vector<Want>& want, const char* what);
std::vector<Rec> OnlyFor(HWND hwnd);
// Retrieves and dispatches until nothing is ready; returns how many messages ran.
int PumpIdle();

// Each test starts on a fresh headless screen with the class "TestWnd" registered.
class UserTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND MakeWindow(const char16_t* title, DWORD style = WS_VISIBLE, int x = CW_USEDEFAULT, int y = 0,
                  int w = CW_USEDEFAULT, int h = 0);
};

}  // namespace usertest
