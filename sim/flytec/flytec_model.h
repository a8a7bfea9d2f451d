#pragma once
// A virtual Flytec/Brauniger instrument: answers product data, the track list, each track and
// the whole memory as IGC text (with XON/XOFF bytes between lines, as the real instruments
// send them), waypoints both ways and the CTR list both ways with its acknowledgement.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"
#include "model/track_point.h"

namespace logwell::sim {

struct FlytecWaypoint {
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
  std::string shortName;   // at most 6
  std::string longName;    // at most 17
  int altitude = 0;
  bool withoutLongName = false;  // the sentence ends after the short name
};

struct FlytecModelConfig {
  std::string model = "6030";
  std::string pilot = "JANE DOE";
  std::string serial = "1234567";
  std::string software = "1.20";
  std::vector<std::string> flights;  // IGC texts; the track list follows this order
  std::vector<FlytecWaypoint> waypoints;
  // Sends its output at the line's real rate (10 bits a byte) instead of at once.
  bool paced = false;
  int baudRate = 57600;
  int flowControlEveryLines = 40;  // an XOFF/XON pair after this many lines; 0 never
  char ctrAck = '1';               // status of the $PBRANS answer to a CTR upload
  // The CTR list held at the start, as "$PBRCTR,..." sentence bodies (uploads add to it).
  std::vector<std::string> ctrList;
  // Faults applied to the answer of a request ("PBRSNP", "PBRTL", "PBRTR", "PBRIGC",
  // "PBRWPS", "PBRCTR", "PBRCTRW"), each once; "PBRTR,NN" holds faults for track NN only.
  std::map<std::string, std::vector<Fault>> faultsFor;
};

// IGC text of generated points as the instrument writes it: A record with the serial, the
// date header, B records and (when `signedLog`) a G record.
std::string FlytecIgcText(const std::vector<TrackPoint>& points, const std::string& serial,
                          const std::string& pilot, bool signedLog = true);

class FlytecModel final : public InstrumentModel {
 public:
  explicit FlytecModel(FlytecModelConfig config);

  // The instrument applies request faults through its own harness.
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }

  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  std::vector<FlytecWaypoint> Waypoints() const;
  // Every $PBRCTRW sentence received, checksum suffix removed.
  std::vector<std::string> CtrSentencesReceived() const;
  // Bytes sent so far (for the speed measurement).
  std::size_t BytesSent() const;
  // Track downloads asked for so far ($PBRTR and $PBRIGC).
  int TrackRequests() const { return trackRequests_; }

 private:
  void Handle(const std::string& sentence, DeviceLink& link);
  void Answer(const std::string& request, const std::string& text, DeviceLink& link);
  void SendSentence(const std::string& body, DeviceLink& link);
  void SendTrack(const std::string& request, const std::string& igc, DeviceLink& link);

  FlytecModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  bool inLine_ = false;
  mutable std::mutex mutex_;
  std::vector<std::string> ctrStored_;      // runs as "$PBRCTR,..." bodies
  std::vector<std::string> ctrReceived_;
  std::size_t bytesSent_ = 0;
  std::atomic<int> trackRequests_{0};
};

}  // namespace logwell::sim
