#include "app/center_window.h"

#include <gtest/gtest.h>

#include "tests/sim_test_support.h"

namespace {

RECT RectOf(sim::Machine& machine, HWND window) { return machine.windows.Find(window)->rect; }

TEST(CenterWindow, CentresOnTheScreenAndKeepsTheSize) {
  sim::Machine& machine = FreshMachine();
  machine.windows.screenWidth = 1024;
  machine.windows.screenHeight = 768;
  sim::TopLevelWindowSpec shape;
  shape.process = "";
  shape.rect = {0, 0, 400, 300};
  HWND window = machine.windows.CreateTopLevel(shape);
  CenterWindow(window);
  RECT rect = RectOf(machine, window);
  EXPECT_EQ(rect.left, (1024 - 400) / 2);
  EXPECT_EQ(rect.top, (768 - 300) / 2);
  EXPECT_EQ(rect.right - rect.left, 400) << "centring must not resize the window";
  EXPECT_EQ(rect.bottom - rect.top, 300);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(CenterWindow, FallsBackTo640By480AndStaysOnTheScreen) {
  sim::Machine& machine = FreshMachine();
  machine.windows.displayAvailable = false;
  sim::TopLevelWindowSpec shape;
  shape.process = "";
  shape.rect = {50, 50, 50 + 800, 50 + 600};  // larger than the fallback screen
  HWND window = machine.windows.CreateTopLevel(shape);
  CenterWindow(window);
  RECT rect = RectOf(machine, window);
  // Centring gives negative coordinates, raised to 0 and then lowered to
  // screen size minus window size.
  EXPECT_EQ(rect.left, 640 - 800);
  EXPECT_EQ(rect.top, 480 - 600);
}

}  // namespace
