#include "track/position_text.h"

#include <cstdlib>

#include "geo/units.h"
#include "base/text.h"

namespace logwell {
namespace {

std::string AngleText(std::int32_t semicircles, char positive, char negative, bool longitude) {
  const char hemisphere = semicircles < 0 ? negative : positive;
  const std::int64_t centi =
      std::llabs(static_cast<std::int64_t>(SemicirclesToCentiSeconds(semicircles)));
  const int degrees = static_cast<int>(centi / 360000);
  const int minutes = static_cast<int>(centi / 6000 % 60);
  const int seconds = static_cast<int>(centi / 100 % 60);
  const int hundredths = static_cast<int>(centi % 100);
  return longitude ? FormatText("%c %03d  %02d  %02d.%02d", hemisphere, degrees, minutes, seconds, hundredths)
                   : FormatText("%c %02d  %02d  %02d.%02d", hemisphere, degrees, minutes, seconds, hundredths);
}

}  // namespace

std::string LatitudeText(std::int32_t semicircles) { return AngleText(semicircles, 'N', 'S', false); }
std::string LongitudeText(std::int32_t semicircles) { return AngleText(semicircles, 'E', 'W', true); }

}  // namespace logwell
