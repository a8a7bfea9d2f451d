#include "devices/magellan/magellan_family.h"

#include "devices/magellan/magellan_probe.h"
#include "devices/magellan/magellan_workers.h"

namespace logwell::magellan {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Magellan";
  family.gpsOption = "MAGELLAN";
  family.protocols = {ProtocolType::Magellan};
  family.sourceKind = TrackSourceKind::Magellan;
  family.pilotIds = true;
  family.registerWorkers = RegisterMagellanWorkers;
  family.probe = ProbeMagellan;
  return family;
}

}  // namespace logwell::magellan
