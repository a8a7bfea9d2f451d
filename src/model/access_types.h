#pragma once
// The two coordinates of every exchange with an instrument: what is done (the access type) and
// with which instrument family (the protocol type).

namespace logwell {

enum class AccessType : int {
  ReadWaypoints = 0,
  ReadTrackLog = 1,
  ReadLogItData = 2,
  WriteWaypoints = 3,
  EraseTrackLog = 4,
  WritePilotData = 5,
  WaypointsAsGarminLog = 6,
  UploadCtr = 7,
  ReadCtr = 8,
  ReadFlightList = 9,
  EraseWaypoints = 10,
};
inline constexpr int kAccessTypeCount = 11;

enum class ProtocolType : int {
  GarminSerial = 0,
  Mlr = 1,
  TopNavigator = 2,
  LogIt = 3,
  Flytec = 4,
  Graviter = 5,
  Magellan = 6,
  XcTrainer = 7,
  GarminUsb = 8,
  TopNavigatorMxp = 9,
  XcTrainerMxp = 10,
  FlytecAllTracks = 11,
  Flymaster = 12,
  Dsx = 13,
  MlrFastWaypoints = 14,
  Mtk = 15,
  IqBasic = 16,
  Digifly = 17,
  MlrSecondVariant = 18,
  Ascent = 19,
  Syride = 20,
};
inline constexpr int kProtocolTypeCount = 21;

}  // namespace logwell
