#include "airspace/airspace_list.h"

#include <algorithm>
#include <cstdio>

#include "airspace/airspace_file.h"
#include "airspace/airspace_gpx_writer.h"
#include "airspace/airspace_points.h"
#include "airspace/airspace_webmap_writer.h"
#include "airspace/openair_writer.h"
#include "base/atomic_file.h"
#include "base/text.h"
#include "base/ui.h"
#include "model/garmin_time.h"

namespace logwell {
namespace {

constexpr std::string_view kEditCaption = "Edit CTR";
constexpr std::string_view kUploadCaption = "Upload CTR";

const AirspaceRecord* FirstSelected(const AirspaceList& list) {
  const auto found = std::find_if(list.begin(), list.end(),
                                  [](const AirspaceRecord& record) { return record.selected != 0; });
  return found == list.end() ? nullptr : &*found;
}

bool AnySelected(const AirspaceList& list) { return FirstSelected(list) != nullptr; }

// A whole number of at most 9 digits, or nothing.
std::optional<long> WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string_view WriteCaption(AirspaceFileKind kind) {
  switch (kind) {
    case AirspaceFileKind::Gpx: return "Save CTR(s) in .gpx file";
    case AirspaceFileKind::WebMap: return "Save CTR(s) in Google API file";
    default: return "Write CTR";
  }
}

std::optional<AirspaceList> ParseForm(const AirspaceEditForm& form, Ui& ui,
                                      AirspaceSettings& settings) {
  const auto warningDistance = CheckEditForm(form, ui);
  if (!warningDistance) return std::nullopt;
  auto records = ParseOpenAir(form.text, ui, settings);
  if (!records) return std::nullopt;
  for (AirspaceRecord& record : *records) record.warningDistance = *warningDistance;
  return records;
}

}  // namespace

int ReadAirspaceFileIntoList(AirspaceList& list, const std::filesystem::path& path, Ui& ui,
                             AirspaceSettings& settings) {
  const auto text = LoadAirspaceFile(path, ui);
  if (!text) return -1;
  auto records = ParseOpenAir(*text, ui, settings);
  if (!records) return -1;
  const int count = static_cast<int>(records->size());
  char status[64];
  std::snprintf(status, sizeof status, "%d CTRs read", count);
  ui.ShowStatus(status);
  if (!list.empty() && ui.AskYesNo("Keep current CTR list ?", "Read CTR file") == Answer::Yes) {
    records->insert(records->end(), std::make_move_iterator(list.begin()),
                    std::make_move_iterator(list.end()));
  }
  list = std::move(*records);
  FixDuplicateNames(list, ui);
  return count;
}

bool FixDuplicateNames(AirspaceList& list, Ui& ui) {
  bool anyEqual = false;
  for (std::size_t i = 0; i < list.size() && !anyEqual; ++i) {
    for (std::size_t j = i + 1; j < list.size() && !anyEqual; ++j) {
      anyEqual = list[i].name == list[j].name;
    }
  }
  if (!anyEqual) return false;
  if (ui.AskYesNo("Fix name by appending number ?", "Equal CTR name(s)") != Answer::Yes) return false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    int number = 0;
    for (std::size_t j = i + 1; j < list.size(); ++j) {
      if (list[j].name != list[i].name) continue;
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "(%d)", ++number);
      const std::size_t room = AirspaceRecord::kMaxNameLength - std::string_view(suffix).size();
      list[j].name = CutText(list[j].name, room) + suffix;
    }
  }
  return true;
}

std::optional<AirspaceEditForm> EditFormFor(const AirspaceList& list, Ui& ui) {
  if (list.empty()) {
    ui.ShowErrorBox("No CTR in list", kEditCaption);
    return std::nullopt;
  }
  const AirspaceRecord* record = FirstSelected(list);
  if (!record) {
    ui.ShowErrorBox("No CTR selected", kEditCaption);
    return std::nullopt;
  }
  AirspaceEditForm form;
  form.warningDistance = std::to_string(record->warningDistance);
  form.text = MakeOpenAirEditText(*record);
  return form;
}

std::optional<int> CheckEditForm(const AirspaceEditForm& form, Ui& ui) {
  const std::string_view distance = Trim(form.warningDistance, kSpacesAndTabs);
  if (distance.empty()) {
    ui.ShowErrorBox("Missing warning distance input", kEditCaption);
    return std::nullopt;
  }
  const auto value = WholeNumber(distance);
  if (!value) {
    ui.ShowErrorBox("Bad warning distance format", kEditCaption);
    return std::nullopt;
  }
  if (IsBlank(form.text, kSpacesAndTabs)) {
    ui.ShowErrorBox("Missing text", kEditCaption);
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

int AddAirspacesFromForm(AirspaceList& list, const AirspaceEditForm& form, Ui& ui,
                         AirspaceSettings& settings) {
  auto records = ParseForm(form, ui, settings);
  if (!records) return -1;
  list.insert(list.end(), std::make_move_iterator(records->begin()),
              std::make_move_iterator(records->end()));
  return static_cast<int>(records->size());
}

int ReplaceAirspaceFromForm(AirspaceList& list, const AirspaceEditForm& form, Ui& ui,
                            AirspaceSettings& settings) {
  const auto selected = std::find_if(list.begin(), list.end(),
                                     [](const AirspaceRecord& record) { return record.selected != 0; });
  if (selected == list.end()) {
    ui.ShowErrorBox("No CTR selected", kEditCaption);
    return -1;
  }
  auto records = ParseForm(form, ui, settings);
  if (!records) return -1;
  // A text of nothing but comments would silently delete the airspace: keep it instead.
  if (records->empty()) return 0;
  const auto at = list.erase(selected);
  list.insert(at, std::make_move_iterator(records->begin()), std::make_move_iterator(records->end()));
  return static_cast<int>(records->size());
}

int DeleteSelectedAirspaces(AirspaceList& list, Ui& ui) {
  if (!AnySelected(list)) {
    ui.ShowErrorBox("No CTR(s) selected", kEditCaption);
    return -1;
  }
  const auto removed = std::erase_if(list, [](const AirspaceRecord& record) { return record.selected != 0; });
  return static_cast<int>(removed);
}

std::optional<std::vector<Waypoint>> SelectedAirspaceAsWaypoints(const AirspaceList& list,
                                                                  const AirspaceSettings& settings,
                                                                  Ui& ui) {
  const AirspaceRecord* record = FirstSelected(list);
  if (!record) {
    ui.ShowErrorBox("No CTR selected", "Show CTR");
    return std::nullopt;
  }
  const auto index = static_cast<std::size_t>(record - list.data());
  const GarminTime now = CalendarToGarminTime(CurrentUtcCalendar());
  return AirspaceToPoints(*record, index, settings.segmentAccuracy, now);
}

std::string MakeAirspaceFileText(const AirspaceList& list, AirspaceFileKind kind,
                                 std::uint32_t accuracy) {
  switch (kind) {
    case AirspaceFileKind::OpenAir: return MakeOpenAirText(list, OpenAirArcs::Keep, accuracy);
    case AirspaceFileKind::OpenAirNoArcs: return MakeOpenAirText(list, OpenAirArcs::AsPoints, accuracy);
    case AirspaceFileKind::Gpx: return MakeAirspaceGpx(list, accuracy);
    case AirspaceFileKind::WebMap: return MakeAirspaceWebMap(list, accuracy);
  }
  return {};
}

int WriteSelectedAirspaces(const AirspaceList& list, const std::filesystem::path& path,
                           AirspaceFileKind kind, const AirspaceSettings& settings, Ui& ui) {
  if (!AnySelected(list)) {
    ui.ShowErrorBox("No CTR(s) selected", WriteCaption(kind));
    return -1;
  }
  const std::string text = MakeAirspaceFileText(list, kind, settings.segmentAccuracy);
  if (WriteFileAtomically(path, text) != 0) {
    ui.ShowErrorBox("File write error", WriteCaption(kind));
    return -1;
  }
  return 0;
}

bool CheckAirspaceUpload(const AirspaceList& list, std::size_t nameLimit, Ui& ui) {
  if (!AnySelected(list)) {
    ui.ShowErrorBox("No CTR(s) selected", kUploadCaption);
    return false;
  }
  if (nameLimit == 0) return true;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].selected == 0) continue;
    for (std::size_t j = i + 1; j < list.size(); ++j) {
      if (list[j].selected == 0) continue;
      const std::string_view a = std::string_view(list[i].name).substr(0, nameLimit);
      const std::string_view b = std::string_view(list[j].name).substr(0, nameLimit);
      if (a != b) continue;
      const bool cut = list[i].name.size() > nameLimit ||
                       list[j].name.size() > nameLimit;
      ui.ShowErrorBox(cut ? "One or more of the selected CTRs have equal\r\nnames after limiting "
                            "the length to fit the GPS"
                          : "One or more of the selected CTRs have equal names",
                      kUploadCaption);
      return false;
    }
  }
  return true;
}

std::optional<std::uint32_t> ReadSegmentAccuracy(std::string_view text, Ui& ui) {
  constexpr std::string_view kCaption = "Set segment error";
  text = Trim(text, kSpacesAndTabs);
  if (text.empty()) {
    ui.ShowErrorBox("Missing input", kCaption);
    return std::nullopt;
  }
  const auto value = WholeNumber(text);
  if (!value) {
    ui.ShowErrorBox("Bad input", kCaption);
    return std::nullopt;
  }
  if (*value < 1) {
    ui.ShowErrorBox("Use 1m or greater", kCaption);
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(*value);
}

std::optional<AirspaceList> ReadAirspacesForUpload(const std::filesystem::path& path, Ui& ui,
                                                   AirspaceSettings& settings) {
  const auto text = LoadAirspaceFile(path, ui);
  if (!text) return std::nullopt;
  auto records = ParseOpenAir(*text, ui, settings);
  if (!records) return std::nullopt;
  for (AirspaceRecord& record : *records) record.selected = 1;
  return records;
}

}  // namespace logwell
