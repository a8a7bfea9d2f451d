#include "kml/kml_convert.h"

#include <cerrno>
#include <new>
#include <thread>
#include <vector>

#include "base/ui.h"
#include "base/atomic_file.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"
#include "track/igc/igc_writer.h"
#include "kml/kml_reader.h"
#include "kml/kml_save.h"
#include "kml/kml_writer.h"
#include "track/statistics.h"
#include "base/text.h"

namespace logwell::kml {
namespace {

class BatchFailure {
 public:
  explicit BatchFailure(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

std::string ReadForBatch(const std::filesystem::path& path) {
  ReadFileResult read = ReadWholeFile(path);
  switch (read.status) {
    case ReadStatus::Ok: return std::move(read.bytes);
    case ReadStatus::Empty: throw BatchFailure("Empty file");
    case ReadStatus::NoMemory: throw BatchFailure("Memory allocation  error");
    case ReadStatus::TooLarge: throw BatchFailure(FileTooLargeText(read.size));
    case ReadStatus::ReadFailed: throw BatchFailure("File read error");
    case ReadStatus::NotAFile: throw BatchFailure("File size read error");
    default: throw BatchFailure("File open error");
  }
}

}  // namespace

std::optional<std::string> IgcTextToKml(std::string_view igcText, GarminTime convertedAt,
                                        std::string& error, std::uint32_t loopGap) {
  // A file of several flights (one A record each) becomes a document of several tracks; its
  // flights too short for a track are left out.
  igc::IgcFlightsResult decoded = igc::DecodeIgcFlights(igcText);
  if (!decoded.Ok()) {
    error = "File decode error";
    return std::nullopt;
  }
  // A file whose own security record checks out (this program's, written from a download)
  // keeps its proof: the KML carries the signature that CHKKML confirms.
  const bool proven = igc::CheckSecurityRecord(igcText) == igc::SecurityCheckResult::Passed;
  const bool several = decoded.flights.size() > 1;
  try {
    std::string bodies;
    for (igc::IgcDecodeResult& flight : decoded.flights) {
      if (several && flight.points.size() < kMinKmlPositions) continue;
      KmlTrackInfo info;
      info.points = flight.points;
      NormaliseMissingTimes(info.points);
      info.statistics = ComputeStatistics(flight.points);
      info.loopGap = loopGap;
      info.claim = ScoreClaim(flight.points, kDefaultContestRules);
      AnalysisOptions analysis;
      analysis.loopGap = loopGap;
      if (AnalyseDistances(flight.points, info.analysis, analysis) != 0) {
        error = "Memory allocation error";
        return std::nullopt;
      }
      info.downloaded = convertedAt;
      info.withHash = proven;
      info.timesAreUtc = false;
      info.withPressureAltitude = true;
      std::string body;
      const int result = WriteKmlBody(body, info, std::nullopt, std::nullopt);
      if (result != kKmlBodyOk) {
        error = std::string(KmlBodyErrorText(result));
        return std::nullopt;
      }
      bodies += body;
    }
    if (bodies.empty()) {
      error = "Too few track positions";
      return std::nullopt;
    }
    return KmlDocumentOf(bodies);
  } catch (const std::bad_alloc&) {
    error = "Memory allocation error";
    return std::nullopt;
  }
}

std::optional<std::string> KmlTextToIgc(std::string_view kmlText, const CalendarTime& convertedAt,
                                        Ui& ui, std::string& error) {
  std::string readError;
  std::optional<KmlReadResult> read = ReadKmlTrack(kmlText, ui, true, &readError);
  if (!read || read->points.empty()) {
    error = "File decode error";
    return std::nullopt;
  }
  igc::IgcEncodeInput input;
  input.points = read->points;
  input.downloadTime = convertedAt;
  input.loggerSerial = "000";
  // A KML whose signature is confirmed passes its proof on as the IGC security record.
  if (read->signState == SignState::FileSignatureOk) {
    input.signState = SignState::Downloaded;
    input.wantSecurityRecord = true;
  }
  std::optional<igc::IgcEncodeResult> encoded = igc::EncodeIgc(input);
  if (!encoded) {
    error = "Memory allocation error";
    return std::nullopt;
  }
  return std::move(encoded->text);
}

std::string_view BatchCaption(ConversionDirection direction) {
  return direction == ConversionDirection::IgcToKml ? "Convert .igc to .kml"
                                                    : "Convert .kml to .igc";
}

int ConvertFiles(ConversionDirection direction, std::span<const std::filesystem::path> files,
                 Ui& ui, const BatchOptions& options) {
  const std::string_view caption = BatchCaption(direction);
  const bool toKml = direction == ConversionDirection::IgcToKml;
  const std::string_view from = toKml ? ".igc" : ".kml";
  const std::string_view to = toKml ? ".kml" : ".igc";
  if (files.empty()) {
    ui.ShowErrorBox("No file(s) selected", caption);
    return -1;
  }
  for (const auto& file : files) {
    if (file.native().size() > kMaxBatchPathLength) {
      ui.ShowErrorBox("Too long filename", caption);
      return -1;
    }
  }
  // The conversion time is taken once for the whole batch.
  const CalendarTime now = options.now ? *options.now : CurrentUtcCalendar();
  int converted = 0;
  try {
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::filesystem::path& file = files[i];
      if (LowerExtension(file) != from) throw BatchFailure("File contains invalid extension");
      const std::string prefix =
          FormatText("(%d) ", static_cast<int>(files.size() - i)) +
          std::string(std::string_view(file.string()).substr(0, 70));
      ui.ShowStatus(prefix + ": Reading");
      const std::string bytes = ReadForBatch(file);
      std::this_thread::sleep_for(options.afterRead);
      ui.ShowStatus(prefix + ": Analysing");
      std::string error;
      const std::optional<std::string> output =
          toKml ? IgcTextToKml(bytes, CalendarToGarminTime(now), error, options.loopGap)
                : KmlTextToIgc(bytes, now, ui, error);
      if (!output) throw BatchFailure(error);
      ui.ShowStatus(prefix + ": Saving");
      std::filesystem::path target = file;
      target.replace_extension(std::string(to));
      const int written = WriteFileAtomically(target, *output, WriteMode::Replace);
      if (written != 0) {
        throw BatchFailure(written == ENOSPC || written == EIO || written == EDQUOT
                               ? "File write error"
                               : "File open error");
      }
      ++converted;
      if (i + 1 < files.size()) std::this_thread::sleep_for(options.betweenFiles);
    }
  } catch (const BatchFailure& failure) {
    ui.ShowErrorBox(failure.Text(), caption);
    return -1;
  }
  ui.ShowStatus(FormatText("%d file(s) converted", converted));
  return converted;
}

}  // namespace logwell::kml
