#include "uninstall/launcher_notification.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/sim_test_support.h"

namespace {

TEST(NotifyLauncherWindows, SendsToEveryWindowWithTheExactPropertyInEnumerationOrder) {
  sim::Machine& machine = FreshMachine();
  auto& windows = machine.windows;
  HWND first = windows.CreateTopLevel({"Launcher 1", "L", "launcher"});
  HWND atom = windows.CreateTopLevel({"Atom", "L", "other"});
  HWND second = windows.CreateTopLevel({"Launcher 2", "L", "launcher"});
  windows.AddProperty(first, "CDROMLauncher", nullptr);
  windows.AddAtomProperty(atom, 0x1234, nullptr);
  windows.AddProperty(second, "Unrelated", nullptr);
  windows.AddProperty(second, "CDROMLauncher", reinterpret_cast<HANDLE>(1));

  std::vector<HWND> order;
  for (HWND w : {first, second}) {
    windows.SetHandler(w, [&order](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
      EXPECT_EQ(message, UINT(WM_DEVICECHANGE));
      EXPECT_EQ(wParam, 0u);
      EXPECT_EQ(lParam, 0);
      order.push_back(window);
      return LRESULT(0);
    });
  }
  NotifyLauncherWindows();
  // EnumWindows goes front to back: the window created last comes first.
  EXPECT_EQ(order, (std::vector<HWND>{second, first}));
  EXPECT_TRUE(windows.Find(atom)->messages.empty());
}

// Property names are atoms: with no "CDROMLauncher" spelling anywhere, a
// property spelt "cdromlauncher" is reported so and is not the launcher's mark.
TEST(NotifyLauncherWindows, AnotherSpellingIsNotTheMark) {
  sim::Machine& machine = FreshMachine();
  HWND other = machine.windows.CreateTopLevel({"Other", "O", "other"});
  machine.windows.AddProperty(other, "cdromlauncher", nullptr);
  NotifyLauncherWindows();
  EXPECT_TRUE(machine.windows.Find(other)->messages.empty());
}

TEST(NotifyLauncherWindows, NoLauncherNoMessage) {
  sim::Machine& machine = FreshMachine();
  HWND plain = machine.windows.CreateTopLevel({"Plain", "P", "other"});
  NotifyLauncherWindows();
  EXPECT_TRUE(machine.windows.Find(plain)->messages.empty());
}

}  // namespace
