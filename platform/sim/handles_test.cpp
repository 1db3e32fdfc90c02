#include "platform/sim/faults.h"
#include "platform/sim/handles.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(Handles, CountsOpenHandlesPerKindAndRefusesAWrongKindOrDoubleClose) {
  Handles handles;
  uintptr_t key = handles.Open(HandleKind::RegistryKey);
  uintptr_t token = handles.Open(HandleKind::Token);
  EXPECT_NE(key, token);
  EXPECT_EQ(handles.OpenCount(), 2u);
  EXPECT_FALSE(handles.Close(key, HandleKind::Token));
  EXPECT_TRUE(handles.Close(key, HandleKind::RegistryKey));
  EXPECT_FALSE(handles.Close(key, HandleKind::RegistryKey));
  EXPECT_EQ(handles.Describe(), "Token: 1");
}

TEST(Faults, FailsExactlyTheNthCallOfAnOperation) {
  Faults faults;
  uint32_t error = 0;
  EXPECT_FALSE(faults.Enter("RegOpenKeyExA", &error));
  faults.FailOn("RegOpenKeyExA", 2, 5);
  EXPECT_FALSE(faults.Enter("RegOpenKeyExA", &error));
  EXPECT_FALSE(faults.Enter("RegCloseKey", &error));
  EXPECT_TRUE(faults.Enter("RegOpenKeyExA", &error));
  EXPECT_EQ(error, 5u);
  EXPECT_FALSE(faults.Enter("RegOpenKeyExA", &error));
  EXPECT_EQ(faults.Calls("RegOpenKeyExA"), 4u);
  EXPECT_TRUE(faults.Fired());
}

TEST(Faults, FailOnAnyCallCountsAcrossOperations) {
  Faults faults;
  uint32_t error = 0;
  faults.FailOnAnyCall(3, 8);
  EXPECT_FALSE(faults.Enter("A", &error));
  EXPECT_FALSE(faults.Enter("B", &error));
  EXPECT_TRUE(faults.Enter("C", &error));
  EXPECT_EQ(error, 8u);
}

}  // namespace
}  // namespace sim
