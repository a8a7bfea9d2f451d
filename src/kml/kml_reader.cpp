#include "kml/kml_reader.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <new>

#include "base/ui.h"
#include "track/formats/format_text.h"
#include "kml/kml_hash.h"
#include "base/text.h"
#include "track/track_log.h"
#include "base/xml_scanner.h"
#include "base/xml_text.h"
#include "base/xml_walker.h"

namespace logwell::kml {
namespace {

// The parts of one track placemark, as views into the text.
struct TrackParts {
  std::optional<std::string_view> fsInfo;  // attribute text
  std::optional<std::string_view> seconds;
  std::optional<std::string_view> pressure;
  std::optional<std::string_view> coordinates;
};

class ReadFailure {
 public:
  explicit ReadFailure(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Walks the element structure and collects the track placemarks in file order.
class TrackCollector {
 public:
  // Files edited or written by other programs may lack the XML declaration.
  explicit TrackCollector(std::string_view text)
      : reader_(text, XmlStructureRules{.declarationOptional = true}) {}

  std::vector<TrackParts> Collect() {
    std::string error;
    if (!reader_.Start(error)) throw ReadFailure(error);
    XmlElementEvent event;
    while (true) {
      if (!reader_.Next(event, error)) throw ReadFailure(error);
      if (event.kind == XmlElementEvent::Kind::End) break;
      if (event.kind == XmlElementEvent::Kind::Open) {
        Open(event);
      } else {
        Close(event);
      }
    }
    return std::move(tracks_);
  }

 private:
  void Open(const XmlElementEvent& e) {
    if (e.name == "Folder") {
      folderTracks_.push_back(0);
    } else if (e.name == "Placemark") {
      placemarkDepth_ = e.depth;
      inPlacemark_ = true;
      current_ = {};
      placemarkTracks_ = 0;
      metadataDepth_.reset();
    } else if (inPlacemark_ && e.name == "Metadata" &&
               FindXmlAttribute(e.attributes, "type") == std::optional<std::string_view>("track")) {
        if (++placemarkTracks_ > 1) throw ReadFailure("Multiple tracks in one <Placemark> element");
        metadataDepth_ = e.depth;
    } else if (metadataDepth_ && e.name == "FsInfo" && !current_.fsInfo) {
      current_.fsInfo = e.attributes;
      fsInfoDepth_ = e.depth;
    }
  }

  void Close(const XmlElementEvent& e) {
    if (e.name == "Folder") {
      if (!folderTracks_.empty()) folderTracks_.pop_back();
    } else if (e.name == "Placemark" && inPlacemark_ && e.depth == placemarkDepth_) {
      inPlacemark_ = false;
      if (placemarkTracks_ > 0) AddTrack();
      metadataDepth_.reset();
      fsInfoDepth_.reset();
    } else if (fsInfoDepth_ && e.depth == *fsInfoDepth_ + 1 && e.parent == "FsInfo") {
      if (e.name == "SecondsFromTimeOfFirstPoint" && !current_.seconds) current_.seconds = e.content;
      if (e.name == "PressureAltitude" && !current_.pressure) current_.pressure = e.content;
    } else if (e.name == "FsInfo") {
      fsInfoDepth_.reset();
    } else if (inPlacemark_ && e.name == "coordinates" && e.parent == "LineString" &&
               !current_.coordinates) {
      current_.coordinates = e.content;
    }
  }

  void AddTrack() {
    if (!folderTracks_.empty() && ++folderTracks_.back() > 1) {
      throw ReadFailure("Multiple tracks in one <Folder> element");
    }
    if (tracks_.size() >= kMaxKmlTracks) {
      throw ReadFailure(FormatText("Number of tracks limited to %d", static_cast<int>(kMaxKmlTracks)));
    }
    tracks_.push_back(current_);
  }

  XmlStructureReader reader_;
  std::vector<TrackParts> tracks_;
  std::vector<int> folderTracks_;
  bool inPlacemark_ = false;
  std::size_t placemarkDepth_ = 0;
  int placemarkTracks_ = 0;
  std::optional<std::size_t> metadataDepth_;
  std::optional<std::size_t> fsInfoDepth_;
  TrackParts current_;
};

std::string Normalised(std::string_view text) {
  std::string copy(text);
  copy.resize(NormaliseXmlWhiteSpace(copy));
  return copy;
}

struct FirstTime {
  GarminTime time = 0;
  bool utc = false;
};

// "YYYY-MM-DDThh:mm:ss", optionally followed by "Z" or a zone offset (then moved to UTC).
std::optional<FirstTime> ParseFirstTime(std::string_view text) {
  const std::optional<formats::IsoTime> parsed = formats::ParseIsoDateTime(text);
  if (!parsed) return std::nullopt;
  return FirstTime{parsed->time, parsed->zoned};
}

std::string ChooserLine(const TrackParts& track) {
  if (!track.fsInfo) return "Missing track time";
  const std::string attributes = Normalised(*track.fsInfo);
  const auto value = FindXmlAttribute(attributes, "time_of_first_point");
  if (!value) return "Missing track time";
  const auto first = ParseFirstTime(DecodeXmlEntities(*value));
  if (!first) return "Bad track time";
  const CalendarTime t = GarminTimeToCalendar(first->time);
  return FormatText("%d-%02d-%02d   %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                    t.second);
}

// The space-separated fields of a normalised text.
std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  while (!text.empty()) {
    const std::size_t end = text.find(' ');
    fields.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return fields;
}

std::optional<std::int64_t> Whole(std::string_view field) {
  if (field.starts_with('+')) field.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc{} || end != field.data() + field.size() || field.empty()) {
    return std::nullopt;
  }
  return value;
}

void ReadOffsets(std::string_view text, GarminTime first, std::vector<TrackPoint>& points,
                 KmlHash& hash) {
  hash.Update(text);
  for (const std::string_view field : Fields(text)) {
    const std::optional<std::int64_t> offset = Whole(field);
    const std::int64_t time = offset ? static_cast<std::int64_t>(first) + *offset : -1;
    if (!offset || time < 0 || time > 0xFFFFFFFFll) {
      throw ReadFailure("Bad <SecondsFromTimeOfFirstPoint> data");
    }
    TrackPoint point;
    point.time = static_cast<GarminTime>(time);
    point.segmentStart = points.empty() ? 1u : 0u;
    if (!AppendTrackPoint(points, point)) {
      throw ReadFailure(std::string(TrackPointsFailure(points.size() + 1)));
    }
  }
}

void ReadPressure(std::string_view text, std::vector<TrackPoint>& points, KmlHash& hash) {
  const std::vector<std::string_view> fields = Fields(text);
  std::string piece;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::optional<std::int64_t> value = Whole(fields[i]);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
      throw ReadFailure("Bad <PressureAltitude> data");
    }
    if (i >= points.size()) break;
    points[i].pressureAltitude = static_cast<std::int32_t>(*value);
    piece.clear();
    formats::AppendFormat(piece, i + 1 == fields.size() ? "%d" : "%d ",
                          points[i].pressureAltitude);
    hash.Update(piece);
  }
  if (fields.size() != points.size()) {
    throw ReadFailure("Bad number of positions in <PressureAltitude>");
  }
}

// Altitudes beyond this many metres are no positions on or above the earth.
constexpr double kMaxAltitudeMetres = 100000.0;

void ReadCoordinates(std::string_view text, std::vector<TrackPoint>& points, KmlHash& hash) {
  const std::vector<std::string_view> fields = Fields(text);
  std::string piece;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string_view field = fields[i];
    std::array<double, 3> values{0.0, 0.0, 0.0};
    std::size_t count = 0;
    while (count < 3) {
      const std::size_t comma = field.find(',');
      const std::optional<double> value = formats::ParseDecimal(field.substr(0, comma));
      if (!value) throw ReadFailure("Bad <coordinates> data");
      values[count++] = *value;
      if (comma == std::string_view::npos) {
        field = {};
        break;
      }
      field.remove_prefix(comma + 1);
    }
    const auto [longitude, latitude, altitude] = values;
    if (count < 2 || !field.empty() || std::fabs(longitude) > 180.0 ||
        std::fabs(latitude) > 90.0 || std::fabs(altitude) > kMaxAltitudeMetres) {
      throw ReadFailure("Bad <coordinates> data");
    }
    if (i >= points.size()) break;
    TrackPoint& point = points[i];
    point.longitude = formats::DegreesToSemicircles(longitude);
    point.latitude = formats::DegreesToSemicircles(latitude);
    point.gpsAltitude = formats::RoundHalfAway(altitude * 10.0);
    piece.clear();
    formats::AppendFormat(piece, i + 1 == fields.size() ? "%.6f,%.6f,%d" : "%.6f,%.6f,%d ",
                          longitude, latitude, static_cast<int>(altitude));
    hash.Update(piece);
  }
  if (fields.size() != points.size()) {
    throw ReadFailure("Bad number of positions in <coordinates>");
  }
}

KmlReadResult ReadTrack(const TrackParts& track) {
  if (!track.fsInfo) throw ReadFailure("No track log information found");
  if (!track.seconds) throw ReadFailure("No track log time offsets found");
  if (!track.coordinates) throw ReadFailure("No track log positions found");
  const std::string attributes = Normalised(*track.fsInfo);
  KmlHash hash;
  const auto firstText = FindXmlAttribute(attributes, "time_of_first_point");
  const std::optional<FirstTime> first =
      firstText ? ParseFirstTime(DecodeXmlEntities(*firstText)) : std::nullopt;
  if (!first) throw ReadFailure("Bad time_of_first_point");
  // Attribute values are hashed as written, the way the writer hashed its escaped text.
  hash.Update(*firstText);
  for (const std::string_view name : {"instrument", "downloaded"}) {
    if (const auto value = FindXmlAttribute(attributes, name); value && !value->empty()) {
      hash.Update(*value);
    }
  }
  KmlReadResult result;
  ReadOffsets(DecodeXmlText(*track.seconds), first->time, result.points, hash);
  if (track.pressure) {
    ReadPressure(DecodeXmlText(*track.pressure), result.points, hash);
    result.altitudeFlag = 1;
  }
  ReadCoordinates(DecodeXmlText(*track.coordinates), result.points, hash);
  const std::string digest = hash.Finish();
  const auto stored = FindXmlAttribute(attributes, "hash");
  if (stored && *stored == digest) {
    result.signState = SignState::FileSignatureOk;
    result.timeIsUtc = first->utc ? 1 : 0;
  }
  return result;
}

// The track to read: the only one, the first one in quiet mode, or the user's choice.
// Nothing when the user cancelled.
std::optional<std::size_t> ChooseTrack(const std::vector<TrackParts>& tracks, Ui& ui, bool quiet) {
  if (tracks.size() == 1 || quiet) return 0;
  ListChoice choice;
  choice.title = "Track List";
  choice.prompt = "Select one of these tracks";
  choice.header = "Date / time";
  for (const TrackParts& track : tracks) choice.lines.push_back(ChooserLine(track));
  choice.preselected = 0;
  const std::optional<std::vector<int>> chosen = ui.ChooseFromList(choice);
  if (!chosen) return std::nullopt;
  if (chosen->empty() || chosen->front() < 0 ||
      static_cast<std::size_t>(chosen->front()) >= tracks.size()) {
    ui.ShowErrorBox("Dialog box error", "Select track");
    return std::nullopt;
  }
  return static_cast<std::size_t>(chosen->front());
}

}  // namespace

std::optional<KmlReadResult> ReadKmlTrack(std::string_view text, Ui& ui, bool quiet,
                                          std::string* error) {
  try {
    const std::vector<TrackParts> tracks = TrackCollector(text).Collect();
    if (tracks.empty()) throw ReadFailure("No track log found");
    const std::optional<std::size_t> chosen = ChooseTrack(tracks, ui, quiet);
    if (!chosen) {
      if (error) *error = "Cancelled";
      return std::nullopt;
    }
    return ReadTrack(tracks[*chosen]);
  } catch (const ReadFailure& failure) {
    if (error) *error = failure.Text();
    if (!quiet) ui.ShowErrorBox(failure.Text(), kKmlReadCaption);
  } catch (const std::bad_alloc&) {
    if (error) *error = std::string(kTrackLogMemoryError);
    if (!quiet) ui.ShowErrorBox(kTrackLogMemoryError, kKmlReadCaption);
  }
  return std::nullopt;
}

std::optional<std::vector<KmlReadResult>> ReadKmlTracks(std::string_view text, Ui& ui) {
  try {
    std::vector<KmlReadResult> read;
    for (const TrackParts& track : TrackCollector(text).Collect()) read.push_back(ReadTrack(track));
    return read;
  } catch (const ReadFailure& failure) {
    ui.ShowErrorBox(failure.Text(), kKmlReadCaption);
  } catch (const std::bad_alloc&) {
    ui.ShowErrorBox(kTrackLogMemoryError, kKmlReadCaption);
  }
  return std::nullopt;
}

}  // namespace logwell::kml
