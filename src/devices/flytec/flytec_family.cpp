#include "devices/flytec/flytec_family.h"

#include "devices/flytec/flytec_ctr.h"
#include "devices/flytec/flytec_probe.h"
#include "devices/flytec/flytec_workers.h"

namespace logwell::flytec {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Flytec/Brauniger";
  family.gpsOption = "IQCOMPEO";
  family.protocols = {ProtocolType::Flytec, ProtocolType::FlytecAllTracks};
  family.sourceKind = TrackSourceKind::Flytec;
  family.deliversOwnIgc = true;
  family.ctrNameLimit = kCtrTextWidth;
  family.shortWaypointNames = true;
  family.pilotIds = true;
  family.registerWorkers = RegisterFlytecWorkers;
  family.probe = ProbeFlytec;
  return family;
}

}  // namespace logwell::flytec
