#include "devices/mlr/mlr_family.h"

#include "devices/mlr/mlr_probe.h"
#include "devices/mlr/mlr_workers.h"

namespace logwell::mlr {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "MLR/Leonardo";
  family.gpsOption = "MLR";
  family.protocols = {ProtocolType::Mlr, ProtocolType::MlrFastWaypoints, ProtocolType::MlrSecondVariant};
  family.sourceKind = TrackSourceKind::Mlr;
  family.pilotIds = true;
  family.unverified =
      "MLR / Leonardo: waypoint transfer unverified (MLR's protocol document describes the "
      "identification and the tracklog only; no unit has been checked)";
  family.registerWorkers = RegisterMlrWorkers;
  family.probe = ProbeMlr;
  return family;
}

}  // namespace logwell::mlr
