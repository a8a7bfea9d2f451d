#include "devices/flytec/flytec_all_tracks.h"

#include <ctime>
#include <filesystem>

#include "access/access_framework.h"
#include "base/ui.h"
#include "devices/flytec/flytec_tracks.h"
#include "optimise/distance_analysis.h"
#include "base/atomic_file.h"
#include "kml/kml_writer.h"
#include "track/statistics.h"
#include "base/text.h"

namespace logwell::flytec {
namespace {

constexpr std::string_view kCaption = "Read GPS track logs";
constexpr std::string_view kSaveTitle = "Save track for Trackvault";
constexpr std::size_t kMinimumPoints = 10;
constexpr std::size_t kMaxFileName = 256;
constexpr std::chrono::milliseconds kAllTracksSilence{3000};

// Appends the Google Earth folder of one track. False after the failure was shown.
bool AppendTrackFolder(AccessBlock& block, std::vector<TrackPoint>& points, bool signedTrack,
                       std::string& folders) {
  kml::KmlTrackInfo info;
  info.statistics = ComputeStatistics(points);
  AnalysisOptions options;
  options.halt = nullptr;
  if (AnalyseDistances(points, info.analysis, options) < 0) {
    ShowAccessError(block, "Analysing track", kCaption);
    return false;
  }
  info.points = points;
  info.downloaded = UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr)));
  info.withHash = signedTrack;
  info.timesAreUtc = true;
  info.withPressureAltitude = true;
  const int body = kml::WriteKmlBody(folders, info, std::nullopt, block.source.InstrumentText());
  if (body == kml::kKmlBodyBadDescription) {
    ShowAccessError(block, "Wide character conversion error", "Making GoogleEarth track folder");
    return false;
  }
  if (body != kml::kKmlBodyOk) {
    ShowAccessError(block, "Making GoogleEarth track folder", kCaption);
    return false;
  }
  return true;
}

// Asks for the file and writes the document. Nothing is written when the user cancels.
void SaveDocument(AccessBlock& block, const std::string& folders) {
  if (block.owner == nullptr) return;
  Ui& ui = *block.owner;
  const auto chosen = ui.ChooseSaveFile({std::string(kSaveTitle), "Trackvault files (*.kml)", ""});
  if (!chosen) return;
  std::string name = *chosen;
  if (!std::filesystem::path(name).has_extension()) name += ".kml";
  if (name.size() > kMaxFileName) {
    ui.ShowErrorBox("Too long file name", "Error opening file");
    return;
  }
  std::error_code error;
  if (std::filesystem::exists(name, error) &&
      ui.AskYesNo("File already exists. Overwrite ?", kSaveTitle, Answer::No) != Answer::Yes) {
    return;
  }
  std::string text(kml::kKmlDocumentStart);
  text += folders;
  text += kml::kKmlDocumentEnd;
  if (const int failed = WriteFileAtomically(name, text); failed != 0) {
    ui.ShowSystemError(failed, "File write error");
    return;
  }
  ui.ShowInfoBox("File written", "Save Trackvault track");
  ui.ShowProduct(name);
}

}  // namespace

int RunReadAllTracks(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ReadTrackList(block) < 0) return -1;
  if (!SelectTracks(block, context)) return -1;

  TrackDownloadStyle style;
  style.caption = kCaption;
  style.silence = kAllTracksSilence;
  style.allTracks = true;
  std::string folders;
  for (int index = 0; index < static_cast<int>(kMaxTrackListEntries); ++index) {
    if (!block.trackSelection.test(static_cast<std::size_t>(index))) continue;
    DownloadedTrack track;
    if (DownloadOneTrack(block, context, true, index, nullptr, track, style) < 0) return -1;
    if (track.points.size() < kMinimumPoints) continue;
    ShowAccessStatus(block, FillTemplate("Analysing track log %", {index + 1}));
    if (!AppendTrackFolder(block, track.points, track.signedTrack, folders)) return -1;
  }
  ShowAccessStatus(block, "Downloading completed");
  SaveDocument(block, folders);
  return -1;
}

}  // namespace logwell::flytec
