#pragma once
// The Ascent line protocol as both ends speak it: the host (devices/ascent) and the virtual
// instrument (sim/ascent).
//
// Nothing public describes it. Beyond what the program's messages name (binary messages with a
// message ID and a block number, 128000 baud, no flow control, the serial number as four bytes,
// a software version in two parts and a hardware version, an erase that counts down non-empty
// sectors) everything here is this project's own model and unverified (docs/instruments.md):
//
//   message   0xA5, ID (u8), block number (u16 LE), payload length (u16 LE, at most 512),
//             payload, XOR of every byte from the ID to the end of the payload
//   0x01 -> 0x81  product: serial (4 bytes), software major, minor, hardware (7 bytes)
//   0x02 -> 0x82  memory: used blocks (u16 LE), stored flights (u16 LE)
//   0x03 -> 0x83  flight n (block number n): start year - 2000, month, day, hour, minute,
//                 second (UTC), duration in seconds (u32 LE) (10 bytes)
//   0x04 -> 0x84  memory block n (block number n): 256 bytes
//   0x05 -> 0x85  erase: one answer a sector, the non-empty sectors left (u16 LE); 0 ends it
//
// Track memory, a run of records over consecutive blocks; 0xFF (erased memory) ends it:
//   0x10 flight start, 8 bytes: tag, year - 2000, month, day, hour, minute, second, 0 (UTC)
//   0x11 fix, 16 bytes: tag, seconds since the flight start (u24 LE), latitude and longitude
//        (i32 LE, thousandths of a minute), GPS altitude (i16 LE, m), pressure altitude (i16 LE, m)
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "model/track_types.h"

namespace logwell::ascent {

inline constexpr int kBaudRate = 128000;
inline constexpr std::uint8_t kSync = 0xA5;
inline constexpr std::size_t kHeaderSize = 6;  // sync, ID, block number, length
inline constexpr std::size_t kMaxPayload = 512;
inline constexpr std::size_t kBlockSize = 256;
// The largest memory the host reads (8192 blocks, 2 MiB); a larger count is refused.
inline constexpr std::uint16_t kMaxBlocks = 8192;

inline constexpr std::uint8_t kAnswerBit = 0x80;
inline constexpr std::uint8_t kProductRequest = 0x01;
inline constexpr std::uint8_t kMemoryRequest = 0x02;
inline constexpr std::uint8_t kFlightRequest = 0x03;
inline constexpr std::uint8_t kBlockRequest = 0x04;
inline constexpr std::uint8_t kEraseRequest = 0x05;

inline constexpr std::uint8_t kFlightStartTag = 0x10;
inline constexpr std::uint8_t kFixTag = 0x11;
inline constexpr std::uint8_t kEndTag = 0xFF;
inline constexpr std::size_t kFlightStartSize = 8;
inline constexpr std::size_t kFixSize = 16;

struct Message {
  std::uint8_t id = 0;
  std::uint16_t block = 0;
  std::vector<std::uint8_t> payload;
};

std::vector<std::uint8_t> EncodeMessage(const Message& message);

// Assembles messages from received bytes; bytes before a sync byte are passed over.
class MessageAssembler {
 public:
  enum class Status { Pending, Complete, BadChecksum, BadLength };
  Status Feed(std::uint8_t byte);
  const Message& Current() const { return message_; }

 private:
  std::vector<std::uint8_t> header_;
  Message message_;
  std::size_t length_ = 0;
  std::uint8_t sum_ = 0;
  bool inPayload_ = false;
};

struct Product {
  std::uint8_t serial[4] = {};
  int softwareMajor = 0;
  int softwareMinor = 0;
  int hardware = 0;
};
std::optional<Product> ReadProduct(std::span<const std::uint8_t> payload);
std::vector<std::uint8_t> ProductPayload(const Product& product);
std::string ProductText(const Product& product);   // "Ascent, SNR …, SW …, HW …"
std::string InstrumentId(const Product& product);  // "Ascent: …"

struct MemoryInfo {
  std::uint16_t usedBlocks = 0;
  std::uint16_t flights = 0;
};
std::optional<MemoryInfo> ReadMemoryInfo(std::span<const std::uint8_t> payload);
std::vector<std::uint8_t> MemoryInfoPayload(const MemoryInfo& info);

std::optional<TrackListEntry> ReadFlight(std::span<const std::uint8_t> payload);
std::vector<std::uint8_t> FlightPayload(const TrackListEntry& flight);

std::optional<std::uint16_t> ReadSectorsLeft(std::span<const std::uint8_t> payload);

struct MemoryDecode {
  std::vector<TrackPoint> points;
  std::vector<TrackListEntry> flights;  // start and duration of each flight found
  std::string error;                    // empty when the whole memory was understood
  bool Ok() const { return error.empty(); }
};
// Every fix of every flight; each flight's first fix opens a segment. Refuses the whole memory
// at the first record it does not understand.
MemoryDecode DecodeMemory(std::span<const std::uint8_t> memory);

// The memory image of the points (a new flight where a point opens a segment), padded with 0xFF
// to whole blocks, for the virtual instrument.
std::vector<std::uint8_t> EncodeMemory(std::span<const TrackPoint> points);

}  // namespace logwell::ascent
