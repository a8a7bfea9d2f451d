#include "devices/garmin/garmin_workers.h"

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "airspace/airspace_points.h"
#include "devices/flytec/flytec_protocol.h"
#include "devices/garmin/garmin_transfers.h"

namespace logwell::garmin {
namespace {

// The arc and circle accuracy of a CTR sent as a track log (metres), the program's default.
constexpr std::uint32_t kCtrSegmentAccuracy = 10;

}  // namespace

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& environment) {
  Session session(block);
  if (RequestProductData(session) < 0) return -1;
  return DownloadWaypoints(session, environment, false) < 0 ? -1 : 0;
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment) {
  Session session(block);
  block.foundCompId = -1;
  block.foundCivlId = -1;
  int result = RequestProductData(session);
  if (result >= 0 && ScansForPilotIds(block) && session.caps.waypointTransfer != 0 &&
      DownloadWaypoints(session, environment, true) < 0) {
    result = -1;
  }
  if (result >= 0) result = DownloadTrackLog(session, environment);
  block.source.kind = TrackSourceKind::Garmin;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;
  if (result < 0) block.points.clear();
  return result;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& environment) {
  Session session(block);
  if (RequestProductData(session) < 0) return -1;
  return UploadWaypoints(session, environment);
}

int RunWaypointsAsTrackLog(AccessBlock& block, const FamilyEnvironment& environment) {
  Session session(block);
  if (RequestProductData(session) < 0) return -1;
  return UploadTrackLog(session, environment, block.waypoints, 0, {});
}

int RunUploadCtr(AccessBlock& block, const FamilyEnvironment& environment) {
  Session session(block);
  if (RequestProductData(session) < 0) return -1;
  const GarminTime now = CalendarToGarminTime(CurrentUtcCalendar());
  int result = 0;
  int firstFailed = 0;
  int number = 0;
  for (std::size_t index = 0; index < block.airspace.size(); ++index) {
    const AirspaceRecord& record = block.airspace[index];
    if (record.selected == 0) continue;
    ++number;
    if (block.Aborted()) return -1;
    const std::vector<Waypoint> points = AirspaceToPoints(record, index, kCtrSegmentAccuracy, now);
    if (points.empty()) {
      if (firstFailed == 0) firstFailed = number;
      continue;
    }
    result = UploadTrackLog(session, environment, points, number, record.name);
    if (result < 0) return result;
  }
  if (firstFailed != 0) {
    ShowAccessError(block, flytec::FillTemplate("No points for CTR % sent", {firstFailed}), "Upload CTR");
  }
  return result;
}

namespace {

AccessWorker Worker(const FamilyEnvironment& environment, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  WorkerSteps frame;
  frame.clearTrace = clearTrace;
  frame.openPort = [](AccessBlock& block) { return ConnectComPort(block, kBaudRate, false) == 0; };
  frame.run = [environment, steps](AccessBlock& block) { return steps(block, environment); };
  return FrameWorker(std::move(frame));
}

}  // namespace

bool RegisterGarminWorkers(AccessTable& table, const FamilyEnvironment& environment) {
  constexpr ProtocolType kSerial = ProtocolType::GarminSerial;
  bool ok = true;
  ok &= table.Register(AccessType::ReadWaypoints, kSerial, Worker(environment, RunReadWaypoints, false));
  ok &= table.Register(AccessType::ReadTrackLog, kSerial, Worker(environment, RunReadTrackLog, true));
  ok &= table.Register(AccessType::WriteWaypoints, kSerial, Worker(environment, RunWriteWaypoints, false));
  ok &= table.Register(AccessType::WaypointsAsGarminLog, kSerial, Worker(environment, RunWaypointsAsTrackLog, false));
  ok &= table.Register(AccessType::UploadCtr, kSerial, Worker(environment, RunUploadCtr, false));
  return ok;
}

}  // namespace logwell::garmin
