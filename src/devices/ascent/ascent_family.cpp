#include "devices/ascent/ascent_family.h"

#include "devices/ascent/ascent_workers.h"

namespace logwell::ascent {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Ascent";
  family.gpsOption = "ASCENT";
  family.protocols = {ProtocolType::Ascent};
  family.sourceKind = TrackSourceKind::Digifly;  // code 12, shared by Digifly and Ascent
  family.canErase = true;
  family.unverified =
      "Ascent: protocol unverified (no public description of its binary messages or its track "
      "memory; only the line rate and the message texts are known)";
  family.registerWorkers = RegisterAscentWorkers;
  family.probe = ProbeAscent;
  return family;
}

}  // namespace logwell::ascent
