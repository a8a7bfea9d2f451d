#include "kml/kml_animation.h"

#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/ui.h"
#include "track/formats/format_text.h"
#include "base/atomic_file.h"
#include "kml/kml_save.h"
#include "track/statistics.h"

namespace logwell::kml {
namespace {

// Google Earth's directional track icon, as its KML 2.2 examples publish it.
constexpr std::string_view kTrackIcon =
    "http://earth.google.com/images/kml-icons/track-directional/track-0.png";

std::string Header() {
  std::string h;
  h.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  h.append(
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\""
      " xmlns:kml=\"http://www.opengis.net/kml/2.2\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\r\n");
  h.append("<Document>\r\n");
  h.append("  <name>Track</name>\r\n");
  h.append("  <Style id=\"multiTrack_n\">\r\n");
  h.append("    <IconStyle>\r\n      <Icon>\r\n        <href>").append(kTrackIcon);
  h.append("</href>\r\n      </Icon>\r\n    </IconStyle>\r\n");
  h.append("    <LineStyle>\r\n      <color>99ffac59</color>\r\n      <width>6</width>\r\n");
  h.append("    </LineStyle>\r\n  </Style>\r\n");
  h.append("  <StyleMap id=\"multiTrack\">\r\n");
  h.append("    <Pair>\r\n      <key>normal</key>\r\n      <styleUrl>#multiTrack_n</styleUrl>\r\n");
  h.append("    </Pair>\r\n");
  h.append("    <Pair>\r\n      <key>highlight</key>\r\n      <styleUrl>#multiTrack_h</styleUrl>\r\n");
  h.append("    </Pair>\r\n  </StyleMap>\r\n");
  h.append("  <Style id=\"multiTrack_h\">\r\n");
  h.append("    <IconStyle>\r\n      <scale>1.2</scale>\r\n      <Icon>\r\n        <href>");
  h.append(kTrackIcon).append("</href>\r\n      </Icon>\r\n    </IconStyle>\r\n");
  h.append("    <LineStyle>\r\n      <color>99ffac59</color>\r\n      <width>8</width>\r\n");
  h.append("    </LineStyle>\r\n  </Style>\r\n");
  h.append("  <Placemark>\r\n    <name>Pilot</name>\r\n    <styleUrl>#multiTrack</styleUrl>\r\n");
  h.append("    <gx:balloonVisibility>1</gx:balloonVisibility>\r\n");
  h.append("    <gx:Track>\r\n      <altitudeMode>absolute</altitudeMode>\r\n");
  return h;
}

}  // namespace

std::string BuildAnimationKml(std::span<const TrackPoint> points, bool timesAreUtc) {
  std::string text = Header();
  for (const TrackPoint& p : points) {
    const CalendarTime t = GarminTimeToCalendar(p.time);
    formats::AppendFormat(text, "      <when>%d-%02d-%02dT%02d:%02d:%02d%s</when>\r\n", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, timesAreUtc ? "Z" : "");
  }
  for (const TrackPoint& p : points) {
    formats::AppendFormat(text, "      <gx:coord>%.6f %.6f %d</gx:coord>\r\n",
                          formats::SemicirclesToDegrees(p.longitude),
                          formats::SemicirclesToDegrees(p.latitude),
                          DecimetresToMetres(p.gpsAltitude));
  }
  text.append("    </gx:Track>\r\n  </Placemark>\r\n</Document>\r\n</kml>\r\n");
  return text;
}

int SaveAnimationFile(std::span<const TrackPoint> selected, bool timesAreUtc,
                      const AnimationSaveContext& context, Ui& ui) {
  if (!context.trackLogShown || context.accessBusy) return -1;
  if (selected.size() < 2) {
    ui.ShowErrorBox("Less than 2 positions selected", kAnimationCaption);
    return -1;
  }
  std::string text;
  try {
    text = BuildAnimationKml(selected, timesAreUtc);
  } catch (const std::bad_alloc&) {
    ui.ShowErrorBox("Memory allocation error", kAnimationCaption);
    return -1;
  }
  const std::optional<std::string> chosen = ui.ChooseSaveFile(
      {"Save kml animation track", "GoogleEarth files (*.kml)", SuggestedKmlName(selected.front())});
  if (!chosen) return -1;
  std::filesystem::path path = *chosen;
  if (!path.has_extension()) path += ".kml";
  if (path.native().size() > kMaxKmlFileName) {
    ui.ShowErrorBox("Too long file name", kAnimationCaption);
    return -1;
  }
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored) &&
      ui.AskYesNo("File already exists, delete ?", kAnimationCaption, Answer::No) != Answer::Yes) {
    return -1;
  }
  const int error = WriteFileAtomically(path, text, WriteMode::Replace);
  if (error != 0) {
    ui.ShowErrorBox(error == ENOSPC || error == EIO || error == EDQUOT ? "File write error"
                                                                       : "Could not create file",
                    kAnimationCaption);
    return -1;
  }
  return 0;
}

}  // namespace logwell::kml
