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

// A launcher whose window thread takes no messages (hung, or waiting for the
// installer it started) must not keep the run waiting: it is given up at
// once, and the launchers behind it are still told.
TEST(NotifyLauncherWindows, ALauncherThatDoesNotAnswerIsGivenUp) {
  sim::Machine& machine = FreshMachine();
  auto& windows = machine.windows;
  HWND answering = windows.CreateTopLevel({"Launcher", "L", "launcher"});
  HWND hung = windows.CreateTopLevel({"Hung launcher", "L", "hung"});
  for (HWND w : {answering, hung}) windows.AddProperty(w, "CDROMLauncher", nullptr);
  windows.Find(hung)->answersMessages = false;
  NotifyLauncherWindows();
  EXPECT_TRUE(windows.sendsNeverAnswered.empty());
  EXPECT_EQ(windows.sendTimeoutWaitMs, 0u);
  ASSERT_EQ(windows.Find(answering)->messages.size(), 1u);
  EXPECT_EQ(windows.Find(answering)->messages[0].message, UINT(WM_DEVICECHANGE));
}

TEST(NotifyLauncherWindows, NoLauncherNoMessage) {
  sim::Machine& machine = FreshMachine();
  HWND plain = machine.windows.CreateTopLevel({"Plain", "P", "other"});
  NotifyLauncherWindows();
  EXPECT_TRUE(machine.windows.Find(plain)->messages.empty());
}

}  // namespace
