#include "devices/syride/syride_family.h"

#include "devices/syride/syride_workers.h"

namespace logwell::syride {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Syride";
  family.gpsOption = "SYRIDE";
  family.protocols = {ProtocolType::Syride};
  family.sourceKind = TrackSourceKind::Syride;
  family.shortWaypointNames = true;
  family.pilotIds = true;
  family.unverified =
      "Syride SYS-Nav: protocol unverified (the maker publishes none; not checked against an "
      "instrument)";
  family.registerWorkers = RegisterSyrideWorkers;
  return family;
}

}  // namespace logwell::syride
