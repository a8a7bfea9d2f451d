#include "devices/garmin/garmin_workers.h"

#include <algorithm>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "airspace/airspace_points.h"
#include "base/text.h"
#include "devices/garmin/garmin_transfers.h"
#include "devices/garmin/garmin_usb_device.h"

namespace logwell::garmin {
namespace {

// The arc and circle accuracy of a CTR sent as a track log (metres) when the program sets none.
constexpr std::uint32_t kDefaultSegmentAccuracy = 10;

// Each selected CTR as a track log of its own through `upload`; the CTRs that give no points
// are named at the end.
template <typename Upload>
int UploadCtrs(AccessBlock& block, const FamilyEnvironment& environment, Upload upload) {
  const std::uint32_t accuracy =
      environment.segmentAccuracy ? std::max<std::uint32_t>(1, environment.segmentAccuracy()) : kDefaultSegmentAccuracy;
  const GarminTime now = CalendarToGarminTime(CurrentUtcCalendar());
  int result = 0;
  int firstFailed = 0;
  int number = 0;
  for (std::size_t index = 0; index < block.airspace.size(); ++index) {
    const AirspaceRecord& record = block.airspace[index];
    if (record.selected == 0) continue;
    ++number;
    if (block.Aborted()) return -1;
    const std::vector<Waypoint> points = AirspaceToPoints(record, index, accuracy, now);
    if (points.empty()) {
      if (firstFailed == 0) firstFailed = number;
      continue;
    }
    // A failed upload ends the run: the next CTR would only wait for the same silence.
    result = upload(points, number, record.name);
    if (result < 0) return result;
  }
  if (firstFailed != 0) {
    ShowAccessError(block, FillTemplate("No points for CTR % sent", {firstFailed}), "Upload CTR");
  }
  return result;
}

void MarkTrackSource(AccessBlock& block, int result) {
  block.source.kind = TrackSourceKind::Garmin;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;
  if (result < 0) block.points.clear();
}

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
  MarkTrackSource(block, result);
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
  return UploadCtrs(block, environment, [&](const std::vector<Waypoint>& points, int number, std::string_view name) {
    return UploadTrackLog(session, environment, points, number, name);
  });
}

int RunUsbReadWaypoints(UsbSession& session, const FamilyEnvironment& environment) {
  if (UsbRequestProductData(session) < 0) return -1;
  return UsbDownloadWaypoints(session, environment, false) < 0 ? -1 : 0;
}

int RunUsbReadTrackLog(UsbSession& session, const FamilyEnvironment& environment) {
  AccessBlock& block = session.block;
  block.foundCompId = -1;
  block.foundCivlId = -1;
  int result = UsbRequestProductData(session);
  if (result >= 0 && ScansForPilotIds(block) && environment.usbCompetitionWaypointCheck &&
      environment.usbCompetitionWaypointCheck() && session.caps.waypointTransfer != 0 &&
      UsbDownloadWaypoints(session, environment, true) < 0) {
    result = -1;
  }
  if (result >= 0) result = UsbDownloadTrackLog(session, environment);
  MarkTrackSource(block, result);
  return result;
}

int RunUsbWriteWaypoints(UsbSession& session, const FamilyEnvironment& environment) {
  if (UsbRequestProductData(session) < 0) return -1;
  return UsbUploadWaypoints(session, environment);
}

int RunUsbWaypointsAsTrackLog(UsbSession& session, const FamilyEnvironment& environment) {
  if (UsbRequestProductData(session) < 0) return -1;
  return UsbUploadTrackLog(session, environment, session.block.waypoints, 0, {});
}

int RunUsbUploadCtr(UsbSession& session, const FamilyEnvironment& environment) {
  if (UsbRequestProductData(session) < 0) return -1;
  return UploadCtrs(session.block, environment, [&](const std::vector<Waypoint>& points, int number, std::string_view name) {
    return UsbUploadTrackLog(session, environment, points, number, name);
  });
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


AccessWorker UsbWorker(const FamilyEnvironment& environment, UsbOpener opener,
                       int (*steps)(UsbSession&, const FamilyEnvironment&), bool clearTrace) {
  WorkerSteps frame;
  frame.clearTrace = clearTrace;
  // The device is opened by the steps: it lives as long as they run.
  frame.run = [environment, opener = std::move(opener), steps](AccessBlock& block) {
    const std::unique_ptr<UsbPipes> pipes = OpenUsbDevice(block, opener);
    if (!pipes) return -1;
    UsbSession session(block, *pipes);
    return steps(session, environment);
  };
  return FrameWorker(std::move(frame));
}

}  // namespace

bool RegisterGarminUsbWorkers(AccessTable& table, const FamilyEnvironment& environment, UsbOpener opener) {
  constexpr ProtocolType kUsb = ProtocolType::GarminUsb;
  bool ok = true;
  ok &= table.Register(AccessType::ReadWaypoints, kUsb, UsbWorker(environment, opener, RunUsbReadWaypoints, false));
  ok &= table.Register(AccessType::ReadTrackLog, kUsb, UsbWorker(environment, opener, RunUsbReadTrackLog, true));
  ok &= table.Register(AccessType::WriteWaypoints, kUsb, UsbWorker(environment, opener, RunUsbWriteWaypoints, false));
  ok &= table.Register(AccessType::WaypointsAsGarminLog, kUsb,
                       UsbWorker(environment, opener, RunUsbWaypointsAsTrackLog, false));
  ok &= table.Register(AccessType::UploadCtr, kUsb, UsbWorker(environment, opener, RunUsbUploadCtr, false));
  return ok;
}

bool RegisterGarminWorkers(AccessTable& table, const FamilyEnvironment& environment) {
  constexpr ProtocolType kSerial = ProtocolType::GarminSerial;
  bool ok = true;
  ok &= table.Register(AccessType::ReadWaypoints, kSerial, Worker(environment, RunReadWaypoints, false));
  ok &= table.Register(AccessType::ReadTrackLog, kSerial, Worker(environment, RunReadTrackLog, true));
  ok &= table.Register(AccessType::WriteWaypoints, kSerial, Worker(environment, RunWriteWaypoints, false));
  ok &= table.Register(AccessType::WaypointsAsGarminLog, kSerial, Worker(environment, RunWaypointsAsTrackLog, false));
  ok &= table.Register(AccessType::UploadCtr, kSerial, Worker(environment, RunUploadCtr, false));
  ok &= RegisterGarminUsbWorkers(table, environment, OpenGarminUsbDevice);
  return ok;
}

}  // namespace logwell::garmin
