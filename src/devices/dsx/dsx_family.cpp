#include "devices/dsx/dsx_family.h"

#include "devices/dsx/dsx_probe.h"
#include "devices/dsx/dsx_workers.h"

namespace logwell::dsx {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "DSX";
  family.gpsOption = "DSX";
  family.protocols = {ProtocolType::Dsx};
  family.sourceKind = TrackSourceKind::Dsx;
  family.deliversOwnIgc = true;
  family.unverified =
      "DSX: protocol unverified (no public description of the recorder's answers; built from the "
      "program's own command literals)";
  family.registerWorkers = RegisterDsxWorkers;
  family.probe = ProbeDsx;
  return family;
}

}  // namespace logwell::dsx
