// The pilot-data commands of the window: the forms that say what to write to the instrument.
#include <QString>

#include "devices/dsx/dsx_protocol.h"
#include "devices/flymaster/flymaster_protocol.h"
#include "track/igc/igc_commands.h"
#include "devices/logit/logit_protocol.h"
#include "ui/qt/edit_dialogs.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_ui.h"

namespace logwell::qt {

std::optional<PilotData> MainWindow::AskPilotData(const InstrumentCommand& command) {
  if (command.protocol == ProtocolType::LogIt) {
    PilotData owner;
    FieldsDialog dialog("Write LogIt Name", {{"&Owner name", static_cast<int>(logit::kNameLength), {}}}, {},
                        [&owner](const std::vector<std::string>& values) {
                          owner.pilotName = values[0];
                          return true;
                        },
                        this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return owner;
  }
  if (command.protocol == ProtocolType::Dsx) {
    // The form starts from the values last sent; a field left blank or unchanged is not sent.
    dsxPilotSent_.resize(6);
    const int length = static_cast<int>(dsx::kMaxFieldLength);
    const std::vector<FormField> dsxFields = {
        {"&Pilot name", length, Q(dsxPilotSent_[0])},    {"Comp. &ID", length, Q(dsxPilotSent_[1])},
        {"Comp. &Class", length, Q(dsxPilotSent_[2])},   {"Call &sign", length, Q(dsxPilotSent_[3])},
        {"&Aircraft type", length, Q(dsxPilotSent_[4])}, {"&Telephone no.", length, Q(dsxPilotSent_[5])}};
    std::vector<std::string> values;
    FieldsDialog dialog("Set DSX pilot data", dsxFields, "Blank/unchanged fields are not sent",
                        [&values](const std::vector<std::string>& typed) {
                          values = typed;
                          return true;
                        },
                        this);
    if (dialog.exec() != QDialog::Accepted || values.size() != 6) return std::nullopt;
    std::vector<std::string> changed(6);
    for (std::size_t i = 0; i < 6; ++i) {
      if (values[i] != dsxPilotSent_[i]) changed[i] = values[i];
      if (!values[i].empty()) dsxPilotSent_[i] = values[i];
    }
    PilotData pilot;
    pilot.pilotName = changed[0];
    pilot.competitionNumber = changed[1];
    pilot.competitionClass = changed[2];
    pilot.callSign = changed[3];
    pilot.aircraftType = changed[4];
    pilot.telephone = changed[5];
    return pilot;
  }
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
