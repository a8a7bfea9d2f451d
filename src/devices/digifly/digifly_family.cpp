#include "devices/digifly/digifly_family.h"

#include "devices/digifly/digifly_probe.h"
#include "devices/digifly/digifly_workers.h"

namespace logwell::digifly {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Digifly";
  family.gpsOption = "LEONARDO";
  family.protocols = {ProtocolType::Digifly};
  family.sourceKind = TrackSourceKind::Digifly;
  family.shortWaypointNames = true;
  family.pilotIds = true;
  family.pilotIdParameter = 1;  // identities go to the Digifly Air's user waypoints
  family.unverified =
      "Digifly Leonardo Pro / Air: protocol unverified (only the requests are known; the answers "
      "and record layouts are not publicly described)";
  family.registerWorkers = RegisterDigiflyWorkers;
  family.probe = ProbeDigifly;
  return family;
}

}  // namespace logwell::digifly
