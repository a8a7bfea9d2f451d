#include "track/formats/kml_track.h"

#include <expat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/text.h"
#include "track/formats/format_text.h"
#include "track/track_log.h"

namespace logwell {
namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n";
constexpr std::size_t kMaxShownText = 40;

// The local part of a name from the namespace-aware parser ("URI Track" or "Track").
std::string_view LocalName(const XML_Char* name) {
  const std::string_view full(name);
  const std::size_t space = full.rfind(' ');
  return space == std::string_view::npos ? full : full.substr(space + 1);
}

std::vector<std::string_view> SplitOn(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(separators, at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
    parts.push_back(text.substr(start, end - start));
    at = end;
  }
  return parts;
}

// "lon,lat[,alt]" or "lon lat [alt]" already split into its numbers; false when a number is
// bad or out of range.
bool ReadPosition(std::span<const std::string_view> numbers, TrackPoint& point) {
  if (numbers.size() < 2 || numbers.size() > 3) return false;
  const auto longitude = formats::ParseDecimal(numbers[0]);
  const auto latitude = formats::ParseDecimal(numbers[1]);
  if (!longitude || !latitude || std::fabs(*longitude) > 180.0 || std::fabs(*latitude) > 90.0) {
    return false;
  }
  point.longitude = formats::DegreesToSemicircles(*longitude);
  point.latitude = formats::DegreesToSemicircles(*latitude);
  point.gpsAltitude = 0;
  if (numbers.size() == 3) {
    const auto metres = formats::ParseDecimal(numbers[2]);
    if (!metres || std::fabs(*metres) > 1.0e6) return false;
    point.gpsAltitude = static_cast<std::int32_t>(*metres * 10.0);  // decimetres, truncated
  }
  return true;
}

std::string Shown(std::string_view text) {
  return std::string(CutUtf8(Trim(text, kWhiteSpace), kMaxShownText));
}

// One gx:Track: its times and positions in file order; an empty <when/> is a position without
// a time.
struct TimedTrack {
  std::vector<std::string> whens;
  std::vector<std::string> coords;
};

struct Placemark {
  std::string name;
  std::string begin;
  std::string end;
  std::vector<std::vector<TrackPoint>> lineStrings;
  std::vector<std::string> badLineStrings;  // the first bad position of each
  std::vector<TimedTrack> timedTracks;
  bool hasPoint = false;
};

class OtherKmlReader {
 public:
  explicit OtherKmlReader(OtherKmlRead& read) : read_(read) {}

  void Start(std::string_view name, unsigned long line) {
    if (names_.empty() && name != "kml") throw Failure{"No <kml> root element"};
    if (names_.size() >= kMaxOtherKmlNesting) {
      throw Failure{FormatText("Nesting limit exceeded at tag <%s> at line %lu: elements are "
                               "nested more than %zu deep",
                               std::string(CutUtf8(name, kMaxShownText)).c_str(), line,
                               kMaxOtherKmlNesting)};
    }
    names_.emplace_back(name);
    text_.clear();
    if (name == "Placemark") {
      placemark_.emplace();
    } else if (placemark_ && name == "Track") {
      placemark_->timedTracks.emplace_back();
    } else if (placemark_ && name == "Point") {
      placemark_->hasPoint = true;
    }
  }

  void End() {
    const std::string element = names_.back();
    names_.pop_back();
    const std::string_view parent = names_.empty() ? std::string_view{} : names_.back();
    if (!placemark_) return;
    Placemark& p = *placemark_;
    if (element == "name" && parent == "Placemark") {
      p.name = std::string(Trim(text_, kWhiteSpace));
    } else if (element == "begin" && parent == "TimeSpan") {
      p.begin = text_;
    } else if (element == "end" && parent == "TimeSpan") {
      p.end = text_;
    } else if (element == "when" && parent == "Track" && !p.timedTracks.empty()) {
      p.timedTracks.back().whens.push_back(text_);
    } else if (element == "coord" && parent == "Track" && !p.timedTracks.empty()) {
      p.timedTracks.back().coords.push_back(text_);
    } else if (element == "coordinates" && parent == "LineString") {
      ReadLineString(p);
    } else if (element == "Placemark") {
      FinishPlacemark(p);
      placemark_.reset();
    }
    text_.clear();
  }

  void Text(std::string_view text) {
    // Only the leaf elements read here carry text worth keeping.
    static constexpr std::string_view kLeaves[] = {"name",  "begin", "end",
                                                   "when",  "coord", "coordinates"};
    if (placemark_ && !names_.empty() && std::ranges::find(kLeaves, names_.back()) != std::end(kLeaves)) {
      text_.append(text);
    }
  }

  struct Failure {
    std::string text;
  };

 private:
  static void Add(std::vector<TrackPoint>& points, TrackPoint point, bool opensSegment) {
    point.segmentStart = opensSegment ? 1 : 0;
    if (!AppendTrackPoint(points, point)) throw Failure{std::string(kTrackLogMemoryError)};
  }

  void ReadLineString(Placemark& p) {
    std::vector<TrackPoint> points;
    for (const std::string_view tuple : SplitOn(text_, kWhiteSpace)) {
      TrackPoint point;
      if (!ReadPosition(SplitOn(tuple, ","), point)) {
        p.badLineStrings.push_back(Shown(tuple));
        return;
      }
      Add(points, point, points.empty());
    }
    if (!points.empty()) p.lineStrings.push_back(std::move(points));
  }

  std::string Quoted(const Placemark& p) const {
    return p.name.empty() ? FormatText("%zu", read_.tracks.size() + 1)
                          : "\"" + std::string(CutUtf8(p.name, kMaxShownText)) + "\"";
  }

  void Keep(const Placemark& p, std::vector<TrackPoint>&& points) {
    if (read_.tracks.size() >= kMaxOtherKmlTracks) {
      throw Failure{FormatText("More than %zu tracks", kMaxOtherKmlTracks)};
    }
    read_.tracks.push_back({p.name, std::move(points)});
  }

  void FinishPlacemark(const Placemark& p) {
    if (p.hasPoint) ++read_.pointPlacemarks;
    const std::string track = "Track " + Quoted(p);
    for (const std::string& bad : p.badLineStrings) {
      read_.notes.push_back(track + ": a line with the bad position \"" + bad + "\" left out");
    }
    if (!p.timedTracks.empty()) {
      FinishTimedTracks(p, track);
    } else if (!p.lineStrings.empty()) {
      FinishLineStrings(p, track);
    }
  }

  // The gx:Tracks of a placemark (one, or the segments of a gx:MultiTrack) as one track.
  void FinishTimedTracks(const Placemark& p, const std::string& track) {
    std::vector<TrackPoint> points;
    std::size_t untimed = 0;
    for (const TimedTrack& timed : p.timedTracks) {
      if (timed.whens.size() != timed.coords.size()) {
        read_.notes.push_back(FormatText("%s: a segment of %zu times and %zu positions left out",
                                         track.c_str(), timed.whens.size(), timed.coords.size()));
        continue;
      }
      bool opensSegment = true;
      for (std::size_t i = 0; i < timed.coords.size(); ++i) {
        TrackPoint point;
        if (!ReadPosition(SplitOn(timed.coords[i], kWhiteSpace), point)) {
          throw Failure{track + ": bad position \"" + Shown(timed.coords[i]) + "\""};
        }
        if (IsBlank(timed.whens[i], kWhiteSpace)) {
          ++untimed;
          continue;
        }
        const auto time = formats::ParseIsoDateTime(timed.whens[i]);
        if (!time) throw Failure{track + ": bad time \"" + Shown(timed.whens[i]) + "\""};
        point.time = time->time;
        point.milliseconds = time->milliseconds;
        Add(points, point, opensSegment);
        opensSegment = false;
      }
    }
    if (untimed > 0) {
      read_.notes.push_back(FormatText("%s: %zu positions without a time left out", track.c_str(),
                                       untimed));
    }
    if (!points.empty()) Keep(p, std::move(points));
  }

  // LineStrings have no times: with a TimeSpan they are timed evenly across it.
  void FinishLineStrings(const Placemark& p, const std::string& track) {
    std::size_t count = 0;
    for (const auto& line : p.lineStrings) count += line.size();
    const auto begin = formats::ParseIsoDateTime(p.begin);
    const auto end = formats::ParseIsoDateTime(p.end);
    if (!begin || !end || count < 2) {
      read_.notes.push_back(FormatText("%s not read: its %zu positions have no times",
                                       track.c_str(), count));
      return;
    }
    const double start = static_cast<double>(begin->time) + begin->milliseconds / 1000.0;
    const double stop = static_cast<double>(end->time) + end->milliseconds / 1000.0;
    if (!(stop > start)) {
      read_.notes.push_back(FormatText("%s not read: its %zu positions have no times and its "
                                       "TimeSpan ends before it begins",
                                       track.c_str(), count));
      return;
    }
    std::vector<TrackPoint> points;
    points.reserve(count);
    std::size_t index = 0;
    for (const auto& line : p.lineStrings) {
      for (std::size_t i = 0; i < line.size(); ++i, ++index) {
        TrackPoint point = line[i];
        const double at = start + (stop - start) * static_cast<double>(index) /
                                      static_cast<double>(count - 1);
        const double whole = std::floor(at);
        point.time = static_cast<GarminTime>(whole);
        point.milliseconds = static_cast<std::uint16_t>(
            std::min(999.0, std::round((at - whole) * 1000.0)));
        Add(points, point, i == 0);
      }
    }
    read_.notes.push_back(FormatText("%s: %zu positions without times, timed evenly from its "
                                     "TimeSpan begin to its end",
                                     track.c_str(), count));
    Keep(p, std::move(points));
  }

  OtherKmlRead& read_;
  std::vector<std::string> names_;  // open elements; "-" for those not read
  std::string text_;
  std::optional<Placemark> placemark_;
};

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

struct ParseState {
  OtherKmlReader reader;
  XML_Parser parser = nullptr;
  std::optional<std::string> failure;

  // Runs one step of the reader; the first failure stops the parse. No exception may leave
  // a callback of the parser.
  template <typename Step>
  void Run(Step step) {
    if (failure) return;
    try {
      step();
    } catch (const OtherKmlReader::Failure& f) {
      failure = f.text;
    } catch (const std::bad_alloc&) {
      failure = std::string(kTrackLogMemoryError);
    }
    if (failure) XML_StopParser(parser, XML_FALSE);
  }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char**) {
  auto* state = static_cast<ParseState*>(data);
  state->Run([&] {
    state->reader.Start(LocalName(name),
                        static_cast<unsigned long>(XML_GetCurrentLineNumber(state->parser)));
  });
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
  auto* state = static_cast<ParseState*>(data);
  state->Run([&] { state->reader.End(); });
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* state = static_cast<ParseState*>(data);
  state->Run([&] { state->reader.Text(std::string_view(text, static_cast<std::size_t>(length))); });
}

}  // namespace

std::optional<OtherKmlRead> ReadOtherKmlTracks(std::string_view text, std::string& error) {
  if (text.size() > kMaxOtherKmlBytes) {
    error = FormatText("File too large: %zu MB, the limit is %zu MB", text.size() >> 20,
                       kMaxOtherKmlBytes >> 20);
    return std::nullopt;
  }
  OtherKmlRead read;
  try {
    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS(nullptr, ' '));
    if (!parser) throw std::bad_alloc();
    ParseState state{OtherKmlReader(read), parser.get(), std::nullopt};
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t at = 0;
    do {
      const std::size_t n = std::min(kChunk, text.size() - at);
      const bool last = at + n == text.size();
      if (XML_Parse(parser.get(), text.data() + at, static_cast<int>(n), last ? 1 : 0) !=
          XML_STATUS_OK) {
        if (state.failure) break;
        error = FormatText("%s at line %lu", XML_ErrorString(XML_GetErrorCode(parser.get())),
                           static_cast<unsigned long>(XML_GetCurrentLineNumber(parser.get())));
        return std::nullopt;
      }
      if (state.failure) break;
      at += n;
    } while (at < text.size());
    if (state.failure) {
      error = *state.failure;
      return std::nullopt;
    }
  } catch (const std::bad_alloc&) {
    error = std::string(kTrackLogMemoryError);
    return std::nullopt;
  }
  return read;
}

}  // namespace logwell
