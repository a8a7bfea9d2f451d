// The retry budget of an absent port, at its real one-second pace.
#include <gtest/gtest.h>

#include <chrono>

#include "access/connect.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

TEST(ConnectComPort, TimeoutFiveTriesFiveTimesOneSecondApart) {
  ScriptedUi ui;
  AccessBlock block;
  block.owner = &ui;
  block.portName = "/dev/ttyLOGWELL-absent";
  block.connectSeconds = 5;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectComPort(block, 9600, false), -1);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(4900));
  EXPECT_LT(elapsed, std::chrono::milliseconds(8000));
  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Connecting to GPS (5)", "Connecting to GPS (4)",
                                                         "Connecting to GPS (3)", "Connecting to GPS (2)",
                                                         "Connecting to GPS (1)"}));
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Connecting to GPS on /dev/ttyLOGWELL-absent",
                                               "Could not open serial port (sure it's the right one ?)"}}));
  EXPECT_EQ(block.port, nullptr);
}

TEST(ConnectAttempts, TimeoutOptionOrThirty) {
  EXPECT_EQ(ConnectAttempts(0), 30);
  EXPECT_EQ(ConnectAttempts(-3), 30);
  EXPECT_EQ(ConnectAttempts(1), 1);
  EXPECT_EQ(ConnectAttempts(5), 5);
  EXPECT_EQ(ConnectAttempts(86400), 86400);
  EXPECT_EQ(ConnectAttempts(100000), 86400);
}

}  // namespace
}  // namespace logwell
