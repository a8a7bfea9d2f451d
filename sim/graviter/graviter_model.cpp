#include "sim/graviter/graviter_model.h"

namespace logwell::sim {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

GraviterModel::GraviterModel(GraviterModelConfig config) : config_(std::move(config)) {}

std::string GraviterModel::OwnerName() const {
  std::lock_guard lock(mutex_);
  return ownerName_;
}
int GraviterModel::LastRate() const {
  std::lock_guard lock(mutex_);
  return lastRate_;
}
bool GraviterModel::WrongRateSeen() const {
  std::lock_guard lock(mutex_);
  return wrongRate_;
}

void GraviterModel::Answer(const std::string& key, std::span<const std::uint8_t> bytes, DeviceLink& link) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
  if (config_.paced) {
    link.SendPaced(bytes, graviter::kBaudRate);
  } else {
    link.Send(bytes);
  }
}

void GraviterModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (nameInProgress_) {
      nameInProgress_->push_back(static_cast<char>(byte));
      if (nameInProgress_->size() < graviter::kOwnerNameLength) continue;
      {
        std::lock_guard lock(mutex_);
        ownerName_ = *nameInProgress_;
      }
      nameInProgress_.reset();
      const std::uint8_t stored = graviter::kOwnerNameStored;
      Answer("name", std::span(&stored, 1), link);
      continue;
    }
    const int rate = link.LineRate();
    {
      std::lock_guard lock(mutex_);
      lastRate_ = rate;
      // A unit on another rate sees noise: it does not answer.
      if (rate > 0 && rate != graviter::kBaudRate) {
        wrongRate_ = true;
        continue;
      }
    }
    if (byte == graviter::kIdentifyCommand) {
      const std::string line = graviter::IdentityLine(config_.identity);
      Answer("I", std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()), link);
    } else if (byte == graviter::kReadLogCommand) {
      const std::vector<std::uint8_t> log = config_.log ? *config_.log : graviter::EncodeLog(config_.points);
      std::vector<std::uint8_t> answer{config_.readAcknowledge.value_or(graviter::kReadLogCommand)};
      PutU32(answer, static_cast<std::uint32_t>(log.size()));
      answer.insert(answer.end(), log.begin(), log.end());
      const std::uint16_t sum = graviter::LogChecksum(log);
      answer.push_back(static_cast<std::uint8_t>(sum & 0xFF));
      answer.push_back(static_cast<std::uint8_t>(sum >> 8));
      Answer("D", answer, link);
    } else if (byte == graviter::kOwnerNameCommand) {
      nameInProgress_.emplace();
      const std::uint8_t acknowledge = graviter::kOwnerNameCommand;
      Answer("N", std::span(&acknowledge, 1), link);
    }
  }
}

}  // namespace logwell::sim
