#include "app/instrument_commands.h"

#include <algorithm>
#include <array>

#include "base/text.h"

namespace logwell {
namespace {

constexpr AccessType A(int row) { return static_cast<AccessType>(row); }
constexpr ProtocolType P(int column) { return static_cast<ProtocolType>(column); }

// Several entries share one handler (two menus offer the same instrument under two names); each
// keeps its own identifier here so that both menus work.
constexpr std::array kCommands = std::to_array<InstrumentCommand>({
    {40004, "Read &MLR", "Ctrl+M", A(1), P(1), 0, SelectionMode::None},
    {40007, "Send to &MLR", "", A(3), P(1), 0, SelectionMode::None},
    {40008, "Send to M&agellan (9600)", "", A(3), P(6), 0, SelectionMode::None},
    {40009, "Send to &Top Navigator", "", A(3), P(2), 0, SelectionMode::None},
    {40010, "Read Log It (&57600)", "Ctrl+L", A(1), P(3), 57600, SelectionMode::None},
    {40011, "Read Log It (&38400)", "", A(1), P(3), 38400, SelectionMode::None},
    {40012, "Read Log It (&19200)", "", A(1), P(3), 19200, SelectionMode::None},
    {40013, "Send to &XC Trainer", "", A(3), P(7), 0, SelectionMode::None},
    {40014, "&Erase LogIt track", "", A(4), P(3), 0, SelectionMode::None},
    {40015, "Write LogIt &Name", "", A(5), P(3), 0, SelectionMode::None},
    {40016, "Read LogIt &Data", "", A(2), P(3), 0, SelectionMode::None},
    {40017, "Send wpts. as Garmin log (COM)", "", A(6), P(0), 0, SelectionMode::None},
    {40018, "Send to &Compeo(+)/Competino(+) (Only Name)", "", A(3), P(4), 0, SelectionMode::NamesOnly},
    {40021, "Send to &Garmin", "", A(3), P(0), 0, SelectionMode::None},
    {40022, "Send to Garmin (&USB)", "", A(3), P(8), 0, SelectionMode::None},
    {40023, "Send to &Flytec 50xx/60xx (Only Name)", "", A(3), P(4), 0, SelectionMode::NamesOnly},
    {40027, "Read &Garmin", "", A(0), P(0), 0, SelectionMode::None},
    {40029, "Read &Garmin", "Ctrl+G", A(1), P(0), 0, SelectionMode::None},
    {40033, "Read &MLR (NMEA)", "", A(0), P(1), 0, SelectionMode::None},
    {40039, "Read &Top Navigator (TNCM)", "Ctrl+Alt+T", A(1), P(2), 0, SelectionMode::None},
    {40053, "Read &Top Navigator", "", A(0), P(2), 0, SelectionMode::None},
    {40054, "Read &IQ-Compeo(+)/Competino(+)", "Ctrl+E", A(1), P(4), 0, SelectionMode::None},
    {40055, "Read &Compeo(+)/Competino(+)", "", A(0), P(4), 0, SelectionMode::None},
    {40058, "Read Graviter (all tracks)", "", A(1), P(5), 0, SelectionMode::None},
    {40065, "Read Magella&n (9600)", "Ctrl+N", A(1), P(6), 0, SelectionMode::None},
    {40066, "Read M&agellan (9600)", "", A(0), P(6), 0, SelectionMode::None},
    {40069, "Read Tracklogger (115&200)", "", A(1), P(3), 115200, SelectionMode::None},
    {40071, "Read &XC Trainer (57600)", "", A(1), P(7), 0, SelectionMode::None},
    {40075, "Read Garmin &USB", "Ctrl+U", A(1), P(8), 0, SelectionMode::None},
    {40076, "Read &XC Trainer", "", A(0), P(7), 0, SelectionMode::None},
    {40078, "Read Garmin (&USB)", "", A(0), P(8), 0, SelectionMode::None},
    {40085, "Read &Flytec 50xx/60xx", "Ctrl+F", A(1), P(4), 0, SelectionMode::None},
    {40086, "Read &Flytec 50xx/60xx", "", A(0), P(4), 0, SelectionMode::None},
    {40090, "Read &Top Nav (MXP at 57600)", "Ctrl+T", A(1), P(9), 57600, SelectionMode::None},
    {40091, "Read &XC Trainer (MXP at 57600)", "Ctrl+X", A(1), P(10), 57600, SelectionMode::None},
    {40092, "Send wpts. as Garmin log (USB)", "", A(6), P(8), 0, SelectionMode::None},
    {40096, "Send to Compeo(+)/Competino(+) (ID+Name)", "", A(3), P(4), 0, SelectionMode::IdsAndNames},
    {40097, "Send to Flytec 50xx/60xx (ID+Name)", "", A(3), P(4), 0, SelectionMode::IdsAndNames},
    {40098, "Send to &Compeo/Competino", "", A(7), P(4), 0, SelectionMode::None},
    {40099, "Send to &Flytec 50xx/60xx", "", A(7), P(4), 0, SelectionMode::None},
    {40106, "Send to &Garmin as a log", "", A(7), P(0), 0, SelectionMode::None},
    {40107, "Send to Garmin &USB as a log", "", A(7), P(8), 0, SelectionMode::None},
    {40109, "Read from &Compeo/Competino", "", A(8), P(4), 0, SelectionMode::None},
    {40110, "Read from &Flytec 50xx/60xx", "", A(8), P(4), 0, SelectionMode::None},
    {40119, "Read all &IQ Tracks", "", A(1), P(11), 0, SelectionMode::None},
    {40120, "Read all &Flytec Tracks", "", A(1), P(11), 0, SelectionMode::None},
    {40126, "Read Fl&ymaster", "Ctrl+Y", A(1), P(12), 1, SelectionMode::None},
    {40134, "Send to Compeo(+)/Competino(+) (Only ID)", "", A(3), P(4), 0, SelectionMode::IdsOnly},
    {40135, "Send to Flytec 50xx/60xx (Only ID)", "", A(3), P(4), 0, SelectionMode::IdsOnly},
    {40137, "Read Leonardo (MLR)", "Ctrl+R", A(1), P(1), 0, SelectionMode::None},
    {40138, "Send to &Digifly Leonardo", "", A(3), P(1), 0, SelectionMode::None},
    {40145, "Write Flymaster Name", "", A(5), P(12), 0, SelectionMode::None},
    {40148, "Read DSX", "", A(1), P(13), 0, SelectionMode::None},
    {40150, "Read &MLR (Fast)", "", A(0), P(14), 0, SelectionMode::None},
    {40153, "Write DSX pilot data", "", A(5), P(13), 0, SelectionMode::None},
    {40154, "Read MTK/Pentagram (115200)", "", A(1), P(15), 115200, SelectionMode::None},
    {40155, "Read IQ Basic / Flytec 6015", "", A(1), P(16), 0, SelectionMode::None},
    {40156, "Erase MTK/Pentagram (115200)", "", A(4), P(15), 115200, SelectionMode::None},
    {40157, "Set Flymaster altitude alarm", "", A(5), P(12), 0, SelectionMode::None},
    {40158, "Read &IqBasic/Flytec 6015", "", A(0), P(16), 0, SelectionMode::None},
    {40159, "Send to &IqBasic/Flytec 6015 (Only Name)", "", A(3), P(16), 0, SelectionMode::NamesOnly},
    {40161, "Send to IqBasic/Flytec 6015 (OnlyID)", "", A(3), P(16), 0, SelectionMode::IdsOnly},
    {40162, "Send to IqBasic/Flytec 6015 (ID+Name)", "", A(3), P(16), 0, SelectionMode::IdsAndNames},
    {40163, "Send to Fl&ymaster (Only Name)", "", A(3), P(12), 0, SelectionMode::NamesOnly},
    {40164, "Send to Flymaster (ID+Name)", "", A(3), P(12), 0, SelectionMode::IdsAndNames},
    {40165, "Send to Flymaster (Only ID)", "", A(3), P(12), 0, SelectionMode::IdsOnly},
    {40166, "Write Flymaster IDs", "", A(5), P(12), 0, SelectionMode::None},
    {40167, "Read Fl&ymaster", "", A(0), P(12), 0, SelectionMode::None},
    {40179, "Read Leonardo (New)", "", A(1), P(17), 0, SelectionMode::None},
    {40181, "Read &Leonardo Pro User Wpts", "", A(0), P(17), 0, SelectionMode::None},
    {40182, "Send to &Leonardo Pro (User wpts.)", "", A(3), P(17), 0, SelectionMode::None},
    {40184, "Send to &Leonardo Pro (Comp. wpts)", "", A(3), P(17), 2, SelectionMode::None},
    {40186, "Read &Leonardo Pro Comp Wpts", "", A(0), P(17), 2, SelectionMode::None},
    {40193, "Read MTK/Pentagram (38400)", "", A(1), P(15), 38400, SelectionMode::None},
    {40194, "Erase MTK/Pentagram (38400)", "", A(4), P(15), 38400, SelectionMode::None},
    {40196, "Read Ascent", "", A(1), P(19), 0, SelectionMode::None},
    {40197, "Erase data", "", A(4), P(19), 0, SelectionMode::None},
    {40198, "Read Digifly Air", "", A(1), P(17), 1, SelectionMode::None},
    {40199, "Read Digifly &Air User Wpts", "", A(0), P(17), 1, SelectionMode::None},
    {40200, "Read Digifly &Air Comp Wpts", "", A(0), P(17), 3, SelectionMode::None},
    {40201, "Send to Digifly &Air (User wpts.)", "", A(3), P(17), 1, SelectionMode::None},
    {40202, "Send to Digifly &Air (Comp. wpts.)", "", A(3), P(17), 3, SelectionMode::None},
    {40204, "Read Syride", "", A(1), P(20), 0, SelectionMode::None},
    {40205, "Read Syride", "", A(0), P(20), 0, SelectionMode::None},
    {40206, "Send to Syride", "", A(3), P(20), 0, SelectionMode::None},
    {40209, "Read Flymaster (old)", "", A(1), P(12), 0, SelectionMode::None},
    {40215, "Erase all waypoints", "", A(10), P(20), 0, SelectionMode::None},
});

}  // namespace

std::span<const InstrumentCommand> InstrumentCommands() { return kCommands; }

const InstrumentCommand* FindInstrumentCommand(int id) {
  const auto* found = std::find_if(kCommands.begin(), kCommands.end(),
                                   [id](const InstrumentCommand& c) { return c.id == id; });
  return found == kCommands.end() ? nullptr : &*found;
}

std::string_view AccessCaption(AccessType access) {
  switch (access) {
    case AccessType::ReadWaypoints: return "Download waypoints";
    case AccessType::ReadTrackLog: return "Download track log";
    case AccessType::ReadLogItData: return "Read product data";
    case AccessType::WriteWaypoints: return "Upload waypoints";
    case AccessType::EraseTrackLog: return "Erase track log";
    case AccessType::WritePilotData: return "Write owner name";
    case AccessType::WaypointsAsGarminLog: return "Upload waypoints";
    case AccessType::UploadCtr: return "Upload CTR";
    case AccessType::ReadCtr: return "Download CTR";
    case AccessType::ReadFlightList: return "Download flightlist";
    case AccessType::EraseWaypoints: return "Erase waypoints";
  }
  return "GPS access";
}

std::string WindowTitle(int versionNumber, std::string_view portName, bool competitionMode,
                        bool compSpecial) {
  std::string title = FormatText("Logwell %d.%02d, ", versionNumber / 100, versionNumber % 100);
  title += portName;
  if (competitionMode) title += compSpecial ? ", Comp. mode" : ", Competition mode";
  return title;
}

}  // namespace logwell
