#pragma once
// The degrees, minutes and seconds texts of a position in the result tables of the optimiser
// and the placemarks of the KML files: "N 46  30  12.34", "E 008  01  02.03".
#include <cstdint>
#include <string>

namespace logwell {

std::string LatitudeText(std::int32_t semicircles);
std::string LongitudeText(std::int32_t semicircles);

}  // namespace logwell
