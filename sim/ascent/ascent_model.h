#pragma once
// A virtual Ascent: answers the binary messages of wire/ascent/ascent_protocol.h (product data,
// memory size, the flight list, memory blocks, the erase) from a memory image built from a
// flight. The protocol is this project's unverified model. It answers only while the host's end
// of the line is set to 128000 baud, where the pseudo-terminal tells the rate.
#include <mutex>
#include <optional>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"
#include "wire/ascent/ascent_protocol.h"

namespace logwell::sim {

struct AscentModelConfig {
  ascent::Product product{{0x00, 0x1A, 0x2B, 0x3C}, 1, 7, 2};
  std::vector<TrackPoint> points;
  // The memory image served instead of the points' encoding (for records the host must refuse).
  std::optional<std::vector<std::uint8_t>> memory;
  bool paced = false;                          // answers at the line's real rate
  std::chrono::milliseconds sectorErase{10};   // the time one sector takes to erase
  // Faults by request: "product", "memory", "flight", "block" (every block read), "erase".
  AnswerFaults faultsFor;
  // Answer this block read (counted from 0) with a wrong message ID or a wrong block number.
  std::optional<std::uint16_t> wrongIdBlock;
  std::optional<std::uint16_t> wrongNumberBlock;
};

class AscentModel final : public InstrumentModel {
 public:
  explicit AscentModel(AscentModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  bool Erased() const;
  int LastRate() const;       // the host's line rate at the last message (-1: not known)
  bool WrongRateSeen() const; // a message came at another rate (and went unanswered)

 private:
  void Handle(const ascent::Message& request, DeviceLink& link);
  void Answer(const char* key, const ascent::Message& answer, DeviceLink& link);

  AscentModelConfig config_;
  std::vector<std::uint8_t> memory_;
  std::vector<TrackListEntry> flights_;
  VirtualInstrument* instrument_ = nullptr;
  ascent::MessageAssembler assembler_;
  mutable std::mutex mutex_;
  bool erased_ = false;
  int lastRate_ = -1;
  bool wrongRate_ = false;
};

}  // namespace logwell::sim
