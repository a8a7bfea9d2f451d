#pragma once
// One record per instrument family: what the rest of the program may ask about a family (its
// protocol types, what its instruments can do), how its workers get into the access table, and
// its question to a port during the product scan. src/devices/families.cpp lists the families
// that are built; shared code asks these records and never a list of protocol numbers.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/access_types.h"
#include "model/track_point.h"
#include "model/track_source.h"

namespace logwell {

class AccessTable;
struct AccessBlock;

// What the program around the workers lends them, the same for every family: reports to the
// program that follows an unattended run and the command line's track choice. Any empty member
// is simply not used. (Competition mode's identity scan is the same for every family:
// access/pilot_scan.h.)
struct FamilyEnvironment {
  std::function<void(std::string_view)> notify;
  std::function<void(const TrackPoint&)> reportPosition;
  // The track indices the command line names for the download about to start (TRACK option,
  // at most 20, -1 entries unused); a run that saves every flight names one after another.
  std::function<std::vector<int>()> commandLineTracks;
  // An unattended run: the flight list goes to the notify channel instead of a dialog.
  bool unattended = false;
  // Switching an instrument off after a transfer: the command line's PWROFF option, and the
  // window's menu option of the family that speaks the protocol (asked when the transfer ends).
  // The command line's choice alone applies to a Garmin track log upload.
  bool commandLinePowerOff = false;
  std::function<bool(ProtocolType)> menuPowerOff;
  // Garmin over USB in competition mode: whether the instrument's waypoints are scanned for
  // the pilot's identities before the track log (the window's menu option; off when empty).
  std::function<bool()> usbCompetitionWaypointCheck;
  // The accuracy (metres) with which arcs and circles of airspace are laid out as points for an
  // upload that knows no arcs; empty: the program's default of 10 m.
  std::function<std::uint32_t()> segmentAccuracy;
  // A number of the user's settings, by its name in the settings file (a family's own
  // setting, such as an instrument's clock offset); empty or an unknown name: 0.
  std::function<std::int64_t(std::string_view)> numberSetting;
};

// The product scan's question to one port. What a person would see goes to the two report
// functions.
struct ProbeReport {
  std::function<void(std::string_view)> productLine;
  std::function<void(std::string_view)> statusLine;
  void Product(std::string_view text) const {
    if (productLine) productLine(text);
  }
  void Status(std::string_view text) const {
    if (statusLine) statusLine(text);
  }
};
struct ProbeResult {
  bool found = false;
  std::string model;
  std::string serial;
  std::string software;
  std::string extra;  // a further field of the answer, where the instrument sends one
  // The command line's GPS value for the instrument that answered, where the probe tells a
  // variant apart (FLYMASTEROLD, DIGIFLYAIR); empty: the family's own.
  std::string_view gpsOption;
};
using ProbeFunction = ProbeResult (*)(const std::string& devicePath, const ProbeReport& report);

struct InstrumentFamily {
  std::string_view name;                  // "Flytec/Brauniger", for lists and messages
  std::string_view gpsOption;             // the command line's GPS value: "IQCOMPEO"
  std::vector<ProtocolType> protocols;    // the columns of the access table it fills
  TrackSourceKind sourceKind = TrackSourceKind::None;

  // Its track download delivers the instrument's own signed IGC text, which the IGC save
  // writes unchanged.
  bool deliversOwnIgc = false;
  // It can erase its track memory ("Erase track log" is offered).
  bool canErase = false;
  // Airspace names are cut to this many characters on the instrument (0: no airspace upload
  // or no limit); two selected airspaces must still differ after the cut.
  std::size_t ctrNameLimit = 0;
  // It keeps one text per waypoint: an upload folds name and description into it.
  bool shortWaypointNames = false;
  // Pilot identities can be written to it as waypoints (competition mode).
  bool pilotIds = false;
  // The access parameter of that identity upload (the waypoint set where the family has several).
  int pilotIdParameter = 0;
  // Why its protocol is not proven, when nothing independent has checked it (empty when its
  // protocol was checked against a public description or host): the menu entries' tooltip.
  std::string_view unverified;

  // Fills the family's cells of the table; false when a cell was already taken.
  bool (*registerWorkers)(AccessTable& table, const FamilyEnvironment& environment) = nullptr;
  // Asks one port whether an instrument of the family answers; none: not part of the scan.
  ProbeFunction probe = nullptr;
};

// Every family built into the program, in the order of the product scan.
std::span<const InstrumentFamily> InstrumentFamilies();
// The family that fills a protocol type's column, or none when it is not built.
const InstrumentFamily* FamilyOf(ProtocolType protocol);

// Registers the workers of every family. False when two families claimed the same cell.
bool RegisterInstrumentFamilies(AccessTable& table, const FamilyEnvironment& environment);

}  // namespace logwell
