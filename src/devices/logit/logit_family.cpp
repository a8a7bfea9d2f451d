#include "devices/logit/logit_family.h"

#include "devices/logit/logit_probe.h"
#include "devices/logit/logit_workers.h"

namespace logwell::logit {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "LogIt/Tracklogger";
  family.gpsOption = "LOGIT";
  family.protocols = {ProtocolType::LogIt};
  family.sourceKind = TrackSourceKind::LogIt;
  family.canErase = true;
  family.unverified =
      "LogIt / Tracklogger: protocol unverified (no public description of its requests and "
      "answers; built from the program's own literals)";
  family.registerWorkers = RegisterLogItWorkers;
  family.probe = ProbeLogIt;
  return family;
}

}  // namespace logwell::logit
