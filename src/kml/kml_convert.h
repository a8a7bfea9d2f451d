#pragma once
// Conversions between IGC and KML files: the text conversions, and the batch commands
// "Convert .igc files to .kml" and "&Convert .kml files to .igc" over the files a user chose.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "optimise/distance_analysis.h"
#include "model/garmin_time.h"

namespace logwell {
class Ui;
}

namespace logwell::kml {

enum class ConversionDirection { IgcToKml, KmlToIgc };

// The document of an IGC text: the XContest claim, statistics and distance analysis,
// `downloaded` = `convertedAt`, no signature, no pilot identifiers, times not marked UTC, with
// pressure altitudes, no description, instrument "unknown". Nothing, with the failure in
// `error`.
std::optional<std::string> IgcTextToKml(std::string_view igcText, GarminTime convertedAt,
                                        std::string& error,
                                        std::uint32_t loopGap = kDefaultLoopGap);

// The IGC text of a KML file's first track, without header texts, security record, ENL or task.
std::optional<std::string> KmlTextToIgc(std::string_view kmlText, const CalendarTime& convertedAt,
                                        Ui& ui, std::string& error);

struct BatchOptions {
  // The pauses between the steps (200 ms after reading, 1000 ms between files); tests pass 0.
  std::chrono::milliseconds afterRead{200};
  std::chrono::milliseconds betweenFiles{1000};
  std::uint32_t loopGap = kDefaultLoopGap;
  std::optional<CalendarTime> now;  // the conversion time; the clock when not given
};

inline constexpr std::size_t kMaxBatchPathLength = 260;

// Converts each file to the other format under the same name with the other extension,
// replacing any file of that name. The first failure ends the batch with its message.
// Returns the number of files converted, or -1.
int ConvertFiles(ConversionDirection direction, std::span<const std::filesystem::path> files,
                 Ui& ui, const BatchOptions& options = {});

std::string_view BatchCaption(ConversionDirection direction);

}  // namespace logwell::kml
