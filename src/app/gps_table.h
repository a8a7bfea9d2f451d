#pragma once
// The instrument names of the command line's GPS option, their codes, and the access each one
// leads to for a track log download, a waypoint download, a waypoint upload and a flight list.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "model/access_types.h"

namespace logwell {

// The protocol and its parameter (a baud rate or a variant) of one access.
struct GpsAccess {
  ProtocolType protocol;
  int parameter;
  bool operator==(const GpsAccess&) const = default;
};

struct GpsTypeEntry {
  std::string_view name;  // upper case, as compared with the upper-cased option value
  int code;
  std::optional<GpsAccess> trackLogRead;
  std::optional<GpsAccess> waypointRead;
  std::optional<GpsAccess> waypointWrite;
  std::optional<GpsAccess> flightList;
  std::optional<GpsAccess> ctrWrite;        // WR_CTR
  std::optional<GpsAccess> pilotDataWrite;  // USERNAME
};

// GPS codes that other parts of the command line refer to by number.
inline constexpr int kGpsGarmin = 0;
inline constexpr int kGpsFlymaster = 9;
inline constexpr int kGpsMlrc = 11;
inline constexpr int kGpsFlymasterOld = 18;
inline constexpr int kGpsCodeCount = 19;

namespace gps_table_detail {
constexpr GpsAccess Use(ProtocolType protocol, int parameter = 0) { return {protocol, parameter}; }
using P = ProtocolType;
inline constexpr std::nullopt_t kNone = std::nullopt;
}  // namespace gps_table_detail

// Per row: name, code, then the accesses of track log read, waypoint read, waypoint write,
// flight list, CTR upload (WR_CTR) and pilot data upload (USERNAME). GARMIN's accesses name the
// serial protocol; with the USB option they become GarminUsb (see GpsAccessFor).
inline constexpr std::array<GpsTypeEntry, kGpsCodeCount> kGpsTypes = [] {
  using namespace gps_table_detail;
  return std::array<GpsTypeEntry, kGpsCodeCount>{{
      {"GARMIN", 0, Use(P::GarminSerial), Use(P::GarminSerial), Use(P::GarminSerial), kNone,
       Use(P::GarminSerial), kNone},
      {"MLR", 1, Use(P::Mlr), Use(P::Mlr), Use(P::Mlr), kNone, kNone, kNone},
      {"TOPNAV", 2, Use(P::TopNavigator), kNone, Use(P::TopNavigator), kNone, kNone, kNone},
      {"LOGIT", 3, Use(P::LogIt, 57600), kNone, kNone, kNone, kNone, kNone},
      {"IQCOMPEO", 4, Use(P::Flytec), Use(P::Flytec), Use(P::Flytec), Use(P::Flytec),
       Use(P::Flytec), kNone},
      {"GRAVITER", 5, Use(P::Graviter), kNone, kNone, kNone, kNone, kNone},
      {"MAGELLAN", 6, Use(P::Magellan), kNone, Use(P::Magellan), kNone, kNone, kNone},
      {"XCTRAINER", 7, Use(P::XcTrainer), kNone, Use(P::XcTrainer), kNone, kNone, kNone},
      {"XCT_MXP", 8, Use(P::XcTrainerMxp, 57600), kNone, kNone, kNone, kNone, kNone},
      {"FLYMASTER", 9, Use(P::Flymaster, 1), Use(P::Flymaster), Use(P::Flymaster),
       Use(P::Flymaster), kNone, Use(P::Flymaster)},
      {"DSX", 10, Use(P::Dsx), kNone, kNone, kNone, kNone, kNone},
      {"MLRC", 11, kNone, Use(P::MlrFastWaypoints), kNone, kNone, kNone, kNone},
      {"IQBASIC", 12, Use(P::IqBasic), Use(P::IqBasic), Use(P::IqBasic), Use(P::IqBasic), kNone,
       kNone},
      {"MTK", 13, Use(P::Mtk), kNone, kNone, kNone, kNone, kNone},
      {"LEONARDO", 14, Use(P::Digifly), Use(P::Digifly, 2), Use(P::Digifly, 2), Use(P::Digifly),
       kNone, kNone},
      {"ASCENT", 15, Use(P::Ascent), kNone, kNone, Use(P::Ascent), kNone, kNone},
      {"DIGIFLYAIR", 16, Use(P::Digifly, 1), kNone, kNone, kNone, kNone, kNone},
      {"SYRIDE", 17, Use(P::Syride), Use(P::Syride), Use(P::Syride), Use(P::Syride), kNone, kNone},
      {"FLYMASTEROLD", 18, Use(P::Flymaster), Use(P::Flymaster), Use(P::Flymaster),
       Use(P::Flymaster), kNone, Use(P::Flymaster)},
  }};
}();

enum class GpsColumn { TrackLogRead, WaypointRead, WaypointWrite, FlightList, CtrWrite, PilotDataWrite };

// The code of an instrument name (any case), or nothing for an unknown name.
std::optional<int> FindGpsCode(std::string_view name);

// The access of one column for a GPS code, or nothing where the instrument has none.
std::optional<GpsAccess> GpsAccessFor(int gpsCode, GpsColumn column, bool useUsb);

}  // namespace logwell
