#include "devices/topnav/topnav_family.h"

#include "devices/topnav/topnav_workers.h"

namespace logwell::topnav {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "Top Navigator/XC Trainer";
  family.gpsOption = "TOPNAV";
  family.protocols = {ProtocolType::TopNavigator, ProtocolType::XcTrainer, ProtocolType::TopNavigatorMxp,
                      ProtocolType::XcTrainerMxp};
  family.sourceKind = TrackSourceKind::TopNavigator;
  family.pilotIds = true;
  family.unverified =
      "Top Navigator / XC Trainer: protocol partly unverified (the track log lines follow a "
      "public description; the height kind, the header's control code, the 9600 baud "
      "transfer and the waypoint layout are not checked against an instrument)";
  family.registerWorkers = RegisterTopNavWorkers;
  // No probe: the instruments send only when the pilot starts a transfer on them.
  return family;
}

}  // namespace logwell::topnav
