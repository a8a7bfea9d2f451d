#include "sim/ascent/ascent_model.h"

namespace logwell::sim {

using ascent::Message;

AscentModel::AscentModel(AscentModelConfig config) : config_(std::move(config)) {
  memory_ = config_.memory ? *config_.memory : ascent::EncodeMemory(config_.points);
  const ascent::MemoryDecode decoded = ascent::DecodeMemory(memory_);
  flights_ = decoded.flights;
}

bool AscentModel::Erased() const {
  std::lock_guard lock(mutex_);
  return erased_;
}
int AscentModel::LastRate() const {
  std::lock_guard lock(mutex_);
  return lastRate_;
}
bool AscentModel::WrongRateSeen() const {
  std::lock_guard lock(mutex_);
  return wrongRate_;
}

void AscentModel::Answer(const char* key, const Message& answer, DeviceLink& link) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
  const std::vector<std::uint8_t> bytes = ascent::EncodeMessage(answer);
  if (config_.paced) {
    link.SendPaced(bytes, ascent::kBaudRate);
  } else {
    link.Send(bytes);
  }
}

void AscentModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (assembler_.Feed(byte) != ascent::MessageAssembler::Status::Complete) continue;
    const int rate = link.LineRate();
    {
      std::lock_guard lock(mutex_);
      lastRate_ = rate;
      if (rate > 0 && rate != ascent::kBaudRate) {
        wrongRate_ = true;  // a unit on another rate sees noise
        continue;
      }
    }
    Handle(assembler_.Current(), link);
  }
}

void AscentModel::Handle(const Message& request, DeviceLink& link) {
  const auto answerId = static_cast<std::uint8_t>(request.id | ascent::kAnswerBit);
  const auto usedBlocks = static_cast<std::uint16_t>(memory_.size() / ascent::kBlockSize);
  switch (request.id) {
    case ascent::kProductRequest:
      Answer("product", Message{answerId, 0, ascent::ProductPayload(config_.product)}, link);
      break;
    case ascent::kMemoryRequest:
      Answer("memory",
             Message{answerId, 0,
                     ascent::MemoryInfoPayload({usedBlocks, static_cast<std::uint16_t>(flights_.size())})},
             link);
      break;
    case ascent::kFlightRequest:
      if (request.block < flights_.size()) {
        Answer("flight", Message{answerId, request.block, ascent::FlightPayload(flights_[request.block])}, link);
      }
      break;
    case ascent::kBlockRequest: {
      if (request.block >= usedBlocks) break;
      const auto first = memory_.begin() + static_cast<std::ptrdiff_t>(request.block * ascent::kBlockSize);
      Message answer{answerId, request.block, {first, first + static_cast<std::ptrdiff_t>(ascent::kBlockSize)}};
      if (config_.wrongIdBlock == request.block) answer.id = ascent::kFlightRequest | ascent::kAnswerBit;
      if (config_.wrongNumberBlock == request.block) ++answer.block;
      Answer("block", answer, link);
      break;
    }
    case ascent::kEraseRequest: {
      // One sector holds 16 blocks; an empty memory still reports its last sector once.
      int sectors = (usedBlocks + 15) / 16;
      for (int left = sectors - 1; left >= 0; --left) {
        if (!link.WaitUntil(std::chrono::steady_clock::now() + config_.sectorErase)) return;
        std::vector<std::uint8_t> payload{static_cast<std::uint8_t>(left & 0xFF), static_cast<std::uint8_t>(left >> 8)};
        Answer("erase", Message{answerId, 0, payload}, link);
      }
      if (sectors == 0) Answer("erase", Message{answerId, 0, {0, 0}}, link);
      memory_.clear();
      flights_.clear();
      std::lock_guard lock(mutex_);
      erased_ = true;
      break;
    }
    default:
      break;
  }
}

}  // namespace logwell::sim
