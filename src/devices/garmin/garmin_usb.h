#pragma once
// Garmin receivers on USB: the same application packets as on the serial line, carried in USB
// packets (a 12-byte header, no framing and no acknowledges) over three pipes: bulk OUT for
// everything sent, interrupt IN and bulk IN for what comes back. A session is started first.
//
// The pipes are behind UsbPipes so that the byte path runs against a scripted device in tests;
// the real device is reached through libusb (garmin_usb_device.h).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace logwell::garmin {

inline constexpr std::uint16_t kUsbVendor = 0x091E;
inline constexpr std::uint16_t kUsbProduct = 0x0003;

inline constexpr std::uint8_t kUsbProtocolLayer = 0;
inline constexpr std::uint8_t kUsbApplicationLayer = 20;
inline constexpr std::uint16_t kUsbDataAvailable = 2;
inline constexpr std::uint16_t kUsbStartSession = 5;
inline constexpr std::uint16_t kUsbSessionStarted = 6;
inline constexpr std::uint16_t kPidExtendedProductData = 248;

inline constexpr std::size_t kUsbHeaderSize = 12;
// One received packet is kept up to this many bytes; a longer one is cut here.
inline constexpr std::size_t kUsbMaxPacket = 267;
inline constexpr std::size_t kInterruptPiece = 64;
inline constexpr std::size_t kBulkPiece = 4096;

// What a transfer result of one pipe read means: bytes (> 0), nothing within the wait (0), or
// a failed pipe (kPipeFailed).
inline constexpr int kPipeFailed = -1;

class UsbPipes {
 public:
  virtual ~UsbPipes() = default;
  // Writes every byte to bulk OUT within `timeout`; false otherwise.
  virtual bool WriteBulk(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) = 0;
  // One read of bulk IN or interrupt IN: the number of bytes, 0 when nothing came within
  // `timeout`, or kPipeFailed.
  virtual int ReadBulk(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
  virtual int ReadInterrupt(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
  // The driver's interface version, traced at the start; nothing when it cannot be read.
  virtual std::optional<std::uint32_t> ApiVersion() = 0;
};

struct UsbPacket {
  std::uint8_t type = 0;
  std::uint16_t id = 0;
  std::uint32_t size = 0;          // as the header says
  std::vector<std::uint8_t> data;  // what was kept of it (the packet cut at 267 bytes)
};

// The 12-byte header and the data, as written.
std::vector<std::uint8_t> BuildUsbPacket(std::uint8_t type, std::uint16_t id, std::span<const std::uint8_t> data);
// A received packet from its bytes (at least the header; nullopt otherwise), cut at 267 bytes.
std::optional<UsbPacket> ParseUsbPacket(std::span<const std::uint8_t> bytes);

// The USB link of one access: which pipe the next packet comes from, and the unit ID.
class UsbLink {
 public:
  // `trace` receives the pipe-level notes and bytes for the debug buffer (may be empty).
  using Trace = std::function<void(std::string_view)>;
  UsbLink(UsbPipes& pipes, Trace trace);

  bool Write(std::uint8_t type, std::uint16_t id, std::span<const std::uint8_t> data = {});
  bool WriteApplication(std::uint16_t id, std::span<const std::uint8_t> data = {}) {
    return Write(kUsbApplicationLayer, id, data);
  }
  bool WriteCommand(std::uint16_t command);

  // 0 with an application packet in `packet`; otherwise -1 interrupt read failed, -2 a USB
  // layer packet that is not data-available, -3 bulk read failed after data-available, -4 it
  // was no application packet, -5 shorter than a header, -6 a packet of another type on the
  // interrupt pipe, -7 bulk read failed, -8 no application packet, -9 shorter than a header.
  int ReadPacket(UsbPacket& packet);

  // The session start: true, or false with its "E00x ..." message in `message`.
  bool StartSession(std::string& message, std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

  std::optional<std::uint32_t> ApiVersion() { return pipes_.ApiVersion(); }
  std::uint32_t UnitId() const { return unitId_; }
  bool BulkPipe() const { return bulk_; }

  // Pauses between interrupt reads that found nothing, and how many are tried.
  std::chrono::milliseconds interruptPause{20};
  int interruptTries = 50;

 private:
  enum class PipeRead { Data, TimedOut, Failed };
  PipeRead ReadInterruptPipe(std::vector<std::uint8_t>& bytes);
  PipeRead ReadBulkPipe(std::vector<std::uint8_t>& bytes);
  void Note(std::string_view text);
  void SetBulk(bool bulk);

  UsbPipes& pipes_;
  Trace trace_;
  bool bulk_ = false;
  std::uint32_t unitId_ = 0;
};

}  // namespace logwell::garmin
