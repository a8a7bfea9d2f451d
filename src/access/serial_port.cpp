#include "access/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace logwell {
namespace {

using Clock = std::chrono::steady_clock;

// Unix98 pseudo-terminal slaves use these major device numbers.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

constexpr cc_t kXon = 0x11;
constexpr cc_t kXoff = 0x13;

// The B-constant of a standard rate, or 0 when the rate needs termios2.
speed_t StandardSpeed(int baudRate) {
  switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
  }
}

// A UART is still understood within about 3 % of the wanted rate; a driver that rounds
// further than that has not really set the rate.
bool RateIsClose(int actual, int wanted) {
  return std::abs(actual - wanted) * 100 <= wanted * 3;
}

bool IsPtyRefusal(int error) { return error == EINVAL || error == ENOTTY || error == EIO; }

}  // namespace

std::chrono::milliseconds WriteTimeout(int baudRate, std::size_t byteCount) {
  const std::size_t perByte = baudRate == 4800 ? 3 : 2;
  return std::chrono::milliseconds(static_cast<std::int64_t>(perByte * byteCount));
}

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& devicePath, int& error) {
  error = 0;
  // No O_CREAT: only an existing device is opened. Non-blocking so that neither the open (a
  // modem line that never comes up) nor a read can hang; poll does all the waiting.
  const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  // Exclusive use: a lock every Logwell process honours, plus the tty's own exclusive mode
  // (which a file that is no tty does not have; the configuration step reports that).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);
  return std::unique_ptr<SerialPort>(new SerialPort(fd));
}

SerialPort::SerialPort(int fd) : fd_(fd) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode)) {
    const unsigned major = ::major(info.st_rdev);
    pseudoTerminal_ = major >= kFirstPtySlaveMajor && major <= kLastPtySlaveMajor;
  }
}

SerialPort::~SerialPort() {
  if (fd_ >= 0) {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
}

bool SerialPort::Fail(ConfigureStep step) {
  failedStep_ = step;
  return false;
}

bool SerialPort::Configure(int baudRate, bool xonXoff) {
  failedStep_ = ConfigureStep::None;
  termios settings{};
  if (::tcgetattr(fd_, &settings) != 0) return Fail(ConfigureStep::GetState);

  ::cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CREAD | CLOCAL;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP);
  settings.c_iflag |= IGNBRK;
  if (xonXoff) settings.c_iflag |= IXON | IXOFF;
  settings.c_cc[VSTART] = kXon;
  settings.c_cc[VSTOP] = kXoff;
  // Reads return at once with what is there; the wait is poll's, at most 50 ms.
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;

  const speed_t standard = StandardSpeed(baudRate);
  if (::cfsetispeed(&settings, standard != 0 ? standard : B38400) != 0 ||
      ::cfsetospeed(&settings, standard != 0 ? standard : B38400) != 0) {
    return Fail(ConfigureStep::SetState);
  }
  if (::tcsetattr(fd_, TCSANOW, &settings) != 0) return Fail(ConfigureStep::SetState);

  if (standard == 0) {
    const int error = serial_detail::SetCustomBaudRate(fd_, baudRate);
    // A pseudo-terminal has no line rate; everything else must really run at the rate.
    if (error != 0 && !(pseudoTerminal_ && IsPtyRefusal(error))) return Fail(ConfigureStep::SetState);
    if (error == 0 && !pseudoTerminal_ && !RateIsClose(serial_detail::ReadBackBaudRate(fd_), baudRate)) {
      return Fail(ConfigureStep::SetState);
    }
  }

  // DTR and RTS held on. A pseudo-terminal has no modem lines and may refuse the call.
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(fd_, TIOCMBIS, &lines) != 0 && !(pseudoTerminal_ && IsPtyRefusal(errno))) {
    return Fail(ConfigureStep::SetState);
  }
  baudRate_ = baudRate;
  if (!Purge()) return Fail(ConfigureStep::Purge);
  return true;
}

bool SerialPort::Purge() { return ::tcflush(fd_, TCIOFLUSH) == 0; }

bool SerialPort::Write(std::span<const std::uint8_t> bytes) {
  const auto deadline = Clock::now() + WriteTimeout(baudRate_, bytes.size());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd request{fd_, POLLOUT, 0};
    if (::poll(&request, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
    if ((request.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
  }
  return true;
}

int SerialPort::Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) {
  if (buffer.empty()) return 0;
  const auto limit = std::clamp(wait, std::chrono::milliseconds{0}, kMaxReadWait);
  pollfd request{fd_, POLLIN, 0};
  const int ready = ::poll(&request, 1, static_cast<int>(limit.count()));
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (ready == 0) return 0;
  if ((request.revents & (POLLERR | POLLNVAL)) != 0) return -1;
  const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
  if (n > 0) return static_cast<int>(n);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // Readable but nothing to read, or an error: the line was hung up.
  return -1;
}

}  // namespace logwell
