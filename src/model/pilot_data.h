#pragma once
// Pilot or owner data written to an instrument (the "write pilot data" access). Which fields a
// family sends depends on the family and on `kind`; a family leaves the others alone.
#include <string>

namespace logwell {

struct PilotData {
  enum class Kind {
    Pilot,          // pilot name, competition number, glider
    AltitudeAlarm,  // `altitudeAlarm`
    PilotIds,       // competition and CIVL identities with the pilot's name
  };
  Kind kind = Kind::Pilot;
  std::string pilotName;
  std::string competitionNumber;
  std::string gliderBrand;
  std::string gliderModel;
  // The further fields of a DSX's pilot data (with pilotName and competitionNumber).
  std::string competitionClass;
  std::string callSign;
  std::string aircraftType;
  std::string telephone;
  std::string compId;  // decimal, empty for none
  std::string civlId;  // decimal, empty for none
  int altitudeAlarm = 0;  // metres
};

}  // namespace logwell
