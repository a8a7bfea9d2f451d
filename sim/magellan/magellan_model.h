#pragma once
// A virtual Magellan receiver: it answers the $PMGNCMD commands (version, handshake on and
// off, rate switch, track and waypoint transfers, stop, end) with its track and waypoint
// sentences, in handshake mode acknowledging every sentence it receives and sending each of its
// own until the host acknowledges it with the right checksum. Faults are keyed by sentence.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "model/waypoint.h"
#include "sim/instrument_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {

struct MagellanModelConfig {
  // Whole sentences ("$PMGNTRK,...*CS" and "$PMGNWPL,...*CS", without CR LF), sent as given.
  std::vector<std::string> trackSentences;
  std::vector<std::string> waypointSentences;
  // The version answer's body: product id 33 is a Meridian.
  std::string version = "PMGNVER,33,5.22,MERIDIAN GOLD";
  // Takes up handshake mode when asked; false: an older receiver that never acknowledges.
  bool handshake = true;
  std::chrono::milliseconds acknowledgeWait{1000};
  int sendTries = 5;  // sends of one sentence in handshake mode before the transfer is dropped
  // Faults by sentence: "PMGNVER", "PMGNCSM" (the receiver's acknowledgements), "END", and
  // "PMGNTRK" or "PMGNWPL" for every such sentence, "PMGNTRK:N" / "PMGNWPL:N" for the N-th
  // (from 1). Each applies once, to the first sending of its sentence.
  AnswerFaults faultsFor;
};

// Track sentences for points, as the receivers write them (metres, no track name).
std::vector<std::string> MagellanTrackSentences(const std::vector<TrackPoint>& points);
// Waypoint sentences with the icon field the receivers add ("a").
std::vector<std::string> MagellanWaypointSentences(const std::vector<Waypoint>& waypoints);
// The lines of a file that start with `identifier` ("$PMGNTRK", "$PMGNWPL").
std::vector<std::string> SentencesOfFile(const std::string& path, std::string_view identifier);

class MagellanModel : public InstrumentModel {
 public:
  explicit MagellanModel(MagellanModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  void OnIdle(DeviceLink& link) override;

  // What the host uploaded ("$PMGNWPL,..." bodies without "$" and checksum), the commands it
  // sent, and the state the host left the receiver in.
  std::vector<std::string> Uploaded() const;
  std::vector<std::string> Commands() const;
  bool Handshake() const;
  int Rate() const;
  bool UploadEnded() const;

 private:
  struct Outgoing {
    std::string line;
    std::string faultKey;     // "PMGNTRK:5"
    std::string faultKeyAll;  // "PMGNTRK"
    bool acknowledged = true; // waits for the host's acknowledgement in handshake mode
  };
  void Handle(const std::string& line, DeviceLink& link);
  void Pump(DeviceLink& link);
  void SendFront(DeviceLink& link, bool first);
  void SendWithFault(const std::string& text, const std::string& key, const std::string& keyAll,
                     DeviceLink& link);
  void Queue(const std::vector<std::string>& sentences, std::string_view kind);

  MagellanModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  bool inLine_ = false;
  std::deque<Outgoing> queue_;
  bool awaiting_ = false;
  std::uint8_t awaitedSum_ = 0;
  int tries_ = 0;
  std::chrono::steady_clock::time_point deadline_;

  mutable std::mutex mutex_;
  bool handshake_ = false;
  int rate_ = 9600;
  bool uploadEnded_ = false;
  std::vector<std::string> uploaded_;
  std::vector<std::string> commands_;
};

}  // namespace logwell::sim
