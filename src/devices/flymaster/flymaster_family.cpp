#include "devices/flymaster/flymaster_family.h"

#include "devices/flymaster/flymaster_probe.h"
#include "devices/flymaster/flymaster_workers.h"

namespace logwell::flymaster {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Flymaster";
  family.gpsOption = "FLYMASTER";
  family.protocols = {ProtocolType::Flymaster};
  family.sourceKind = TrackSourceKind::Flymaster;
  family.pilotIds = true;  // as identity waypoints, like a Flytec
  family.registerWorkers = RegisterFlymasterWorkers;
  family.probe = ProbeFlymaster;
  return family;
}

}  // namespace logwell::flymaster
