#include "access/hid_port.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/text.h"

namespace logwell {
namespace {

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

class HidapiDevice : public HidDevice {
 public:
  explicit HidapiDevice(hid_device* handle) : handle_(handle) {}
  ~HidapiDevice() override {
    hid_close(handle_);
    hid_exit();
  }
  HidapiDevice(const HidapiDevice&) = delete;
  HidapiDevice& operator=(const HidapiDevice&) = delete;

  bool WriteReport(std::span<const std::uint8_t> report) override {
    // Devices without numbered reports take report ID 0 in front of the data.
    std::vector<std::uint8_t> buffer(report.size() + 1, 0);
    std::copy(report.begin(), report.end(), buffer.begin() + 1);
    return hid_write(handle_, buffer.data(), buffer.size()) == static_cast<int>(buffer.size());
  }
  int ReadReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) override {
    const int got = hid_read_timeout(handle_, buffer.data(), buffer.size(), static_cast<int>(wait.count()));
    return got < 0 ? -1 : got;
  }

 private:
  hid_device* handle_;
};

}  // namespace

std::string FindHidDevice(std::uint16_t vendor, std::uint16_t product) {
  if (hid_init() != 0) return {};
  hid_device_info* found = hid_enumerate(vendor, product);
  std::string path = found != nullptr && found->path != nullptr ? found->path : "";
  hid_free_enumeration(found);
  hid_exit();
  return path;
}

HidOpenResult OpenHidDevice(std::uint16_t vendor, std::uint16_t product, const std::string& udevRule) {
  HidOpenResult result;
  if (hid_init() != 0) {
    result.failure = HidOpenFailure::Other;
    result.message = "HID library initialisation error";
    return result;
  }
  const std::string path = FindHidDevice(vendor, product);
  if (path.empty()) {
    hid_exit();
    result.failure = HidOpenFailure::NotFound;
    return result;
  }
  errno = 0;
  hid_device* handle = hid_open_path(path.c_str());
  if (handle == nullptr) {
    const bool denied = errno == EACCES || errno == EPERM;
    const std::string detail = Narrow(hid_error(nullptr));
    hid_exit();
    result.failure = denied ? HidOpenFailure::NoPermission : HidOpenFailure::Other;
    result.message = denied ? FormatText("No permission for %s: install %s (see README)", path.c_str(),
                                         udevRule.c_str())
                            : FormatText("USB open error (%s)", detail.c_str());
    return result;
  }
  result.device = std::make_unique<HidapiDevice>(handle);
  return result;
}

HidPort::HidPort(std::unique_ptr<HidDevice> device, std::size_t reportSize)
    : device_(std::move(device)), reportSize_(reportSize) {}

bool HidPort::Write(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > reportSize_) return false;
  std::vector<std::uint8_t> report(reportSize_, 0);
  std::copy(bytes.begin(), bytes.end(), report.begin());
  return device_->WriteReport(report);
}

int HidPort::Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) {
  return device_->ReadReport(buffer, std::min(wait, kMaxReadWait));
}

bool HidPort::Purge() {
  std::vector<std::uint8_t> drop(reportSize_);
  for (int i = 0; i < 1000; ++i) {
    const int got = device_->ReadReport(drop, std::chrono::milliseconds(0));
    if (got < 0) return false;
    if (got == 0) return true;
  }
  return true;
}

}  // namespace logwell
