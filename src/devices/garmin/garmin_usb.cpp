#include "devices/garmin/garmin_usb.h"

#include <algorithm>
#include <array>
#include <thread>

#include "base/text.h"
#include "wire/garmin/garmin_protocol.h"

namespace logwell::garmin {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kWriteWait{500};
constexpr milliseconds kInterruptWait{20};
constexpr milliseconds kBulkWait{3000};

std::string HexLine(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) text += FormatText("%02X ", byte);
  return text + "\r\n";
}

}  // namespace

std::vector<std::uint8_t> BuildUsbPacket(std::uint8_t type, std::uint16_t id, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> packet(kUsbHeaderSize + data.size(), 0);
  packet[0] = type;
  WriteU16(packet, 4, id);
  WriteU32(packet, 8, static_cast<std::uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), packet.begin() + kUsbHeaderSize);
  return packet;
}

std::optional<UsbPacket> ParseUsbPacket(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kUsbHeaderSize) return std::nullopt;
  bytes = bytes.first(std::min(bytes.size(), kUsbMaxPacket));
  UsbPacket packet;
  packet.type = bytes[0];
  packet.id = ReadU16(bytes, 4);
  packet.size = ReadU32(bytes, 8);
  const std::size_t kept = std::min<std::size_t>(packet.size, bytes.size() - kUsbHeaderSize);
  packet.data.assign(bytes.begin() + kUsbHeaderSize, bytes.begin() + static_cast<std::ptrdiff_t>(kUsbHeaderSize + kept));
  return packet;
}

UsbLink::UsbLink(UsbPipes& pipes, Trace trace) : pipes_(pipes), trace_(std::move(trace)) {}

void UsbLink::Note(std::string_view text) {
  if (trace_) trace_(text);
}

void UsbLink::SetBulk(bool bulk) {
  bulk_ = bulk;
  Note(bulk ? "Bulk pipe TRUE\r\n" : "Bulk pipe FALSE\r\n");
}

bool UsbLink::Write(std::uint8_t type, std::uint16_t id, std::span<const std::uint8_t> data) {
  const std::vector<std::uint8_t> packet = BuildUsbPacket(type, id, data);
  if (pipes_.WriteBulk(packet, kWriteWait)) return true;
  Note("Bulk OUT error\r\n");
  return false;
}

bool UsbLink::WriteCommand(std::uint16_t command) {
  const Packet packet = CommandPacket(command);
  return WriteApplication(packet.id, packet.data);
}

UsbLink::PipeRead UsbLink::ReadInterruptPipe(std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::array<std::uint8_t, kInterruptPiece> piece{};
  for (int tries = 0; tries < interruptTries; ++tries) {
    for (;;) {
      const int got = pipes_.ReadInterrupt(piece, kInterruptWait);
      if (got == kPipeFailed) return PipeRead::Failed;
      if (got <= 0) break;
      Note("Interrupt IN pipe:\r\n");
      Note(HexLine(std::span(piece).first(static_cast<std::size_t>(got))));
      bytes.insert(bytes.end(), piece.begin(), piece.begin() + got);
      if (static_cast<std::size_t>(got) < kInterruptPiece) break;
    }
    if (!bytes.empty()) return PipeRead::Data;
    if (tries + 1 < interruptTries) std::this_thread::sleep_for(interruptPause);
  }
  return PipeRead::TimedOut;
}

UsbLink::PipeRead UsbLink::ReadBulkPipe(std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::vector<std::uint8_t> piece(kBulkPiece);
  for (;;) {
    const int got = pipes_.ReadBulk(piece, kBulkWait);
    if (got == kPipeFailed) return PipeRead::Failed;
    if (got <= 0) return bytes.empty() ? PipeRead::TimedOut : PipeRead::Data;
    Note("Bulk IN pipe:\r\n");
    Note(HexLine(std::span(piece).first(static_cast<std::size_t>(got))));
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + got);
    if (static_cast<std::size_t>(got) < kBulkPiece) return PipeRead::Data;
  }
}

int UsbLink::ReadPacket(UsbPacket& packet) {
  std::vector<std::uint8_t> bytes;
  // An application packet of the bulk pipe: 0, or `notApplication` / `tooShort`.
  const auto take = [&bytes, &packet](int notApplication, int tooShort) {
    if (bytes[0] != kUsbApplicationLayer) return notApplication;
    const auto parsed = ParseUsbPacket(bytes);
    if (!parsed) return tooShort;
    packet = *parsed;
    return 0;
  };
  if (!bulk_) {
    if (ReadInterruptPipe(bytes) != PipeRead::Data) return -1;
    const auto first = ParseUsbPacket(bytes);
    if (first && first->type == kUsbApplicationLayer) {
      packet = *first;
      return 0;
    }
    if (!first || first->type != kUsbProtocolLayer) return -6;
    if (first->id != kUsbDataAvailable || first->size != 0) return -2;
    SetBulk(true);
    if (ReadBulkPipe(bytes) != PipeRead::Data) return -3;
    return take(-4, -5);
  }
  if (ReadBulkPipe(bytes) != PipeRead::Data) return -7;
  return take(-8, -9);
}

bool UsbLink::StartSession(std::string& message, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  SetBulk(false);
  if (!Write(kUsbProtocolLayer, kUsbStartSession)) {
    message = "E001 Bulk OUT error";
    return false;
  }
  std::vector<std::uint8_t> bytes;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!bulk_) {
      const PipeRead read = ReadInterruptPipe(bytes);
      if (read == PipeRead::Failed) {
        message = "E002 Start session error";
        return false;
      }
      if (read == PipeRead::TimedOut) continue;
    } else {
      const PipeRead read = ReadBulkPipe(bytes);
      if (read == PipeRead::Failed) {
        message = FormatText("E003 Start session error (%d)", kPipeFailed);
        return false;
      }
      if (read == PipeRead::TimedOut) {
        // The data announced on the interrupt pipe did not come on the bulk pipe: back to
        // the interrupt pipe.
        SetBulk(false);
        const PipeRead again = ReadInterruptPipe(bytes);
        if (again == PipeRead::Failed) {
          message = "E008 Start session error";
          return false;
        }
        if (again == PipeRead::TimedOut) continue;
      }
    }
    const auto packet = ParseUsbPacket(bytes);
    if (!packet) continue;
    if (packet->type == kUsbProtocolLayer && packet->id == kUsbDataAvailable) {
      if (packet->size != 0) {
        message = "E005 Start session error";
        return false;
      }
      SetBulk(true);
      continue;
    }
    if (packet->type == kUsbProtocolLayer && packet->id == kUsbSessionStarted) {
      unitId_ = ReadU32(packet->data, 0);
      return true;
    }
    message = "E006 Start session error";
    return false;
  }
  message = "E007 Start session error";
  return false;
}

}  // namespace logwell::garmin
