#include "access/port_list.h"

#include <libudev.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <memory>
#include <system_error>

#include "access/access_block.h"
#include "base/text.h"
#include "base/ui.h"

namespace logwell {
namespace {

constexpr std::string_view kSelectCaption = "Select COM port";

struct UdevDeleter {
  void operator()(::udev* u) const { udev_unref(u); }
  void operator()(::udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(::udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Attribute(udev_device* device, const char* name) {
  const char* value = udev_device_get_sysattr_value(device, name);
  return value != nullptr ? value : "";
}

// A tty has a real device behind it when it has a parent; the on-board driver registers
// placeholder ports (ttyS0 to ttyS31) whether a UART exists or not, and those are left out.
bool HasRealDevice(udev_device* tty) {
  udev_device* parent = udev_device_get_parent(tty);
  if (parent == nullptr) return false;
  const char* driver = udev_device_get_driver(parent);
  return driver == nullptr || std::string_view(driver) != "serial8250";
}

std::optional<int> ComNumber(std::string_view name) {
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (name.size() < 4 || !EqualsIgnoringCase(name.substr(0, 3), "COM")) {
    return std::nullopt;
  }
  name.remove_prefix(3);
  int number = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size() || number < 1) return std::nullopt;
  return number;
}

}  // namespace

std::string PortNameForNumber(int number) { return "COM" + std::to_string(number); }

std::string ResolvePortPath(std::string_view portName) {
  if (const auto number = ComNumber(portName)) return "/dev/ttyS" + std::to_string(*number - 1);
  return std::string(portName);
}

std::string PortOpenProblem(int error) {
  if (error == EBUSY) return "busy (another program holds it)";
  if (error == EACCES || error == EPERM) {
    return "not permitted (join the dialout group: sudo usermod -aG dialout $USER, then log in again)";
  }
  return "cannot be opened (" + std::generic_category().message(error) + ")";
}

std::string PortOpenFailureDetail(std::string_view devicePath, int error,
                                  const std::optional<std::vector<std::string>>& present) {
  std::string detail = std::string(devicePath) + ": " + PortOpenProblem(error);
  if (!present) return detail + "\r\nThe serial ports present could not be listed.";
  std::vector<std::string> others;
  for (const std::string& port : *present) {
    if (port != devicePath) others.push_back(port);
  }
  if (others.empty()) {
    return detail + "\r\nNo other serial port is present: is the instrument plugged in and switched on?";
  }
  detail += "\r\nSerial ports present:";
  for (const std::string& port : others) detail += " " + port;
  return detail;
}

bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (digitA && digitB) {
      std::size_t endA = i, endB = j;
      while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) ++endA;
      while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) ++endB;
      std::string_view numA = a.substr(i, endA - i), numB = b.substr(j, endB - j);
      while (numA.size() > 1 && numA.front() == '0') numA.remove_prefix(1);
      while (numB.size() > 1 && numB.front() == '0') numB.remove_prefix(1);
      if (numA.size() != numB.size()) return numA.size() < numB.size();
      if (numA != numB) return numA < numB;
      i = endA;
      j = endB;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

std::optional<std::vector<SerialPortInfo>> EnumerateSerialPorts() {
  UdevPtr<::udev> context(udev_new());
  if (!context) return std::nullopt;
  UdevPtr<::udev_enumerate> enumeration(udev_enumerate_new(context.get()));
  if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "tty") < 0 ||
      udev_enumerate_scan_devices(enumeration.get()) < 0) {
    return std::nullopt;
  }
  std::vector<SerialPortInfo> ports;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
    UdevPtr<::udev_device> tty(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!tty || !HasRealDevice(tty.get())) continue;
    const char* node = udev_device_get_devnode(tty.get());
    if (node == nullptr) continue;
    SerialPortInfo info;
    info.devicePath = node;
    // Owned by `tty`: no unref.
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device")) {
      info.vendorId = Attribute(usb, "idVendor");
      info.productId = Attribute(usb, "idProduct");
      info.serial = Attribute(usb, "serial");
      info.manufacturer = Attribute(usb, "manufacturer");
      info.product = Attribute(usb, "product");
    }
    ports.push_back(std::move(info));
  }
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return NaturalLess(a.devicePath, b.devicePath);
  });
  return ports;
}

std::optional<std::vector<std::string>> EnumerateSerialPortPaths() {
  auto ports = EnumerateSerialPorts();
  if (!ports) return std::nullopt;
  std::vector<std::string> paths;
  for (auto& port : *ports) paths.push_back(std::move(port.devicePath));
  return paths;
}

PortDialogState OpenPortDialog(Ui& ui, const std::optional<std::vector<std::string>>& ports,
                               std::string_view currentPortName, bool autoSetPort) {
  PortDialogState state;
  state.autoSwitch = autoSetPort;
  if (!ports || ports->empty()) {
    ui.ShowErrorBox("Error reading the registry, only COM1 is possible.", kSelectCaption);
    state.names = {PortNameForNumber(1)};
  } else {
    state.names = *ports;
  }
  const auto current = std::find(state.names.begin(), state.names.end(), currentPortName);
  state.selected = current == state.names.end() ? 0 : static_cast<int>(current - state.names.begin());
  return state;
}

std::optional<std::string> AcceptPortDialog(Ui& ui, const PortDialogState& state,
                                            std::string_view userText, int selectedIndex) {
  const std::string_view typed = Trim(userText, kWhiteSpace);
  if (!typed.empty()) {
    if (typed.front() == '/') {  // a device path typed in full
      if (typed.size() > kPortNameLength) {
        ui.ShowErrorBox("User port input error", kSelectCaption);
        return std::nullopt;
      }
      return std::string(typed);
    }
    long number = 0;
    const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), number);
    if (error == std::errc::result_out_of_range) {
      ui.ShowErrorBox("User port out of range (1-20)", kSelectCaption);
      return std::nullopt;
    }
    if (error != std::errc() || end != typed.data() + typed.size()) {
      ui.ShowErrorBox("User port input error", kSelectCaption);
      return std::nullopt;
    }
    if (number < 1 || number > kMaxUserPortNumber) {
      ui.ShowErrorBox("User port out of range (1-20)", kSelectCaption);
      return std::nullopt;
    }
    return PortNameForNumber(static_cast<int>(number));
  }
  if (selectedIndex < 0 || static_cast<std::size_t>(selectedIndex) >= state.names.size()) {
    ui.ShowErrorBox("Dialog box error", kSelectCaption);
    return std::nullopt;
  }
  return state.names[static_cast<std::size_t>(selectedIndex)];
}

std::vector<std::string> PortAutoSwitch::Enumerate() {
  auto ports = enumerate_ ? enumerate_() : std::nullopt;
  return ports ? std::move(*ports) : std::vector<std::string>{};
}

std::optional<std::string> PortAutoSwitch::Tick(bool autoSetPort, bool gpsBusy, bool unsavedLog) {
  if (!autoSetPort || gpsBusy || unsavedLog) return std::nullopt;
  if (!started_) {
    started_ = true;
    remembered_ = Enumerate();
    return std::nullopt;
  }
  if (remembered_.empty()) {
    remembered_ = Enumerate();
    if (remembered_.empty()) return std::nullopt;
    return *std::max_element(remembered_.begin(), remembered_.end(),
                             [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
  }
  const std::vector<std::string> old = std::move(remembered_);
  remembered_ = Enumerate();
  for (const std::string& port : remembered_) {
    if (std::find(old.begin(), old.end(), port) == old.end()) return port;
  }
  return std::nullopt;
}

PortMonitor::PortMonitor() : udev_(udev_new()) {
  if (udev_ == nullptr) return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) return;
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

PortMonitor::~PortMonitor() {
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

int PortMonitor::Descriptor() const { return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1; }

bool PortMonitor::ChangesPending() {
  if (monitor_ == nullptr) return true;
  bool changed = false;
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    changed = true;
    udev_device_unref(device);
  }
  return changed;
}

}  // namespace logwell
