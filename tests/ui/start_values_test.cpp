// The state a run begins with, before creation changes any of it. A binary of its own, so no
// other test can have touched the state first.

#include <gtest/gtest.h>

#include "ce/ce.h"
#include "ce/device.h"
#include "ui/buttons.h"
#include "ui/run_state.h"

TEST(StartValues, SelectionStartsOnTheFirstTypePageWithNothingChosen) {
  EXPECT_EQ(currentPage, TypePage1);
  EXPECT_EQ(pressedSlot, 0);
  EXPECT_EQ(lastTarget, 0);
  EXPECT_EQ(selectedTypeCode, 0);
  EXPECT_EQ(selectedSpeedCode, 0);
  EXPECT_EQ(selectedDirectionCode, 0);
  EXPECT_EQ(ce::ToUtf8(typeLabel), "Unknown type and speed");
  EXPECT_EQ(ce::ToUtf8(speedLabel), "");
}

TEST(StartValues, RunStateStartsUnturnedWithoutTimerAndWithTheFullCountdown) {
  EXPECT_EQ(orientation, 0);
  EXPECT_EQ(timerOption, 0);
  EXPECT_EQ(countdownValue, 6);
  EXPECT_EQ(countdownRunning, 0u);
  EXPECT_EQ(mapFolderKnown, 0);
  EXPECT_STREQ(mapFolder, "");
  EXPECT_EQ(memoryDC, nullptr);
}
