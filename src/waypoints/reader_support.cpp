#include "waypoints/reader_support.h"

#include <cmath>

#include "geo/units.h"
#include "base/text.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

SplitCoordinate SplitScaled(std::int32_t semicircles, char positive, char negative,
                            double unitsPerSemicircle) {
  SplitCoordinate split;
  split.hemisphere = semicircles < 0 ? negative : positive;
  const double magnitude = std::fabs(static_cast<double>(semicircles));
  split.units = static_cast<std::int64_t>(magnitude * unitsPerSemicircle + 0.5);
  return split;
}

}  // namespace

IdentifierFixer::Outcome IdentifierFixer::Check(std::string_view raw, std::string_view lineText,
                                                std::string& id) {
  if (auto checked = SanitiseImportId(raw, fixAll_)) {
    id = std::move(*checked);
    return Outcome::Accept;
  }
  if (context_.fixIdentifiers) {
    auto fixed = SanitiseImportId(raw, true);
    if (!fixed) return Outcome::Bad;  // nothing to fix: the identifier is empty
    id = std::move(*fixed);
    ++context_.fixedIdentifiers;
    return Outcome::Accept;
  }
  if (!context_.interactive || fixAll_) return Outcome::Bad;
  ListChoice question;
  question.title = "Modify waypoint ID";
  question.prompt = std::string(lineText.substr(0, 200));
  question.footnote = "Modify (-> uppercase or truncate) this ID ?";
  question.lines = {"&Yes", "Yes to &All", "&No (skip)"};
  const auto answer = context_.ui.ChooseFromList(question);
  if (!answer || answer->size() != 1) return Outcome::Bad;
  switch ((*answer)[0]) {
    case 0:
      break;
    case 1:
      fixAll_ = true;
      break;
    case 2:
      return Outcome::Skip;
    default:
      return Outcome::Bad;
  }
  auto fixed = SanitiseImportId(raw, true);
  if (!fixed) return Outcome::Bad;  // nothing to fix: the identifier is empty
  id = std::move(*fixed);
  return Outcome::Accept;
}

int ReportBadLine(Ui& ui, int lineNumber, std::string_view caption) {
  ui.ShowErrorBox(Printf("Bad line %d", lineNumber), caption);
  return -1;
}

SplitCoordinate SplitCentiSeconds(std::int32_t semicircles, char positive, char negative) {
  return SplitScaled(semicircles, positive, negative, kCentiSecondsPerSemicircle);
}

SplitCoordinate SplitMilliMinutes(std::int32_t semicircles, char positive, char negative) {
  return SplitScaled(semicircles, positive, negative, kMilliMinutesPerSemicircle);
}

}  // namespace logwell

#include "geo/projection.h"

namespace logwell {

void SetDescriptionAndAirfieldMark(Waypoint& waypoint, std::string_view rest) {
  rest = TrimTrailing(rest, kSpaces);
  if (rest.size() >= 3 && rest[rest.size() - 3] == '[' && (rest[rest.size() - 2] == 'A' ||
                                                           rest[rest.size() - 2] == 'a') &&
      rest.back() == ']') {
    waypoint.type = 1;
    rest.remove_suffix(3);
  }
  waypoint.SetDescription(SanitiseDescription(rest));
}

std::int32_t NonNegativeAltitude(double metres) {
  return metres < 0.0 ? 0 : AddHalfTruncate(metres);
}

std::optional<ZoneAndBand> ScanUtmZone(std::string_view text) {
  ZoneAndBand result;
  std::size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 3) {
    result.zone = result.zone * 10 + (text[i] - '0');
    ++i;
  }
  if (i == 0 || result.zone < 1 || result.zone > 60) return std::nullopt;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i >= text.size()) return std::nullopt;
  char band = text[i];
  if (band >= 'a' && band <= 'z') band = static_cast<char>(band - 'a' + 'A');
  if (band < 'B' || band > 'X' || band == 'I' || band == 'O') return std::nullopt;
  result.band = band;
  result.length = i + 1;
  return result;
}

std::optional<SemicirclePoint> UtmToSemicircles(const ZoneAndBand& zone, double easting,
                                                double northing) {
  if (!(easting >= 0.0 && easting <= 1000000.0) || !(northing >= 0.0 && northing <= 20000000.0)) {
    return std::nullopt;
  }
  UtmPosition utm;
  utm.easting = easting;
  utm.northing = northing;
  utm.zone = zone.zone;
  utm.band = zone.band;
  return ToSemicirclePoint(UtmToGeo(utm));
}

}  // namespace logwell
