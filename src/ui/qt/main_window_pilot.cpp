// The pilot-data commands of the window: the forms that say what to write to the instrument.
#include <QString>

#include "devices/flymaster/flymaster_protocol.h"
#include "track/igc/igc_commands.h"
#include "ui/qt/edit_dialogs.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_ui.h"

namespace logwell::qt {

std::optional<PilotData> MainWindow::AskPilotData(const InstrumentCommand& command) {
  if (command.protocol != ProtocolType::Flymaster) return std::nullopt;
  Ui& ui = services_.ui;
  PilotData pilot;
  // The names the loaded flight's IGC headers give are offered.
  const FlightHeaders headers = igc::FlightHeadersOf(CurrentTrackLog());
  std::vector<FormField> fields;
  QString title;
  QString note;
  switch (command.id) {
    case 40157:
      pilot.kind = PilotData::Kind::AltitudeAlarm;
      title = "Set Flymaster altitude alarm";
      note = "Available from firmware version 1.21";
      fields = {{"&Altitude (m)", 5, altitudeAlarm_ > 0 ? QString::number(altitudeAlarm_) : QString()}};
      break;
    case 40166:
      pilot.kind = PilotData::Kind::PilotIds;
      title = "Set Flymaster IDs";
      fields = {{"&Pilot name", static_cast<int>(flymaster::kPilotNameLength), Q(headers.pilot)},
                {"&COMP ID", static_cast<int>(flymaster::kIdentityLength), {}},
                {"C&IVL ID", static_cast<int>(flymaster::kIdentityLength), {}}};
      break;
    default:
      title = "Set Flymaster Name";
      note = "Blank fields are not sent";
      fields = {{"&Pilot name", static_cast<int>(flymaster::kPilotNameLength), Q(headers.pilot)},
                {"&Comp. number", static_cast<int>(flymaster::kCompetitionNumberLength), Q(headers.competitionId)},
                {"Glider &brand", static_cast<int>(flymaster::kGliderTextLength), {}},
                {"Glider &model", static_cast<int>(flymaster::kGliderTextLength), Q(headers.gliderType)}};
      break;
  }
  // The form's values become the pilot data; a refusal keeps the form open.
  const auto fill = [&pilot, &ui](const std::vector<std::string>& values) {
    switch (pilot.kind) {
      case PilotData::Kind::AltitudeAlarm: {
        const auto input = flymaster::ParseAltitudeAlarm(values[0]);
        if (!input.refusal.empty()) {
          ui.ShowErrorBox(input.refusal, "Set Flymaster pilot");
          return false;
        }
        pilot.altitudeAlarm = input.metres;
        return true;
      }
      case PilotData::Kind::PilotIds:
        pilot.pilotName = values[0];
        pilot.compId = values[1];
        pilot.civlId = values[2];
        break;
      case PilotData::Kind::Pilot:
        pilot.pilotName = values[0];
        pilot.competitionNumber = values[1];
        pilot.gliderBrand = values[2];
        pilot.gliderModel = values[3];
        break;
    }
    if (const auto refusal = flymaster::PilotDataRefusal(pilot)) {
      ui.ShowErrorBox(*refusal, "Set Flymaster pilot");
      return false;
    }
    return true;
  };
  FieldsDialog dialog(title, fields, note, fill, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  if (pilot.kind == PilotData::Kind::AltitudeAlarm) {
    if (pilot.altitudeAlarm == 0) return std::nullopt;  // nothing to set
    altitudeAlarm_ = pilot.altitudeAlarm;
  }
  return pilot;
}

}  // namespace logwell::qt
