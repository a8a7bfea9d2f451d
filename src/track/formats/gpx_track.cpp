#include "track/formats/gpx_track.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/ui.h"
#include "base/version.h"
#include "track/formats/format_text.h"
#include "base/text.h"
#include "base/xml_text.h"
#include "base/xml_walker.h"

namespace logwell {

using formats::AppendFormat;
using formats::SemicirclesToDegrees;

std::string WriteGpxTrack(std::span<const TrackPoint> points, const CalendarTime& nowUtc) {
  const std::vector<TrackPoint> one(points.begin(), points.end());
  return WriteGpxTracks(std::span(&one, 1), nowUtc);
}

std::string WriteGpxTracks(std::span<const std::vector<TrackPoint>> tracks,
                           const CalendarTime& nowUtc, std::string_view elementsBeforeTracks) {
  std::vector<TrackPoint> all;
  for (const auto& track : tracks) all.insert(all.end(), track.begin(), track.end());
  const std::span<const TrackPoint> points = all;
  std::string out;
  out.reserve(std::max<std::size_t>(10000, 800 + points.size() * 130 + elementsBeforeTracks.size()));
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  out += "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"\r\n";
  AppendFormat(out, "     creator=\"Logwell %d.%02d\"\r\n", kVersionNumber / 100,
               kVersionNumber % 100);
  out += "     version=\"1.1\"\r\n";
  out += "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n";
  out += "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
         "http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n";
  out += "  <metadata>\r\n";
  out += "    <link href=\"";
  out += kHomePageUrl;
  out += "\"><text>";
  out += kHomePageText;
  out += "</text></link>\r\n";
  AppendFormat(out, "    <time>%d-%02d-%02dT%02d:%02d:%02dZ</time>\r\n", nowUtc.year, nowUtc.month,
               nowUtc.day, nowUtc.hour, nowUtc.minute, nowUtc.second);
  // Each bound is the real extreme of its own coordinate, whichever way the track runs.
  std::int32_t minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
  if (!points.empty()) {
    const auto [lowLat, highLat] = std::minmax_element(
        points.begin(), points.end(), [](auto& a, auto& b) { return a.latitude < b.latitude; });
    const auto [lowLon, highLon] = std::minmax_element(
        points.begin(), points.end(), [](auto& a, auto& b) { return a.longitude < b.longitude; });
    minLat = lowLat->latitude;
    maxLat = highLat->latitude;
    minLon = lowLon->longitude;
    maxLon = highLon->longitude;
  }
  AppendFormat(out, "    <bounds minlat=\"%.6f\" minlon=\"%.6f\" maxlat=\"%.6f\" maxlon=\"%.6f\"/>\r\n",
               SemicirclesToDegrees(minLat), SemicirclesToDegrees(minLon),
               SemicirclesToDegrees(maxLat), SemicirclesToDegrees(maxLon));
  out += "  </metadata>\r\n";
  out += elementsBeforeTracks;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    AppendFormat(out, "  <trk>\r\n    <name>Track %03zu</name>\r\n    <trkseg>\r\n", i + 1);
    for (const TrackPoint& p : tracks[i]) {
      AppendFormat(out, "      <trkpt lat=\"%.6f\" lon=\"%.6f\">\r\n", SemicirclesToDegrees(p.latitude),
                   SemicirclesToDegrees(p.longitude));
      AppendFormat(out, "        <ele>%.1f</ele>\r\n", p.gpsAltitude * 0.1);
      const CalendarTime t = GarminTimeToCalendar(p.time);
      AppendFormat(out, "        <time>%d-%02d-%02dT%02d:%02d:%02dZ</time>\r\n", t.year, t.month,
                   t.day, t.hour, t.minute, t.second);
      out += "      </trkpt>\r\n";
    }
    out += "    </trkseg>\r\n  </trk>\r\n";
  }
  out += "</gpx>\r\n";
  return out;
}

namespace {

// What one <trkpt> element has shown so far.
struct PendingPoint {
  bool hadAttributes = false;
  std::string_view attributes;
  bool timeSeen = false;
  std::string_view time;
  bool elevationSeen = false;
  std::string_view elevation;
};

class GpxTrackReader {
 public:
  explicit GpxTrackReader(Ui& ui) : ui_(ui) {}

  std::optional<FileReadResult> Read(std::string_view text) {
    XmlStructureReader xml(text);
    std::string error;
    if (!xml.Start(error)) return Fail(error);
    XmlElementEvent event;
    while (true) {
      if (!xml.Next(event, error)) return Fail(error);
      if (event.kind == XmlElementEvent::Kind::End) break;
      const std::string_view parent = event.parent;
      if (event.kind == XmlElementEvent::Kind::Open) {
        if (!Open(event, parent)) return std::nullopt;
      } else if (!Close(event, parent)) {
        return std::nullopt;
      }
    }
    if (segments_.empty()) return Fail("No tracks found");
    return Choose();
  }

  // Every track, its segments joined in file order; nothing after one message.
  std::optional<std::vector<std::vector<TrackPoint>>> ReadAll(std::string_view text) {
    XmlStructureReader xml(text);
    std::string error;
    if (!xml.Start(error)) return FailAll(error);
    XmlElementEvent event;
    while (true) {
      if (!xml.Next(event, error)) return FailAll(error);
      if (event.kind == XmlElementEvent::Kind::End) break;
      const bool ok = event.kind == XmlElementEvent::Kind::Open ? Open(event, event.parent)
                                                                 : Close(event, event.parent);
      if (!ok) return std::nullopt;
    }
    std::vector<std::vector<TrackPoint>> tracks;
    for (std::size_t i = 0; i < segments_.size(); ++i) {
      if (i == 0 || segmentTrack_[i] != segmentTrack_[i - 1]) tracks.emplace_back();
      tracks.back().insert(tracks.back().end(), segments_[i].begin(), segments_[i].end());
    }
    return tracks;
  }

 private:
  bool Open(const XmlElementEvent& event, std::string_view parent) {
    if (event.name == "trk") {
      ++trackCount_;
    } else if (event.name == "trkseg" && parent == "trk") {
      inSegment_ = true;
      segment_.clear();
    } else if (event.name == "trkpt" && parent == "trkseg" && inSegment_) {
      inPoint_ = true;
      point_ = {};
      point_.hadAttributes = !event.attributes.empty();
      point_.attributes = event.attributes;
    }
    return true;
  }

  bool Close(const XmlElementEvent& event, std::string_view parent) {
    if (inPoint_ && parent == "trkpt") {
      if (event.name == "time") {
        point_.timeSeen = true;
        point_.time = event.content;
      } else if (event.name == "ele") {
        point_.elevationSeen = true;
        point_.elevation = event.content;
      }
    } else if (event.name == "trkpt" && inPoint_) {
      inPoint_ = false;
      return FinishPoint();
    } else if (event.name == "trkseg" && inSegment_) {
      inSegment_ = false;
      return FinishSegment();
    }
    return true;
  }

  bool FinishPoint() {
    const int number = static_cast<int>(segment_.size()) + 1;
    if (!point_.hadAttributes || !point_.timeSeen) {
      return Refuse(FormatText("Missing tag(s) for position %d", number));
    }
    const std::string decodedTime = DecodeXmlEntities(point_.time);
    const std::string_view timeText =
        TrimLeading(TrimTrailing(decodedTime, kBlanksAndLineEnds), kSpacesAndTabs);
    if (timeText.empty() || IsBlank(point_.attributes, kSpacesAndTabs)) {
      return Refuse(FormatText("Missing data for position %d", number));
    }
    TrackPoint point;
    const auto time = formats::ParseIsoDateTime(timeText);
    if (!time) return Refuse(FormatText("Bad time data for position %d", number));
    point.time = time->time;
    allZoned_ = allZoned_ && time->zoned;
    if (point_.elevationSeen) {
      const auto metres =
          formats::ParseDecimal(TrimTrailing(DecodeXmlEntities(point_.elevation), kBlanksAndLineEnds));
      if (!metres || std::fabs(*metres) > 1.0e6) {
        return Refuse(FormatText("Bad height data for position %d", number));
      }
      point.gpsAltitude = static_cast<std::int32_t>(*metres * 10.0);  // truncated
    }
    const auto latitude = Coordinate(point_.attributes, "lat", 90.0);
    if (!latitude) {
      return Refuse(FormatText("Missing/bad latitude data in position %d", number));
    }
    const auto longitude = Coordinate(point_.attributes, "lon", 180.0);
    if (!longitude) {
      return Refuse(FormatText("Missing/bad longitude data in position %d", number));
    }
    point.latitude = formats::DegreesToSemicircles(*latitude);
    point.longitude = formats::DegreesToSemicircles(*longitude);
    point.segmentStart = segment_.empty() ? 1 : 0;
    if (!AppendTrackPoint(segment_, point)) return Refuse(TrackPointsFailure(segment_.size() + 1));
    return true;
  }

  bool FinishSegment() {
    if (segment_.empty()) return true;  // an empty segment is no candidate track
    if (segments_.size() >= kMaxGpxSegments) return Refuse("Too many track segments");
    segments_.push_back(std::move(segment_));
    segmentTrack_.push_back(trackCount_);
    segment_ = {};
    return true;
  }

  std::optional<FileReadResult> Choose() {
    std::size_t chosen = 0;
    if (segments_.size() > 1) {
      ListChoice choice;
      choice.title = "Select track";
      for (const auto& segment : segments_) {
        const CalendarTime t = GarminTimeToCalendar(segment.front().time);
        choice.lines.push_back(FormatText("%d-%02d-%02d   %02d:%02d:%02d", t.year, t.month, t.day,
                                          t.hour, t.minute, t.second));
      }
      const std::optional<std::vector<int>> answer = ui_.ChooseFromList(choice);
      if (!answer) return std::nullopt;  // cancelled: nothing read, nothing to report
      if (answer->empty() || answer->front() < 0 ||
          static_cast<std::size_t>(answer->front()) >= segments_.size()) {
        ui_.ShowErrorBox("Dialog box error", "Select track");
        return std::nullopt;
      }
      chosen = static_cast<std::size_t>(answer->front());
    }
    FileReadResult result;
    result.points = std::move(segments_[chosen]);
    result.timeIsUtc = allZoned_ ? 1 : 0;  // every time named its zone and was moved to UTC
    return result;
  }

  static std::optional<double> Coordinate(std::string_view attributes, std::string_view name,
                                          double limit) {
    const auto value = FindXmlAttribute(attributes, name);
    if (!value) return std::nullopt;
    const auto degrees = formats::ParseDecimal(DecodeXmlEntities(*value));
    if (!degrees || *degrees < -limit || *degrees > limit) return std::nullopt;
    return degrees;
  }

  bool Refuse(std::string_view message) {
    Fail(message);
    return false;
  }

  std::optional<std::vector<std::vector<TrackPoint>>> FailAll(std::string_view message) {
    Fail(message);
    return std::nullopt;
  }

  std::optional<FileReadResult> Fail(std::string_view message) {
    ui_.ShowErrorBox(message, kParsingTrackLogCaption);
    return std::nullopt;
  }

  Ui& ui_;
  std::vector<std::vector<TrackPoint>> segments_;
  std::vector<std::size_t> segmentTrack_;  // the <trk> each segment belongs to
  std::size_t trackCount_ = 0;
  std::vector<TrackPoint> segment_;
  PendingPoint point_;
  bool inSegment_ = false;
  bool inPoint_ = false;
  bool allZoned_ = true;
};

}  // namespace

std::optional<FileReadResult> ReadGpxTrack(std::string_view text, Ui& ui) {
  return GpxTrackReader(ui).Read(formats::UpToNul(text));
}

std::optional<std::vector<std::vector<TrackPoint>>> ReadGpxTracks(std::string_view text, Ui& ui) {
  return GpxTrackReader(ui).ReadAll(formats::UpToNul(text));
}

}  // namespace logwell
