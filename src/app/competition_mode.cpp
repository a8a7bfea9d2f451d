#include "app/competition_mode.h"

#include "base/text.h"
#include "base/ui.h"

namespace logwell {
namespace {

// "comp. ID 17, CIVL ID 1234", for the messages that name what was looked for.
std::string IdsText(std::int32_t compId, std::int32_t civlId) {
  std::string text;
  if (compId >= 0) text = FormatText("comp. ID %d", compId);
  if (civlId >= 0) text += FormatText("%sCIVL ID %d", text.empty() ? "" : ", ", civlId);
  return text;
}

// An ID given that the record holds differently.
bool Contradicts(std::int32_t given, std::int32_t recorded) {
  return given >= 0 && recorded >= 0 && given != recorded;
}

}  // namespace

bool LoadPilotList(CompetitionState& state, const std::filesystem::path& file, Ui& ui) {
  auto pilots = ReadPilotListFile(file, ui);
  if (!pilots) return false;
  state.pilots = std::move(*pilots);
  ui.ShowStatus(FormatText("%d pilots registered", static_cast<int>(state.pilots->size())));
  return true;
}

void AddCompetitionHandlers(CommandLineHandlers& handlers, CompetitionState& state) {
  handlers.loadFlightScoreFile = [&state](const std::string& file, Ui& ui) {
    return LoadPilotList(state, file, ui);
  };
  handlers.enableCompetitionMode = [&state](bool special) {
    state.on = true;
    state.special = special;
    state.dashNames = special;
  };
}

PilotIdentification IdentifyPilot(const PilotList& pilots, std::int32_t compId,
                                  std::int32_t civlId) {
  PilotIdentification identification;
  if (compId < 0 && civlId < 0) {
    identification.problem = "no pilot ID to look for";
    return identification;
  }
  const PilotRecord* byCivl = civlId >= 0 ? FindPilot(pilots, -1, civlId) : nullptr;
  const PilotRecord* byComp = compId >= 0 ? FindPilot(pilots, compId, -1) : nullptr;
  if (byCivl != nullptr && byComp != nullptr && byCivl != byComp) {
    identification.problem =
        FormatText("the IDs name two pilots (%s)", IdsText(compId, civlId).c_str());
    return identification;
  }
  const PilotRecord* pilot = byCivl != nullptr ? byCivl : byComp;
  if (pilot == nullptr) {
    identification.problem =
        FormatText("no pilot in the list has %s", IdsText(compId, civlId).c_str());
    return identification;
  }
  if (Contradicts(compId, pilot->compId) || Contradicts(civlId, pilot->civlId)) {
    identification.problem =
        FormatText("%s do not match the list", IdsText(compId, civlId).c_str());
    return identification;
  }
  identification.pilot = CompetitionPilot{pilot->name, pilot->compId, pilot->civlId};
  return identification;
}

}  // namespace logwell
