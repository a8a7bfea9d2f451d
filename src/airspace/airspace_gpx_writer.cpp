#include "airspace/airspace_gpx_writer.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "airspace/airspace_points.h"
#include "geo/units.h"
#include "base/text.h"
#include "base/xml_text.h"

namespace logwell {
namespace {

double ToDegrees(std::int32_t semicircles) {
  return RadiansToDegrees(SemicirclesToRadians(semicircles));
}

struct Bounds {
  double minLatitude = std::numeric_limits<double>::max();
  double maxLatitude = std::numeric_limits<double>::lowest();
  double minLongitude = std::numeric_limits<double>::max();
  double maxLongitude = std::numeric_limits<double>::lowest();
  bool any = false;
  void Add(double latitude, double longitude) {
    minLatitude = std::min(minLatitude, latitude);
    maxLatitude = std::max(maxLatitude, latitude);
    minLongitude = std::min(minLongitude, longitude);
    maxLongitude = std::max(maxLongitude, longitude);
    any = true;
  }
};

}  // namespace

std::string XmlText(std::string_view text) {
  std::string kept;
  for (const char c : AsUtf8(text)) {
    // Control characters are not allowed in XML text.
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') kept += c;
  }
  return EscapeXml(kept, XmlQuotes::Kept);
}

std::string MakeAirspaceGpx(const AirspaceList& records, std::uint32_t accuracy) {
  std::string tracks;
  Bounds bounds;
  char buffer[128];
  for (std::size_t index = 0; index < records.size(); ++index) {
    const AirspaceRecord& record = records[index];
    if (record.selected == 0) continue;
    tracks += "\r\n  <trk>\r\n    <name>" + XmlText(record.name) + "</name>\r\n    <trkseg>\r\n";
    for (const Waypoint& point : AirspaceToPoints(record, index, accuracy, 0)) {
      const double latitude = ToDegrees(point.latitude);
      const double longitude = ToDegrees(point.longitude);
      bounds.Add(latitude, longitude);
      std::snprintf(buffer, sizeof buffer, "      <trkpt lat=\"%.6f\" lon=\"%.6f\">\r\n", latitude,
                    longitude);
      tracks += buffer;
      tracks += "      </trkpt>\r\n";
    }
    tracks += "    </trkseg>\r\n  </trk>\r\n";
  }
  if (!bounds.any) bounds.Add(0.0, 0.0);

  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\r\n"
      "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"Logwell\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">";
  text += "\r\n  <metadata>\r\n    <bounds ";
  std::snprintf(buffer, sizeof buffer,
                "maxlat=\"%.6f\" maxlon=\"%.6f\" minlat=\"%.6f\" minlon=\"%.6f\"/>\r\n",
                bounds.maxLatitude, bounds.maxLongitude, bounds.minLatitude, bounds.minLongitude);
  text += buffer;
  text += "  </metadata>\r\n";
  text += tracks;
  text += "\r\n</gpx>\r\n";
  return text;
}

}  // namespace logwell
