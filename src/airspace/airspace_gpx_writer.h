#pragma once
// Airspaces as a GPX 1.1 file: one track per selected airspace, its outline as track points,
// and the bounds of all points in the metadata.
#include <cstdint>
#include <string>

#include "airspace/airspace_record.h"

namespace logwell {

std::string MakeAirspaceGpx(const AirspaceList& records, std::uint32_t accuracy);

// Text for XML content: '&', '<' and '>' escaped, and single-byte (Latin-1) text turned into
// UTF-8; UTF-8 text stays as it is.
std::string XmlText(std::string_view text);

}  // namespace logwell
