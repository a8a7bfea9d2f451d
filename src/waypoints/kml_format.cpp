// Google Earth KML waypoint files: the placemarks with a point inside a folder named
// "Waypoints" are the waypoints (name, description, "longitude,latitude,altitude").
#include "base/xml_text.h"
#include "base/xml_walker.h"
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kCaption = "Parsing waypoint file";

struct Placemark {
  std::string_view name, description, coordinates;
  bool hasPoint = false;
};

std::optional<SemicirclePoint> ParseCoordinates(std::string_view text, std::int32_t& altitude) {
  std::string normalised = DecodeXmlText(text);
  const std::vector<std::string_view> parts = SplitFields(normalised, ',', 4);
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  const auto longitude = ParseWholeDecimal(parts[0]);
  const auto latitude = ParseWholeDecimal(parts[1]);
  if (!latitude || !longitude || !(*latitude >= -90.0 && *latitude <= 90.0) ||
      !(*longitude >= -180.0 && *longitude <= 180.0)) {
    return std::nullopt;
  }
  altitude = 0;
  if (parts.size() == 3) {
    const auto metres = ParseWholeDecimal(parts[2]);
    if (!metres) return std::nullopt;
    altitude = RoundHalfAway(*metres);
  }
  return SemicirclePoint{DegreesToSemicircles(*latitude), DegreesToSemicircles(*longitude)};
}

enum class Built { Waypoint, Skip, Failed };

Built BuildWaypoint(const Placemark& placemark, IdentifierFixer& fixer,
                    WaypointReadContext& context, Waypoint& waypoint) {
  const std::string name = DecodeXmlText(placemark.name);
  std::string id;
  switch (fixer.Check(name, name, id)) {
    case IdentifierFixer::Outcome::Accept:
      break;
    case IdentifierFixer::Outcome::Skip:
      return Built::Skip;
    case IdentifierFixer::Outcome::Bad:
      if (!context.interactive) {
        context.ui.ShowErrorBox(Printf("Bad ID for waypoint %s", name.substr(0, 60).c_str()),
                                kCaption);
      }
      return Built::Failed;
  }
  waypoint.SetId(id);
  waypoint.SetDescription(SanitiseDescription(DecodeXmlText(placemark.description)));
  waypoint.time = context.now;
  const auto position = ParseCoordinates(placemark.coordinates, waypoint.altitude);
  if (!position) {
    context.ui.ShowErrorBox(Printf("Bad <coordinates> in waypoint %s", name.substr(0, 60).c_str()),
                            kCaption);
    return Built::Failed;
  }
  waypoint.latitude = position->latitude;
  waypoint.longitude = position->longitude;
  return Built::Waypoint;
}

}  // namespace

int ReadKmlWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints) {
  ReportingXmlReader walker(StripUtf8Bom(text), context.ui, kCaption, kWaypointXmlRules);
  IdentifierFixer fixer(context);
  std::vector<Waypoint> read;
  std::vector<bool> folders;  // per open Folder: is it the "Waypoints" folder
  std::optional<Placemark> placemark;
  const auto inWaypointFolder = [&folders] {
    for (bool waypointsFolder : folders) {
      if (waypointsFolder) return true;
    }
    return false;
  };
  while (const auto event = walker.Next()) {
    using Kind = XmlElementEvent::Kind;
    if (event->name == "Folder") {
      if (event->kind == Kind::Open) {
        folders.push_back(false);
      } else if (!folders.empty()) {
        folders.pop_back();
      }
      continue;
    }
    if (event->kind == Kind::Close && event->name == "name" && event->parent == "Folder" &&
        !folders.empty()) {
      folders.back() = DecodeXmlText(event->content) == "Waypoints";
      continue;
    }
    if (event->name == "Placemark") {
      if (event->kind == Kind::Open && inWaypointFolder()) placemark.emplace();
      if (event->kind != Kind::Close || !placemark) continue;
      const bool hasPoint = placemark->hasPoint;
      Waypoint waypoint;
      const Built built = hasPoint ? BuildWaypoint(*placemark, fixer, context, waypoint) : Built::Skip;
      placemark.reset();
      if (built == Built::Failed) return -1;
      if (built == Built::Skip) continue;
      ReserveForOneMore(read, 50);
      read.push_back(waypoint);
      continue;
    }
    if (!placemark || event->kind != Kind::Close) continue;
    if (event->name == "name" && event->parent == "Placemark") placemark->name = event->content;
    if (event->name == "description" && event->parent == "Placemark") {
      placemark->description = event->content;
    }
    if (event->name == "coordinates" && event->parent == "Point") {
      placemark->coordinates = event->content;
      placemark->hasPoint = true;
    }
  }
  if (walker.Failed()) return -1;
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

std::string WriteKmlWaypoints(std::span<const Waypoint> waypoints) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  text += "<kml xmlns=\"http://earth.google.com/kml/2.1\">\r\n";
  text += "  <Document>\r\n    <Folder>\r\n      <name>Waypoints</name>\r\n";
  for (const Waypoint& waypoint : waypoints) {
    text += "      <Placemark>\r\n";
    text += Printf("        <name>%s</name>\r\n", EscapeXml(waypoint.Id(), XmlQuotes::Escaped).c_str());
    text += Printf("        <description>%s</description>\r\n",
                   EscapeXml(waypoint.Description(), XmlQuotes::Escaped).c_str());
    text += "        <Point>\r\n";
    text += Printf("        <coordinates>%.6f,%.6f,%.6f</coordinates>\r\n",
                   SemicirclesToDegrees(waypoint.longitude), SemicirclesToDegrees(waypoint.latitude),
                   static_cast<double>(waypoint.altitude));
    text += "        </Point>\r\n      </Placemark>\r\n";
  }
  text += "    </Folder>\r\n  </Document>\r\n</kml>\r\n";
  return text;
}

}  // namespace logwell
