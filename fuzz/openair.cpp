// Reads any bytes as OpenAir text. Whatever is read must survive being written with its arcs
// and read again, and every outline must turn into points and into the other file forms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "airspace/airspace_gpx_writer.h"
#include "airspace/airspace_points.h"
#include "airspace/airspace_webmap_writer.h"
#include "airspace/openair_reader.h"
#include "airspace/openair_writer.h"
#include "base/ui.h"

namespace {

// Nobody answers: the reader shows nothing itself, and airway notices are switched off.
class SilentUi final : public logwell::Ui {
 public:
  void ShowErrorBox(std::string_view, std::string_view) override {}
  void ShowInfoBox(std::string_view, std::string_view) override {}
  logwell::Answer AskOkCancel(std::string_view, std::string_view, logwell::Answer a) override { return a; }
  logwell::Answer AskYesNo(std::string_view, std::string_view, logwell::Answer a) override { return a; }
  logwell::Answer AskYesNoCancel(std::string_view, std::string_view, logwell::Answer a) override { return a; }
  void ShowStatus(std::string_view) override {}
  void ShowProduct(std::string_view) override {}
  std::optional<std::vector<int>> ChooseFromList(const logwell::ListChoice&) override { return std::nullopt; }
  logwell::NewTrackLogChoice AskNewTrackLog(const logwell::NewTrackLogForm&) override {
    return logwell::NewTrackLogChoice::Cancel;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SilentUi ui;
  logwell::AirspaceSettings settings;
  settings.skipAirwayNotifications = true;
  logwell::OpenAirParse parsed = logwell::ReadOpenAirText(text, ui, settings);
  if (parsed.error) return 0;
  // Keep the outline work bounded: a few airspaces show every path.
  if (parsed.records.size() > 8) parsed.records.resize(8);
  for (auto& record : parsed.records) record.selected = 1;

  const std::string written = logwell::MakeOpenAirText(parsed.records, logwell::OpenAirArcs::Keep, 10);
  logwell::OpenAirParse again = logwell::ReadOpenAirText(written, ui, settings);
  if (again.error || again.records.size() != parsed.records.size()) std::abort();

  for (std::size_t i = 0; i < parsed.records.size(); ++i) {
    (void)logwell::AirspaceToPoints(parsed.records[i], i, 100, 0);
  }
  (void)logwell::MakeAirspaceGpx(parsed.records, 100);
  (void)logwell::MakeAirspaceWebMap(parsed.records, 100);
  (void)logwell::MakeOpenAirText(parsed.records, logwell::OpenAirArcs::AsPoints, 100);
  return 0;
}
