#include "devices/iqbasic/iqbasic_family.h"

#include "devices/iqbasic/iqbasic_probe.h"
#include "devices/iqbasic/iqbasic_workers.h"

namespace logwell::iqbasic {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "IQ Basic/Flytec 6015";
  family.gpsOption = "IQBASIC";
  family.protocols = {ProtocolType::IqBasic};
  family.sourceKind = TrackSourceKind::IqBasic;
  family.deliversOwnIgc = true;
  family.shortWaypointNames = true;
  family.pilotIds = true;
  family.unverified =
      "IQ Basic / Flytec 6015: protocol taken from the maker's protocol document, "
      "not yet checked against an instrument";
  family.registerWorkers = RegisterIqBasicWorkers;
  family.probe = ProbeIqBasic;
  return family;
}

}  // namespace logwell::iqbasic
