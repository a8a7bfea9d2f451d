#pragma once
// The record of one access: everything a worker needs to talk to one instrument, and what it
// hands back. The starter fills it, the worker owns it from its first step until it is freed.
#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/access_types.h"
#include "access/port.h"
#include "airspace/airspace_record.h"
#include "model/track_point.h"
#include "model/track_source.h"
#include "model/pilot_data.h"
#include "model/track_types.h"
#include "model/waypoint.h"

namespace logwell {

class Ui;
class AccessFramework;
struct AccessBlock;

// Frees a block the way every access ends: closes its port, gives its buffers back and, when
// it is the current access, makes the framework idle again. Whichever way a block dies (its
// worker's last step, an exception, a failed start), its slot is released.
struct AccessBlockRelease {
  void operator()(AccessBlock* block) const noexcept;
};
using AccessBlockPtr = std::unique_ptr<AccessBlock, AccessBlockRelease>;

// Called on the worker thread with the block still complete, after `result` has been set.
using AccessCompletion = std::function<void(AccessBlock&)>;

inline constexpr std::size_t kMaxTrackListEntries = 255;
inline constexpr std::size_t kPortNameLength = 80;

struct AccessBlock {
  int param = 0;  // baud rate, protocol variant or waypoint-set selector

  std::array<TrackListEntry, kMaxTrackListEntries> trackList{};
  std::bitset<256> trackSelection;

  TrackSource source;  // what a track-log access says about its positions

  int result = 0;  // negative: failure
  Ui* owner = nullptr;
  AccessCompletion completion;

  // Items to send (uploads) or received (downloads). A completion routine takes them over by
  // moving them out.
  std::vector<TrackPoint> points;
  std::vector<Waypoint> waypoints;
  std::optional<TaskDeclaration> task;
  std::optional<RawIgcLog> rawIgc;  // the instrument's own IGC text, where it sends one
  std::string rawTopNavLog;         // a Top Navigator / XC Trainer log as received
  std::vector<std::uint8_t> logItData;   // a LogIt's data, kept with the track log it sent
  std::vector<AirspaceRecord> airspace;  // CTRs to upload (the selected ones) or downloaded
  std::optional<PilotData> pilotData;    // what a pilot-data write sends

  int foundCompId = -1;
  int foundCivlId = -1;

  std::atomic<int> abortRequested{0};
  std::unique_ptr<Port> port;
  std::string portName;  // at most kPortNameLength; not used by Garmin USB

  AccessType accessType = AccessType::ReadWaypoints;
  ProtocolType protocolType = ProtocolType::GarminSerial;

  // The framework that started the access: its busy flag, exit code and completion targets.
  // Set once the worker has been started; none for a block that never ran.
  AccessFramework* framework = nullptr;

  bool Aborted() const { return abortRequested.load() != 0; }
  // A worker's pause: waits `duration` unless an abort is requested first; false when aborted.
  // Nothing but an abort ever wakes it early.
  bool Pause(std::chrono::milliseconds duration);
  // Wakes a pause at once (used by the abort).
  void WakePause();

  // TIMEOUT option of an unattended run: how long the instrument is waited for (a serial port
  // that cannot be opened is not); 0: the default 30 s.
  int connectSeconds = 0;

 private:
  std::mutex pauseMutex_;
  std::condition_variable pauseWake_;
};

}  // namespace logwell
