#pragma once
// A virtual MLR unit, written from MLR's document "MLR protocol (01/2001)" (its layouts, literals
// and worked example), not from our host:
// - it takes commands only at 4800 baud, the rate the unit starts at;
// - "$PMLR,26,01,01,0339" makes it repeat "$PMLR,IDGPS,01,model,name,serial,d.ddoptionsdd/mm/yy*CS"
//   at 4800 baud until "$PMLR,06,00,02A9";
// - "$PMLR,24,02,0100,0398" (19200) or "$PMLR,24,02,0101,0399" (38400) makes it send, a second
//   later and at that rate, its tracklog frames ("DEBUT", points, "FIN") over and over until
//   "$PMLR,06,00,02A9" comes at 4800 baud. Bytes sent while the host's line runs at another rate
//   arrive garbled, as on a real line.
// The waypoint transfer ("$PMLR,59,2," with its sum, answered "$PMLR,59,count" and $GPWPL
// sentences; $GPWPL sentences stored as they come) is in no public document: it is this project's
// UNVERIFIED reading (docs/instruments.md). Faults are those of VirtualInstrument, applied once
// to the answer of the request they are keyed by: "PMLR,26", "PMLR,24", "PMLR,59,2".
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct MlrWaypoint {
  std::string name;  // the sentence's name field as stored
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
};

struct MlrModelConfig {
  // The identification's fields, padded or cut to the document's widths when sent.
  std::string model = "SP24XC";
  std::string name = "PILOT";
  std::string serial = "0001234567";
  std::string software = "3.98";
  std::string options = "FRA";
  std::string date = "15/01/01";
  std::vector<TrackPoint> points;  // bit 0 of segmentStart: the start-of-recording flag
  std::vector<MlrWaypoint> waypoints;
  std::map<std::string, std::vector<Fault>> faultsFor;
};

// The document's frame of tracklog bytes: 0x8B, the sentence number, 'T', 0x01, the body, the
// 16-bit sum of every byte before it (most significant byte first), CR LF.
std::vector<std::uint8_t> MlrFrame(std::uint8_t number, const std::vector<std::uint8_t>& body);
// One 18-byte point: number, seconds since 1980-01-06 00:00 GMT, latitude and longitude as
// degrees * 2^32 / 360, altitude in decimetres (3 bytes), flags.
std::vector<std::uint8_t> MlrPointBytes(std::uint16_t number, const TrackPoint& point);
// The whole tracklog as the unit sends it once: "DEBUT", frames of up to 27 points, "FIN".
std::vector<std::uint8_t> MlrTracklog(const std::vector<TrackPoint>& points);

class MlrModel final : public InstrumentModel {
 public:
  explicit MlrModel(MlrModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  void OnIdle(DeviceLink& link) override;

  std::vector<MlrWaypoint> Waypoints() const;
  // How many tracklog transfers were started, and whether the unit is still sending something
  // (the tracklog or its identification) that nobody stopped.
  int TransfersStarted() const;
  bool Sending() const;

 private:
  void Handle(const std::string& sentence, DeviceLink& link);
  void ApplyFaults(const std::string& key);
  std::string Identity() const;

  MlrModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  int polledRate_ = -1;  // the host's rate at the model thread's last look
  mutable std::mutex mutex_;
  bool identityRepeating_ = false;
  std::chrono::steady_clock::time_point nextIdentity_{};
  int trackRate_ = 0;  // 0: no tracklog running
  std::chrono::steady_clock::time_point nextTracklog_{};
  int transfersStarted_ = 0;
};

}  // namespace logwell::sim
