#pragma once
// Serial port names, the list of ports present, the port selection of the "Set COM port"
// dialog and the automatic switch to a newly plugged-in port.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct udev;
struct udev_monitor;

namespace logwell {

class Ui;

inline constexpr int kMaxUserPortNumber = 20;

// A port number names "COMn" (n from 1); "COMn" resolves to the on-board port /dev/ttyS(n-1).
// Any other name is a device path and used as it is.
std::string PortNameForNumber(int number);
std::string ResolvePortPath(std::string_view portName);

// One serial port present on the machine.
struct SerialPortInfo {
  std::string devicePath;  // /dev/ttyUSB0, /dev/ttyACM0, /dev/ttyS0
  std::string vendorId;    // USB adapters only: four hexadecimal digits
  std::string productId;
  std::string serial;
  std::string manufacturer;
  std::string product;
};

// The serial ports that have a real device behind them (USB serial adapters, on-board
// ports), in natural order of their paths; nothing when udev cannot be asked.
std::optional<std::vector<SerialPortInfo>> EnumerateSerialPorts();

// The paths of EnumerateSerialPorts, or nothing.
std::optional<std::vector<std::string>> EnumerateSerialPortPaths();

// Why a port could not be opened, for an errno value of SerialPort::Open: "busy (another
// program holds it)", "not permitted (join the dialout group: ...)" or the system's reason.
std::string PortOpenProblem(int error);

// The lines under "Could not open serial port": the port and its problem, then the serial ports
// that do exist (or that none does), so that the right one can be named at once.
std::string PortOpenFailureDetail(std::string_view devicePath, int error,
                                  const std::optional<std::vector<std::string>>& present);

// Orders device paths so that ttyUSB2 comes before ttyUSB10.
bool NaturalLess(std::string_view a, std::string_view b);

// The "Set COM port" dialog without its window.
struct PortDialogState {
  std::vector<std::string> names;  // the choices, in enumeration order
  int selected = 0;                // the entry equal to the current port name, or the first
  bool autoSwitch = false;
};

// Fills the dialog from an enumeration; when nothing was found (or udev failed) it tells the
// user that only COM1 is possible and offers just that.
PortDialogState OpenPortDialog(Ui& ui, const std::optional<std::vector<std::string>>& ports,
                               std::string_view currentPortName, bool autoSetPort);

// OK: the typed text (a number 1 to 20, or a device path) wins over the selected entry. The
// new port name, or nothing after an error box (the dialog then stays open).
std::optional<std::string> AcceptPortDialog(Ui& ui, const PortDialogState& state,
                                            std::string_view userText, int selectedIndex);

// The automatic switch, run on the main window's one-second tick.
class PortAutoSwitch {
 public:
  using Enumerator = std::function<std::optional<std::vector<std::string>>()>;
  explicit PortAutoSwitch(Enumerator enumerate) : enumerate_(std::move(enumerate)) {}

  // The port to select now, if any. Nothing happens while the switch is off, an access is
  // running or a loaded log is not yet saved.
  std::optional<std::string> Tick(bool autoSetPort, bool gpsBusy, bool unsavedLog);

 private:
  std::vector<std::string> Enumerate();

  Enumerator enumerate_;
  bool started_ = false;
  std::vector<std::string> remembered_;
};

// Tells when a tty device was added or removed (udev's monitor), so that the tick only
// enumerates again when something changed. Without udev it always reports a change.
class PortMonitor {
 public:
  PortMonitor();
  ~PortMonitor();
  PortMonitor(const PortMonitor&) = delete;
  PortMonitor& operator=(const PortMonitor&) = delete;

  // True when tty devices came or went since the last call (drains the events).
  bool ChangesPending();
  // The descriptor to watch for readability, or -1.
  int Descriptor() const;

 private:
  ::udev* udev_ = nullptr;
  ::udev_monitor* monitor_ = nullptr;
};

}  // namespace logwell
