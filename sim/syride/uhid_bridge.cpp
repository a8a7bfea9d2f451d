#include "sim/syride/uhid_bridge.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace logwell::sim {
namespace {

constexpr std::size_t kReport = 64;

// Vendor-defined usage page, one application collection with a 64-byte input and a 64-byte
// output report of 8-bit values, no report IDs.
constexpr auto kDescriptor = std::to_array<std::uint8_t>({
    0x06, 0x00, 0xFF,  // usage page 0xFF00
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8
    0x95, 0x40,        //   report count 64
    0x09, 0x01,        //   usage 1
    0x81, 0x02,        //   input (data, variable, absolute)
    0x95, 0x40,        //   report count 64
    0x09, 0x01,        //   usage 1
    0x91, 0x02,        //   output (data, variable, absolute)
    0xC0,              // end collection
});

bool Send(int fd, const uhid_event& event) {
  return ::write(fd, &event, sizeof(event)) == static_cast<ssize_t>(sizeof(event));
}

}  // namespace

UhidBridge::UhidBridge(HidDevice& model, std::uint16_t vendor, std::uint16_t product, const std::string& name)
    : model_(model) {
  fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = std::string("/dev/uhid: ") + std::strerror(errno);
    return;
  }
  uhid_event create{};
  create.type = UHID_CREATE2;
  std::strncpy(reinterpret_cast<char*>(create.u.create2.name), name.c_str(), sizeof(create.u.create2.name) - 1);
  create.u.create2.rd_size = kDescriptor.size();
  create.u.create2.bus = 0x03;  // USB
  create.u.create2.vendor = vendor;
  create.u.create2.product = product;
  std::memcpy(create.u.create2.rd_data, kDescriptor.data(), kDescriptor.size());
  if (!Send(fd_, create)) {
    error_ = std::string("UHID_CREATE2: ") + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

UhidBridge::~UhidBridge() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  if (fd_ >= 0) {
    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    Send(fd_, destroy);
    ::close(fd_);
  }
}

void UhidBridge::Run(std::stop_token stop) {
  std::vector<std::uint8_t> report(kReport);
  while (!stop.stop_requested()) {
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, 5) > 0 && (waiting.revents & POLLIN) != 0) {
      uhid_event event{};
      if (::read(fd_, &event, sizeof(event)) <= 0) return;
      if (event.type == UHID_OUTPUT) {
        std::span<const std::uint8_t> data(event.u.output.data, event.u.output.size);
        // hidraw passes the report number (0) in front of the data of unnumbered reports.
        if (data.size() == kReport + 1 && data[0] == 0) data = data.subspan(1);
        model_.WriteReport(data);
      } else if (event.type == UHID_GET_REPORT) {
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = event.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
        Send(fd_, reply);
      } else if (event.type == UHID_SET_REPORT) {
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = event.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
        Send(fd_, reply);
      }
    }
    // Everything the model has to say goes to the host as input reports.
    for (;;) {
      const int got = model_.ReadReport(report, std::chrono::milliseconds(0));
      if (got <= 0) break;
      uhid_event input{};
      input.type = UHID_INPUT2;
      input.u.input2.size = static_cast<std::uint16_t>(got);
      std::memcpy(input.u.input2.data, report.data(), static_cast<std::size_t>(got));
      if (!Send(fd_, input)) return;
    }
  }
}

}  // namespace logwell::sim
