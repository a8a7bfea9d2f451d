#include "sim/virtual_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <optional>
#include <system_error>

#include "access/serial_port.h"

namespace logwell::sim {
namespace {

constexpr int kIdleTickMs = 10;

// Waits until `deadline`, or less when a stop is requested: false then.
bool WaitUnlessStopped(std::chrono::steady_clock::time_point deadline, const std::stop_token& stop) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  wake.wait_until(lock, stop, deadline, [] { return false; });
  return !stop.stop_requested();
}

bool WaitUnlessStopped(std::chrono::milliseconds duration, const std::stop_token& stop) {
  return WaitUnlessStopped(std::chrono::steady_clock::now() + duration, stop);
}

void CorruptChecksum(std::vector<std::uint8_t>& bytes) {
  const auto star = std::find(bytes.rbegin(), bytes.rend(), '*');
  if (star == bytes.rend()) return;
  const auto index = static_cast<std::size_t>(bytes.rend() - star);  // first digit
  if (index + 1 >= bytes.size()) return;
  // Swap in a digit that differs from the one sent.
  bytes[index] = bytes[index] == '0' ? '1' : '0';
}

}  // namespace

class VirtualInstrument::Link final : public DeviceLink {
 public:
  Link(VirtualInstrument& owner, const std::stop_token& stop) : owner_(owner), stop_(stop) {}
  void Send(std::span<const std::uint8_t> bytes) override { owner_.SendWithFaults(bytes, stop_); }
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) override {
    return WaitUnlessStopped(deadline, stop_);
  }
  int LineRate() const override { return serial_detail::ReadBackBaudRate(owner_.master_); }

 private:
  VirtualInstrument& owner_;
  const std::stop_token& stop_;
};

VirtualInstrument::VirtualInstrument(std::unique_ptr<InstrumentModel> model) : model_(std::move(model)) {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    throw std::system_error(errno, std::generic_category(), "openpty");
  }
  devicePath_ = name;
  // Raw from the start: no echo or line editing before the host configures the line.
  termios settings{};
  if (::tcgetattr(slave_, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(slave_, TCSANOW, &settings);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  model_->Attach(this);
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

VirtualInstrument::~VirtualInstrument() {
  Stop();
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
}

void VirtualInstrument::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void VirtualInstrument::InjectFor(AnswerFaults& faults, const std::string& request) {
  const auto found = faults.find(request);
  if (found == faults.end() || found->second.empty()) return;
  Inject(found->second.front());
  found->second.erase(found->second.begin());
}

void VirtualInstrument::Inject(Fault fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(std::move(fault));
}

void VirtualInstrument::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  silent_ = false;
}

std::vector<std::uint8_t> VirtualInstrument::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void VirtualInstrument::Run(std::stop_token stop) {
  Link link(*this, stop);
  std::uint8_t buffer[512];
  while (!stop.stop_requested() && !hungUp_.load()) {
    pollfd request{master_, POLLIN, 0};
    const int ready = ::poll(&request, 1, kIdleTickMs);
    if (ready > 0 && (request.revents & POLLIN) != 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        const std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(n));
        {
          std::lock_guard lock(mutex_);
          received_.insert(received_.end(), bytes.begin(), bytes.end());
        }
        model_->OnReceived(bytes, link);
        continue;
      }
    }
    // POLLHUP without data only means the host has not opened (or has closed) its side.
    if (ready > 0 && (request.revents & POLLIN) == 0) WaitUnlessStopped(std::chrono::milliseconds(kIdleTickMs), stop);
    model_->OnIdle(link);
  }
}

void VirtualInstrument::SendWithFaults(std::span<const std::uint8_t> bytes, const std::stop_token& stop) {
  std::optional<Fault> fault;
  {
    std::lock_guard lock(mutex_);
    if (!silent_ && !faults_.empty()) {
      fault = std::move(faults_.front());
      faults_.pop_front();
      if (fault->kind == Fault::Kind::Silence) silent_ = true;
    }
    if (silent_ || hungUp_.load()) return;
  }
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  if (fault) {
    switch (fault->kind) {
      case Fault::Kind::Silence:
      case Fault::Kind::DropLine:
        return;
      case Fault::Kind::Delay:
        WaitUnlessStopped(fault->delay, stop);
        break;
      case Fault::Kind::CorruptByte:
        if (!data.empty()) data[std::min(fault->offset, data.size() - 1)] ^= 0x01;
        break;
      case Fault::Kind::CorruptChecksum:
        CorruptChecksum(data);
        break;
      case Fault::Kind::Garbage:
        data.insert(data.begin(), fault->garbage.begin(), fault->garbage.end());
        break;
      case Fault::Kind::HangUp:
        WriteAll(std::span(data).first(std::min(fault->offset, data.size())), stop);
        HangUpNow();
        return;
    }
  }
  WriteAll(data, stop);
}

bool VirtualInstrument::WriteAll(std::span<const std::uint8_t> bytes, const std::stop_token& stop) {
  std::size_t done = 0;
  while (done < bytes.size() && !stop.stop_requested()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd request{master_, POLLOUT, 0};
    ::poll(&request, 1, kIdleTickMs);
  }
  return done == bytes.size();
}

void VirtualInstrument::HangUpNow() {
  // Closing the device side hangs the line up: the host's next read fails.
  hungUp_.store(true);
  ::close(master_);
  master_ = -1;
  ::close(slave_);
  slave_ = -1;
}

}  // namespace logwell::sim
