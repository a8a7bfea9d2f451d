#pragma once
// A virtual Flymaster instrument of either protocol generation: product data, the flight list,
// each flight as binary 4096-byte blocks with the 8-byte check (current generation) or as
// acknowledged packets (older generation), and its waypoints. Faults are those of
// VirtualInstrument, injected before a request (a corrupted byte breaks a block's check, a
// hang-up truncates the answer).
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct FlymasterWaypoint {
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
  int altitude = 0;
  std::string name;
  bool airfield = false;
};

struct FlymasterModelConfig {
  bool older = false;  // the packet generation ($PBRSNP, the F1 and B1NAV)
  // The older generation also answers "$PFMSNP," as Flymaster's F1 document shows:
  // "$PFMSNP,<model>,HW:<hardware>,FW:<software>,<serial>*cs". Without `answersPbrsnp` it is an
  // F1 that answers only that request.
  bool answersPbrsnp = true;
  std::string hardware = "1";
  std::string model = "GpsSD";
  std::string serial = "4711";
  std::string software = "1.21";
  std::vector<std::vector<TrackPoint>> flights;  // the flight list follows this order
  std::vector<FlymasterWaypoint> waypoints;
  bool paced = false;  // sends at the line's real rate (10 bits a byte)
  int baudRate = 57600;
  // Faults injected once, before the answer to the next track request.
  std::vector<Fault> trackFaults;
};

// The binary answer to one track request for these points.
std::vector<std::uint8_t> FlymasterBinaryTrack(const std::vector<TrackPoint>& points);
// The packets of one track, in order, the end pair last.
std::vector<std::vector<std::uint8_t>> FlymasterPackets(const std::vector<TrackPoint>& points,
                                                        std::uint32_t serial);

class FlymasterModel final : public InstrumentModel {
 public:
  explicit FlymasterModel(FlymasterModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  std::size_t BytesSent() const;
  // The names of the uploaded waypoints, as they arrived (16 characters).
  std::vector<std::string> WaypointNamesReceived() const;
  // The pilot-data, altitude-alarm and identity sentences that arrived with a good checksum,
  // without "$" and checksum ("PFMPLT,Anna,42,,,").
  std::vector<std::string> SettingsReceived() const;
  // True once "$PFMOFF" arrived.
  bool PoweredOff() const;
  // How many track requests ("$PFMDNL," with a start time) arrived.
  int TrackRequests() const;

 private:
  void Handle(const std::string& line, DeviceLink& link);
  void Send(std::span<const std::uint8_t> bytes, DeviceLink& link);
  void SendNextPacket(DeviceLink& link);

  FlymasterModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  std::vector<std::vector<std::uint8_t>> pending_;  // packets still to send
  std::size_t nextPacket_ = 0;
  mutable std::mutex mutex_;
  std::size_t bytesSent_ = 0;
  std::vector<std::string> received_;
  std::vector<std::string> settings_;
  bool poweredOff_ = false;
  int trackRequests_ = 0;
};

}  // namespace logwell::sim
