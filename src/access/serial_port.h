#pragma once
// The serial back end of Port: a tty device (a USB serial adapter, an on-board port or the
// pseudo-terminal of a virtual instrument) driven through the POSIX terminal interface.
#include <memory>
#include <string>

#include "access/port.h"

namespace logwell {

// Line rates the instrument families use.
inline constexpr int kSupportedBaudRates[] = {4800, 9600, 19200, 38400, 57600, 115200, 128000};

class SerialPort final : public Port {
 public:
  // Opens an existing device for reading and writing, exclusively (no other Logwell process
  // or access may hold it). Nothing is configured yet. On failure returns null and sets
  // `error` to the errno value.
  static std::unique_ptr<SerialPort> Open(const std::string& devicePath, int& error);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool Write(std::span<const std::uint8_t> bytes) override;
  int Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait = kMaxReadWait) override;
  bool Purge() override;
  // 8N1, raw, receiver on, modem control lines ignored, DTR and RTS held on, no hardware
  // handshake, XON/XOFF in both directions only when asked. Rates without a B-constant (128000)
  // are set through the termios2 call and read back, so a real port never runs at a wrong rate.
  bool Configure(int baudRate, bool xonXoff) override;
  ConfigureStep FailedConfigureStep() const override { return failedStep_; }

  bool IsPseudoTerminal() const { return pseudoTerminal_; }
  int BaudRate() const { return baudRate_; }
  int Descriptor() const { return fd_; }

 private:
  explicit SerialPort(int fd);
  bool Fail(ConfigureStep step);

  int fd_ = -1;
  bool pseudoTerminal_ = false;
  int baudRate_ = 9600;
  ConfigureStep failedStep_ = ConfigureStep::None;
};

// The write time-out of a line: 2 ms per byte, 3 ms per byte at 4800 baud, nothing more.
std::chrono::milliseconds WriteTimeout(int baudRate, std::size_t byteCount);

namespace serial_detail {
// Sets the line rate through termios2 (BOTHER) and reads it back. Kept apart because the
// kernel's termbits header cannot live beside <termios.h>. Returns 0 or an errno value.
int SetCustomBaudRate(int fd, int baudRate);
// The output rate the driver reports through termios2, or -1.
int ReadBackBaudRate(int fd);
}  // namespace serial_detail

}  // namespace logwell
