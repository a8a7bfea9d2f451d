#include "devices/graviter/graviter_family.h"

#include "devices/graviter/graviter_workers.h"

namespace logwell::graviter {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Graviter";
  family.gpsOption = "GRAVITER";
  family.protocols = {ProtocolType::Graviter};
  family.sourceKind = TrackSourceKind::Graviter;
  family.unverified =
      "Graviter: protocol unverified (no public description of its commands or of its binary "
      "log; only the line settings and its identity are known)";
  family.registerWorkers = RegisterGraviterWorkers;
  family.probe = ProbeGraviter;
  return family;
}

}  // namespace logwell::graviter
