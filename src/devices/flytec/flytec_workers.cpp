#include "devices/flytec/flytec_workers.h"

#include <algorithm>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/flytec/flytec_all_tracks.h"
#include "devices/flytec/flytec_ctr.h"
#include "devices/flytec/flytec_tracks.h"
#include "devices/flytec/flytec_waypoints.h"
#include "track/track_list_dialog.h"

namespace logwell::flytec {

bool OpenFlytecPort(AccessBlock& block) { return ConnectComPort(block, kBaudRate, true) == 0; }

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ScansForPilotIds(block)) {
    if (DownloadWaypoints(block, context, true) < 0) return -1;
    if (!PilotIdsAccepted(block)) return -1;
  }
  bool trackListInUse = false;
  if (HasTrackList(product.model, product.software)) {
    if (ReadTrackList(block) < 0) return -1;
    if (!SelectTracks(block, context)) return -1;
    trackListInUse = true;
  }
  if (!trackListInUse) {
    block.trackSelection.reset();
    block.trackSelection.set(0);
  }
  const int result = DownloadTrackLog(block, context, trackListInUse);
  block.source.kind = TrackSourceKind::Flytec;
  block.source.timeIsUtc = 1;
  block.source.signState = result != 0 ? SignState::Downloaded : SignState::NotSignable;
  block.source.altitudeFlag = 1;
  return result;
}

int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Flytec;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (!HasTrackList(product.model, product.software)) {
    ShowAccessError(block, "This instrument keeps no flight list", "Read GPS track list");
    return -1;
  }
  if (ReadTrackList(block) < 0) return -1;
  return PresentFlightList(block, context);
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return DownloadWaypoints(block, context, false);
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return UploadWaypoints(block, context);
}

int RunReadCtr(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return DownloadCtrList(block);
}

int RunUploadCtr(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return UploadCtrs(block);
}

AccessWorker SerialWorker(const FamilyEnvironment& context,
                          int (*steps)(AccessBlock&, const FamilyEnvironment&), bool clearTrace,
                          int baudRate, bool xonXoff) {
  WorkerSteps frame;
  frame.clearTrace = clearTrace;
  frame.openPort = [baudRate, xonXoff](AccessBlock& block) {
    return ConnectComPort(block, baudRate, xonXoff) == 0;
  };
  frame.run = [context, steps](AccessBlock& block) { return steps(block, context); };
  return FrameWorker(std::move(frame));
}

namespace {

AccessWorker Worker(const FamilyEnvironment& context, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  return SerialWorker(context, steps, clearTrace, kBaudRate, true);
}

}  // namespace

bool RegisterFlytecWorkers(AccessTable& table, const FamilyEnvironment& context) {
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::Flytec,
                       Worker(context, RunReadTrackLog, true));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::Flytec,
                       Worker(context, RunReadWaypoints, false));
  ok &= table.Register(AccessType::WriteWaypoints, ProtocolType::Flytec,
                       Worker(context, RunWriteWaypoints, false));
  ok &= table.Register(AccessType::ReadFlightList, ProtocolType::Flytec,
                       Worker(context, RunReadFlightList, true));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::FlytecAllTracks,
                       Worker(context, RunReadAllTracks, true));
  ok &= table.Register(AccessType::ReadCtr, ProtocolType::Flytec, Worker(context, RunReadCtr, false));
  ok &= table.Register(AccessType::UploadCtr, ProtocolType::Flytec, Worker(context, RunUploadCtr, false));
  return ok;
}

}  // namespace logwell::flytec
