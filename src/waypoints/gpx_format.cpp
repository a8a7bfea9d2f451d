// GPX waypoint files: every "wpt" element directly inside "gpx" is a waypoint; routes and
// tracks are passed over. Written as GPX 1.1.
#include <algorithm>

#include "base/xml_scanner.h"
#include "base/xml_text.h"
#include "base/xml_walker.h"
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kCaption = "Parsing waypoint file";
constexpr std::string_view kHomePage = "https://logwell.example.org/";

// The child elements of one "wpt" seen so far.
struct GpxWaypointElements {
  std::string_view attributes;
  std::optional<std::string_view> ele, time, name, cmt, desc, type;

  std::optional<std::string_view>* Child(std::string_view element) {
    if (element == "ele") return &ele;
    if (element == "time") return &time;
    if (element == "name") return &name;
    if (element == "cmt") return &cmt;
    if (element == "desc") return &desc;
    if (element == "type") return &type;
    return nullptr;
  }
};

enum class Built { Waypoint, Skip, Failed };

Built Fail(Ui& ui, const char* format, int number) {
  ui.ShowErrorBox(Printf(format, number), kCaption);
  return Built::Failed;
}

Built BuildWaypoint(const GpxWaypointElements& elements, int number, IdentifierFixer& fixer,
                    WaypointReadContext& context, Waypoint& waypoint) {
  Ui& ui = context.ui;
  if (IsBlank(elements.attributes, kSpaces)) {
    return Fail(ui, "Missing position data for waypoint %d", number);
  }
  const std::string name = DecodeXmlText(elements.name.value_or(""));
  if (name.empty()) return Fail(ui, "Missing name data for waypoint %d", number);
  std::string id;
  switch (fixer.Check(name, name, id)) {
    case IdentifierFixer::Outcome::Accept:
      break;
    case IdentifierFixer::Outcome::Skip:
      return Built::Skip;
    case IdentifierFixer::Outcome::Bad:
      if (context.interactive) return Built::Failed;  // the user cancelled
      return Fail(ui, "Bad ID for waypoint %d", number);
  }
  waypoint.SetId(id);
  const auto description = elements.desc ? elements.desc : elements.cmt;
  waypoint.SetDescription(SanitiseDescription(DecodeXmlText(description.value_or(""))));
  if (elements.type && EqualsIgnoringCase(DecodeXmlText(*elements.type), "AIRPORT")) waypoint.type = 1;

  waypoint.time = context.now;
  if (elements.time) {
    const GarminTime time = ParseIsoTime(DecodeXmlText(*elements.time));
    if (time == kInvalidGarminTime1 || time == kInvalidGarminTime2) {
      return Fail(ui, "Bad time data for waypoint %d", number);
    }
    waypoint.time = time;
  }
  const std::string ele = DecodeXmlText(elements.ele.value_or(""));
  if (!ele.empty()) {
    const auto metres = ParseWholeDecimal(ele);
    if (!metres) return Fail(ui, "Bad height data for waypoint %d", number);
    waypoint.altitude = AddHalfTruncate(*metres);
  }
  const auto lat = FindXmlAttribute(elements.attributes, "lat");
  const auto latitude = lat ? ParseWholeDecimal(DecodeXmlEntities(*lat)) : std::nullopt;
  if (!latitude || !(*latitude >= -90.0 && *latitude <= 90.0)) {
    return Fail(ui, "Missing/bad latitude data in waypoint %d", number);
  }
  const auto lon = FindXmlAttribute(elements.attributes, "lon");
  const auto longitude = lon ? ParseWholeDecimal(DecodeXmlEntities(*lon)) : std::nullopt;
  if (!longitude || !(*longitude >= -180.0 && *longitude <= 180.0)) {
    return Fail(ui, "Missing/bad longitude data in waypoint %d", number);
  }
  waypoint.latitude = DegreesToSemicircles(*latitude);
  waypoint.longitude = DegreesToSemicircles(*longitude);
  return Built::Waypoint;
}

std::string IsoTime(GarminTime time, const char* zone) {
  const CalendarTime t = GarminTimeToCalendar(time);
  return Printf("%d-%02d-%02dT%02d:%02d:%02d%s", t.year, t.month, t.day, t.hour, t.minute,
                t.second, zone);
}

}  // namespace

int ReadGpxWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints) {
  ReportingXmlReader walker(StripUtf8Bom(text), context.ui, kCaption, kWaypointXmlRules);
  IdentifierFixer fixer(context);
  std::vector<Waypoint> read;
  std::optional<GpxWaypointElements> current;
  std::size_t wptDepth = 0;
  int number = 0;
  while (const auto event = walker.Next()) {
    using Kind = XmlElementEvent::Kind;
    if (!current) {
      if (event->kind == Kind::Open && event->name == "wpt" && event->parent == "gpx") {
        ++number;
        current.emplace();
        current->attributes = event->attributes;
        wptDepth = event->depth;
      }
      continue;
    }
    if (event->kind != Kind::Close) continue;
    if (event->depth == wptDepth + 1) {
      if (auto* child = current->Child(event->name)) *child = event->content;
      continue;
    }
    if (event->name != "wpt" || event->depth != wptDepth) continue;
    Waypoint waypoint;
    const Built built = BuildWaypoint(*current, number, fixer, context, waypoint);
    current.reset();
    if (built == Built::Failed) return -1;
    if (built == Built::Skip) continue;
    ReserveForOneMore(read, 50);
    read.push_back(waypoint);
  }
  if (walker.Failed()) return -1;
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

std::string WriteGpxWaypoints(std::span<const Waypoint> waypoints, GarminTime now) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  text += "<gpx\r\n";
  text += "     xmlns=\"http://www.topografix.com/GPX/1/1\"\r\n";
  text += Printf("     creator=\"Logwell %d.%02d\"\r\n", kLogwellVersionMajor, kLogwellVersionMinor);
  text += "     version=\"1.1\"\r\n";
  text += "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n";
  text += "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
          "http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n";
  text += "  <metadata>\r\n";
  text += Printf("    <link href=\"%.*s\"><text>Logwell flight instrument tool</text></link>\r\n",
                 static_cast<int>(kHomePage.size()), kHomePage.data());
  text += Printf("    <time>%s</time>\r\n", IsoTime(now, "Z").c_str());
  double minLat = 0, minLon = 0, maxLat = 0, maxLon = 0;
  for (std::size_t i = 0; i < waypoints.size(); ++i) {
    const double lat = SemicirclesToDegrees(waypoints[i].latitude);
    const double lon = SemicirclesToDegrees(waypoints[i].longitude);
    minLat = i == 0 ? lat : std::min(minLat, lat);
    maxLat = i == 0 ? lat : std::max(maxLat, lat);
    minLon = i == 0 ? lon : std::min(minLon, lon);
    maxLon = i == 0 ? lon : std::max(maxLon, lon);
  }
  text += Printf("    <bounds minlat=\"%.6f\" minlon=\"%.6f\" maxlat=\"%.6f\" maxlon=\"%.6f\"/>\r\n",
                 minLat, minLon, maxLat, maxLon);
  text += "  </metadata>\r\n";
  for (const Waypoint& waypoint : waypoints) {
    const std::string description = EscapeXml(waypoint.Description(), XmlQuotes::Escaped);
    text += Printf("  <wpt lat=\"%.6f\" lon=\"%.6f\">\r\n", SemicirclesToDegrees(waypoint.latitude),
                   SemicirclesToDegrees(waypoint.longitude));
    text += Printf("    <ele>%.1f</ele>\r\n", static_cast<double>(waypoint.altitude));
    text += Printf("    <time>%s</time>\r\n", IsoTime(waypoint.time, "").c_str());
    text += Printf("    <name>%s</name>\r\n", EscapeXml(waypoint.Id(), XmlQuotes::Escaped).c_str());
    text += Printf("    <cmt>%s</cmt>\r\n", description.c_str());
    text += Printf("    <desc>%s</desc>\r\n", description.c_str());
    text += "    <sym>Dot</sym>\r\n";
    if (waypoint.type == 1) text += "    <type>Airport</type>\r\n";
    text += "  </wpt>\r\n";
  }
  text += "</gpx>\r\n";
  return text;
}

}  // namespace logwell
