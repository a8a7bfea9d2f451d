#include "access/port_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;
using Paths = std::vector<std::string>;

TEST(PortNames, NumbersNameComPortsThatResolveToOnBoardPorts) {
  EXPECT_EQ(PortNameForNumber(9), "COM9");
  EXPECT_EQ(PortNameForNumber(10), "COM10");
  EXPECT_EQ(ResolvePortPath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortPath("com10"), "/dev/ttyS9");
  EXPECT_EQ(ResolvePortPath("\\\\.\\COM12"), "/dev/ttyS11");
  EXPECT_EQ(ResolvePortPath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortPath("COM0"), "COM0");
  EXPECT_EQ(ResolvePortPath("COMX"), "COMX");
}

TEST(PortNames, NaturalOrder) {
  Paths paths{"/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB1"};
  std::sort(paths.begin(), paths.end(), [](const auto& a, const auto& b) { return NaturalLess(a, b); });
  EXPECT_EQ(paths, (Paths{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

TEST(EnumerateSerialPorts, ListsDevicePathsOnly) {
  const auto ports = EnumerateSerialPorts();
  if (!ports) GTEST_SKIP() << "udev is not available here";
  for (const SerialPortInfo& port : *ports) {
    EXPECT_TRUE(port.devicePath.starts_with("/dev/")) << port.devicePath;
    EXPECT_EQ(port.devicePath.find("/dev/pts/"), std::string::npos);
  }
}

TEST(PortDialog, WithoutPortsOnlyComOneIsOffered) {
  for (const auto& ports : {std::optional<Paths>{}, std::optional<Paths>{Paths{}}}) {
    ScriptedUi ui;
    const PortDialogState state = OpenPortDialog(ui, ports, "/dev/ttyUSB0", true);
    EXPECT_EQ(state.names, Paths{"COM1"});
    EXPECT_EQ(state.selected, 0);
    EXPECT_TRUE(state.autoSwitch);
    EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Select COM port",
                                                 "Error reading the registry, only COM1 is possible."}}));
  }
}

TEST(PortDialog, SelectsTheCurrentPortOrTheFirst) {
  ScriptedUi ui;
  const Paths ports{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"};
  EXPECT_EQ(OpenPortDialog(ui, ports, "/dev/ttyUSB1", false).selected, 2);
  EXPECT_EQ(OpenPortDialog(ui, ports, "COM7", false).selected, 0);
  EXPECT_TRUE(ui.Boxes().empty());
}

struct AcceptCase {
  const char* typed;
  int selected;
  std::optional<std::string> result;
  const char* error;  // nullptr: no box
};

TEST(PortDialog, AcceptTakesTypedNumberPathOrSelection) {
  const PortDialogState state{{"/dev/ttyUSB0", "/dev/ttyUSB1"}, 0, false};
  const AcceptCase cases[] = {
      {"", 1, "/dev/ttyUSB1", nullptr},
      {"  ", 0, "/dev/ttyUSB0", nullptr},
      {"1", 0, "COM1", nullptr},
      {" 20 ", 0, "COM20", nullptr},
      {"0", 0, std::nullopt, "User port out of range (1-20)"},
      {"21", 0, std::nullopt, "User port out of range (1-20)"},
      {"-3", 0, std::nullopt, "User port out of range (1-20)"},
      {"99999999999999999999", 0, std::nullopt, "User port out of range (1-20)"},
      {"abc", 0, std::nullopt, "User port input error"},
      {"3x", 0, std::nullopt, "User port input error"},
      {"/dev/ttyACM0", 0, "/dev/ttyACM0", nullptr},
      {"", -1, std::nullopt, "Dialog box error"},
      {"", 2, std::nullopt, "Dialog box error"},
  };
  for (const AcceptCase& c : cases) {
    ScriptedUi ui;
    EXPECT_EQ(AcceptPortDialog(ui, state, c.typed, c.selected), c.result) << c.typed;
    std::vector<UiEvent> expected;
    if (c.error != nullptr) expected.push_back({UiEventKind::Error, "Select COM port", c.error});
    EXPECT_EQ(ui.Boxes(), expected) << c.typed;
  }
}

TEST(PortAutoSwitch, SwitchesToANewlyPluggedPortWithItsGuards) {
  std::optional<Paths> present = Paths{"/dev/ttyS0"};
  int enumerations = 0;
  PortAutoSwitch autoSwitch([&] {
    ++enumerations;
    return present;
  });
  // Off, busy or holding an unsaved log: nothing is even enumerated.
  EXPECT_EQ(autoSwitch.Tick(false, false, false), std::nullopt);
  EXPECT_EQ(autoSwitch.Tick(true, true, false), std::nullopt);
  EXPECT_EQ(autoSwitch.Tick(true, false, true), std::nullopt);
  EXPECT_EQ(enumerations, 0);

  EXPECT_EQ(autoSwitch.Tick(true, false, false), std::nullopt);  // first tick: remembers
  EXPECT_EQ(autoSwitch.Tick(true, false, false), std::nullopt);  // nothing new
  present = Paths{"/dev/ttyS0", "/dev/ttyUSB0"};
  EXPECT_EQ(autoSwitch.Tick(true, false, true), std::nullopt);   // plugged in while unsaved
  EXPECT_EQ(autoSwitch.Tick(true, false, false), "/dev/ttyUSB0");
  EXPECT_EQ(autoSwitch.Tick(true, false, false), std::nullopt);  // not twice

  // Everything unplugged, then two adapters: the highest is taken.
  present = std::nullopt;
  EXPECT_EQ(autoSwitch.Tick(true, false, false), std::nullopt);
  present = Paths{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0"};
  EXPECT_EQ(autoSwitch.Tick(true, false, false), "/dev/ttyUSB10");
}

}  // namespace
}  // namespace logwell
