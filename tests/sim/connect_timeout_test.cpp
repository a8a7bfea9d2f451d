// Opening a port that cannot be opened: at once, with the reason and the ports that exist.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "access/connect.h"
#include "access/port_list.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

// Nothing counts down for a port that is not there, with or without a TIMEOUT: the box comes
// within a second, says why and names the serial ports that do exist.
TEST(ConnectComPort, MissingPortFailsAtOnceWithTheReasonAndThePortsPresent) {
  for (const int timeout : {0, 5}) {
    ScriptedUi ui;
    AccessBlock block;
    block.owner = &ui;
    block.portName = "/dev/ttyLOGWELL-absent";
    block.connectSeconds = timeout;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectComPort(block, 9600, false), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "TIMEOUT " << timeout;
    EXPECT_TRUE(ui.StatusTexts().empty());
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, UiEventKind::Error);
    EXPECT_EQ(boxes[0].caption, "Connecting to GPS on /dev/ttyLOGWELL-absent");
    const std::string& text = boxes[0].text;
    const std::string head =
        "Could not open serial port (sure it's the right one ?)\r\n"
        "/dev/ttyLOGWELL-absent: cannot be opened (No such file or directory)\r\n";
    ASSERT_TRUE(text.starts_with(head)) << text;
    const std::string ports = text.substr(head.size());
    EXPECT_TRUE(ports.starts_with("Serial ports present: /dev/") || ports.starts_with("No other serial port") ||
                ports.starts_with("The serial ports present could not be listed"))
        << ports;
    EXPECT_EQ(block.port, nullptr);
  }
}

TEST(PortOpenFailureDetail, SaysWhyAndNamesTheOtherPorts) {
  using Paths = std::vector<std::string>;
  const struct {
    int error;
    std::optional<Paths> present;
    std::string detail;
  } cases[] = {
      {ENOENT, Paths{"/dev/ttyACM0", "/dev/ttyUSB1"},
       "/dev/ttyUSB0: cannot be opened (No such file or directory)\r\nSerial ports present: /dev/ttyACM0 /dev/ttyUSB1"},
      {EACCES, Paths{"/dev/ttyUSB0"},
       "/dev/ttyUSB0: not permitted (join the dialout group: sudo usermod -aG dialout $USER, then log in "
       "again)\r\nNo other serial port is present: is the instrument plugged in and switched on?"},
      {EBUSY, std::nullopt,
       "/dev/ttyUSB0: busy (another program holds it)\r\nThe serial ports present could not be listed."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PortOpenFailureDetail("/dev/ttyUSB0", c.error, c.present), c.detail);
  }
}

TEST(ConnectComPort, AbortBeforeOpeningShowsTransferAborted) {
  ScriptedUi ui;
  AccessBlock block;
  block.owner = &ui;
  block.portName = "/dev/ttyLOGWELL-absent";
  block.abortRequested = 1;
  EXPECT_EQ(ConnectComPort(block, 9600, false), -1);
  EXPECT_EQ(ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(ui.Boxes().empty());
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
