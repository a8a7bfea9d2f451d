#include "devices/garmin/garmin_family.h"

#include "devices/garmin/garmin_probe.h"
#include "devices/garmin/garmin_workers.h"

namespace logwell::garmin {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Garmin";
  family.gpsOption = "GARMIN";
  family.protocols = {ProtocolType::GarminSerial, ProtocolType::GarminUsb};
  family.sourceKind = TrackSourceKind::Garmin;
  family.registerWorkers = RegisterGarminWorkers;
  family.pilotIds = true;
  family.probe = ProbeGarmin;
  return family;
}

}  // namespace logwell::garmin
