#pragma once
// A virtual Graviter: answers the identify command, acknowledges the read command and sends its
// track log as one binary block (length, bytes, checksum), and stores the owner name it is sent.
// The protocol is this project's unverified model (wire/graviter/graviter_log.h). It answers only
// while the host's end of the line is set to 38400 baud, where the pseudo-terminal tells the rate.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"
#include "wire/graviter/graviter_log.h"

namespace logwell::sim {

struct GraviterModelConfig {
  graviter::Identity identity{"2.10", "04711"};
  std::vector<TrackPoint> points;
  // The log served instead of the points' encoding (for records the host must refuse).
  std::optional<std::vector<std::uint8_t>> log;
  bool paced = false;  // the log at the line's real rate
  // The byte that acknowledges the read command; empty: the command itself, as it should be.
  std::optional<std::uint8_t> readAcknowledge;
  // Faults by command: "I" (identity), "D" (acknowledge and log), "N" (acknowledge of the name
  // command), "name" (the stored-name answer).
  AnswerFaults faultsFor;
};

class GraviterModel final : public InstrumentModel {
 public:
  explicit GraviterModel(GraviterModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  std::string OwnerName() const;
  // The rate the host's end of the line was set to at the last command (-1: not known), and
  // whether a command came at another rate (and went unanswered).
  int LastRate() const;
  bool WrongRateSeen() const;

 private:
  void Answer(const std::string& key, std::span<const std::uint8_t> bytes, DeviceLink& link);

  GraviterModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::optional<std::string> nameInProgress_;
  mutable std::mutex mutex_;
  std::string ownerName_;
  int lastRate_ = -1;
  bool wrongRate_ = false;
};

}  // namespace logwell::sim
