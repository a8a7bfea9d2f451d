#include "airspace/openair_reader.h"

#include <cstdio>
#include <new>

#include "airspace/text_cursor.h"
#include "base/text.h"
#include "base/ui.h"

namespace logwell {
namespace {

constexpr double kMetresPerNauticalMile = 1852.185;
constexpr double kMaxRadiusNumber = 10000.0;

std::string WithLine(const char* format, int line) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, line);
  return buffer;
}

// One coordinate: degrees, then ":minutes" (and ":seconds" with an optional fraction, or a
// fraction of minutes) or a fraction of degrees; optional spaces; the hemisphere letter.
std::optional<double> ReadCoordinate(TextCursor& cursor, double maxDegrees, char positive,
                                     char negative) {
  const auto degrees = cursor.Whole();
  if (!degrees || static_cast<double>(*degrees) > maxDegrees) return std::nullopt;
  double value = static_cast<double>(*degrees);
  if (cursor.Take(':')) {
    const auto minutes = cursor.Whole();
    if (!minutes || *minutes > 60) return std::nullopt;
    double minuteValue = static_cast<double>(*minutes);
    if (cursor.Take(':')) {
      const auto seconds = cursor.Whole();
      if (!seconds || *seconds > 60) return std::nullopt;
      value += (static_cast<double>(*seconds) + cursor.Fraction(true)) / 3600.0;
    } else {
      minuteValue += cursor.Fraction(true);
    }
    value += minuteValue / 60.0;
  } else {
    value += cursor.Fraction(true);
  }
  if (value > maxDegrees) return std::nullopt;
  cursor.SkipSpaces();
  const char letter = static_cast<char>(cursor.Peek() & ~0x20);  // upper case
  if (letter == positive) {
    cursor.Advance();
    return value;
  }
  if (letter == negative) {
    cursor.Advance();
    return -value;
  }
  return std::nullopt;
}

// Latitude, at least one space, longitude.
std::optional<DegreePosition> ReadPosition(TextCursor& cursor) {
  const auto latitude = ReadCoordinate(cursor, 90.0, 'N', 'S');
  if (!latitude || cursor.SkipSpaces() == 0) return std::nullopt;
  const auto longitude = ReadCoordinate(cursor, 180.0, 'E', 'W');
  if (!longitude) return std::nullopt;
  return DegreePosition{*latitude, *longitude};
}

// A radius above 0 and at most 10000, in kilometres with "km" or "KM", else nautical miles;
// rounded to whole metres. A radius that rounds to no metres at all is refused too: it would
// be written back as 0 and could not be read again.
std::optional<std::uint32_t> ReadRadius(TextCursor& cursor, bool commaAllowed) {
  const auto number = cursor.Decimal(commaAllowed);
  if (!number || *number <= 0.0 || *number > kMaxRadiusNumber) return std::nullopt;
  cursor.SkipSpaces();
  double metresPerUnit = kMetresPerNauticalMile;
  if ((cursor.Peek() == 'k' && cursor.Peek(1) == 'm') ||
      (cursor.Peek() == 'K' && cursor.Peek(1) == 'M')) {
    metresPerUnit = 1000.0;
    cursor.Advance(2);
  }
  const auto metres = static_cast<std::uint32_t>(*number * metresPerUnit + 0.5);
  if (metres == 0) return std::nullopt;
  return metres;
}

// An arc angle, 0 to 360 degrees.
std::optional<double> ReadAngle(TextCursor& cursor) {
  const auto angle = cursor.Decimal(false);
  if (!angle || *angle > 360.0) return std::nullopt;
  return angle;
}

bool TakeComma(TextCursor& cursor) {
  cursor.SkipSpaces();
  if (!cursor.Take(',')) return false;
  cursor.SkipSpaces();
  return true;
}

enum class CentreState { None, Set, Used };

class OpenAirParser {
 public:
  OpenAirParser(Ui& ui, AirspaceSettings& settings) : ui_(ui), settings_(settings) {}

  OpenAirParse Run(std::string_view text) {
    // A byte-order mark is no part of the first line.
    text = StripUtf8Bom(text);
    int line = 1;
    std::size_t start = 0;
    while (start < text.size() && !error_) {
      std::size_t end = start;
      while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
      ReadLine(text.substr(start, end - start), line);
      if (end < text.size() && text[end] == '\n') ++line;
      start = end + 1;
    }
    if (!error_) Finish();
    OpenAirParse result;
    if (error_) {
      result.error = std::move(error_);
    } else {
      result.records = std::move(records_);
    }
    return result;
  }

 private:
  void Fail(std::string message) {
    if (!error_) error_ = std::move(message);
  }

  AirspaceRecord* Current() { return recordOpen_ ? &records_.back() : nullptr; }

  void ReadLine(std::string_view lineText, int line) {
    TextCursor cursor(lineText);
    cursor.SkipSpaces();
    if (cursor.AtEnd() || cursor.Peek() == '*') return;
    const std::size_t keywordStart = cursor.Position();
    while (!cursor.AtEnd() && !TextCursor::IsSpace(cursor.Peek())) cursor.Advance();
    const std::string_view keyword = lineText.substr(keywordStart, cursor.Position() - keywordStart);
    cursor.SkipSpaces();
    const std::string_view argument = TrimTrailing(cursor.Rest(), kSpacesAndTabs);
    line_ = line;

    if (opener_.empty() && (keyword == "AN" || keyword == "AC")) opener_ = keyword;
    if (keyword == opener_) {
      StartRecord();
      if (error_) return;
    } else if (dropping_) {
      return;  // the rest of a dropped airway, up to the next airspace
    }
    Dispatch(keyword, argument);
  }

  void Dispatch(std::string_view keyword, std::string_view argument) {
    if (keyword == "AN") {
      OnName(argument);
    } else if (keyword == "AC") {
      if (auto* record = NeedRecord()) record->SetClass(argument);
    } else if (keyword == "AH") {
      OnHeight(argument, HeightKind::Ceiling, "Bad ceiling format (line %d)");
    } else if (keyword == "AL") {
      OnHeight(argument, HeightKind::Floor, "Bad remark format (line %d)");
    } else if (keyword == "V") {
      OnVariable(argument);
    } else if (keyword == "DP") {
      OnPoint(argument);
    } else if (keyword == "DB") {
      OnArcByPoints(argument);
    } else if (keyword == "DA") {
      OnArcByAngles(argument);
    } else if (keyword == "DC") {
      OnCircle(argument);
    } else if (keyword == "DY") {
      OnAirway();
    } else if (keyword == "AT" || keyword == "TO" || keyword == "TC" || keyword == "SB" ||
               keyword == "SP") {
      // Label positions, colours and other display hints: not kept.
    } else if (keyword == "AY") {
      OnType(argument);
    } else if (keyword == "AF" || keyword == "AG" || keyword == "AA" || keyword == "AR" ||
               keyword == "AX" || keyword == "AI") {
      // The extended dialect's frequency, station, activation times, radio, transponder code
      // and identifier: the airspace record has no room for them, so they are passed over.
    } else {
      Fail(WithLine("Unknown record type on line %d", line_));
    }
  }

  // The extended dialect's airspace type beside the ICAO class of AC ("AC D" with "AY TMA",
  // "AC UNC" with "AY R"). The record keeps one class: the type takes its place only when AC
  // named none this program knows and the type is one it does.
  void OnType(std::string_view argument) {
    AirspaceRecord* record = NeedRecord();
    if (record && record->classCode == kOtherAirspaceClass &&
        AirspaceClassCode(argument) != kOtherAirspaceClass) {
      record->SetClass(argument);
    }
  }

  // Lines that belong to an airspace need one to be open: before the first AN or AC line there
  // is none.
  AirspaceRecord* NeedRecord() {
    if (auto* record = Current()) return record;
    Fail(WithLine("Missing AN or AC record before line %d", line_));
    return nullptr;
  }

  bool CheckComplete(const AirspaceRecord& record) {
    if (record.name.empty()) {
      Fail("Missing airspace name");
      return false;
    }
    if (record.segments.empty()) {
      Fail(WithLine("No segments in airspace (line %d)", record.firstLine));
      return false;
    }
    return true;
  }

  void StartRecord() {
    if (const auto* record = Current(); record && !CheckComplete(*record)) return;
    AirspaceRecord record;
    record.firstLine = line_;
    records_.push_back(std::move(record));
    recordOpen_ = true;
    dropping_ = false;
    direction_ = '+';
  }

  void Finish() {
    if (centre_ == CentreState::Set) {
      Fail(WithLine("Missing DB or DC segment (line %d)", centreLine_));
      return;
    }
    if (const auto* record = Current()) CheckComplete(*record);
  }

  void OnName(std::string_view argument) {
    auto* record = NeedRecord();
    if (!record) return;
    if (argument.empty()) {
      Fail("Missing airspace name");
      return;
    }
    record->SetName(argument);
  }

  void OnHeight(std::string_view argument, HeightKind kind, const char* badFormat) {
    auto* record = NeedRecord();
    if (!record) return;
    const auto height = ReadHeightText(argument, kind);
    if (!height) {
      Fail(WithLine(badFormat, line_));
      return;
    }
    if (kind == HeightKind::Ceiling) {
      record->ceilingText = height->storedText;
      record->ceiling = height->metres;
    } else {
      record->floorText = height->storedText;
      record->floor = height->metres;
    }
  }

  // "V" optional spaces, one of D X W Z T, optional spaces, '=', optional spaces, a value.
  void OnVariable(std::string_view argument) {
    TextCursor cursor(argument);
    cursor.SkipSpaces();
    const char name = cursor.Peek();
    const bool known = name == 'D' || name == 'X' || name == 'W' || name == 'Z' || name == 'T';
    if (known) cursor.Advance();
    cursor.SkipSpaces();
    const bool assigned = known && cursor.Take('=');
    cursor.SkipSpaces();
    if (!assigned || cursor.AtEnd()) {
      Fail(WithLine("Bad variable assignment format on line %d", line_));
      return;
    }
    if (name == 'D') {
      OnDirection(cursor);
    } else if (name == 'X') {
      OnCentre(cursor);
    }
    // W, Z and T (width, zoom, tolerance) do not change the boundary.
  }

  void OnDirection(TextCursor& cursor) {
    const char sign = cursor.Peek();
    if ((sign != '+' && sign != '-') || !(cursor.Peek(1) == '\0' || TextCursor::IsSpace(cursor.Peek(1)))) {
      Fail(WithLine("Bad direction format on line %d", line_));
      return;
    }
    direction_ = sign;
  }

  void OnCentre(TextCursor& cursor) {
    const auto position = ReadPosition(cursor);
    if (!position || !cursor.OnlyCommentFollows()) {
      Fail(WithLine("Bad position format on line %d", line_));
      return;
    }
    if (centre_ == CentreState::Set) {
      Fail("Multiple V record types");
      return;
    }
    centrePosition_ = *position;
    centre_ = CentreState::Set;
    centreLine_ = line_;
  }

  void OnPoint(std::string_view argument) {
    auto* record = NeedRecord();
    if (!record) return;
    TextCursor cursor(argument);
    const auto position = ReadPosition(cursor);
    if (!position || !cursor.OnlyCommentFollows()) {
      Fail(WithLine("Bad position format on line %d", line_));
      return;
    }
    if (centre_ == CentreState::Set) {
      Fail(WithLine("Expected a DB or DC record (line %d)", line_));
      return;
    }
    AirspaceSegment segment;
    segment.kind = SegmentKind::Point;
    segment.position = *position;
    record->segments.push_back(segment);
  }

  // An arc needs a centre that is set, or that an earlier arc used.
  bool HaveArcCentre() {
    if (centre_ != CentreState::None) return true;
    Fail(WithLine("Missing centre for DB record (line %d)", line_));
    return false;
  }

  void OnArcByPoints(std::string_view argument) {
    auto* record = NeedRecord();
    if (!record) return;
    TextCursor cursor(argument);
    const auto from = ReadPosition(cursor);
    const bool comma = from && TakeComma(cursor);
    const auto to = comma ? ReadPosition(cursor) : std::nullopt;
    if (!to || !cursor.OnlyCommentFollows()) {
      Fail(WithLine("Bad arc position format on line %d", line_));
      return;
    }
    if (!HaveArcCentre()) return;
    AirspaceSegment segment;
    segment.kind = SegmentKind::ArcByPoints;
    segment.position = centrePosition_;
    segment.from = *from;
    segment.to = *to;
    segment.direction = direction_;
    record->segments.push_back(segment);
    centre_ = CentreState::Used;
  }

  // Radius, start angle, end angle. Commas separate the three, so decimals take a '.' here.
  void OnArcByAngles(std::string_view argument) {
    auto* record = NeedRecord();
    if (!record) return;
    TextCursor cursor(argument);
    const auto radius = ReadRadius(cursor, false);
    const auto start = radius && TakeComma(cursor) ? ReadAngle(cursor) : std::nullopt;
    const auto end = start && TakeComma(cursor) ? ReadAngle(cursor) : std::nullopt;
    if (!end || !cursor.OnlyCommentFollows()) {
      Fail(WithLine("Bad arc position format on line %d", line_));
      return;
    }
    if (!HaveArcCentre()) return;
    AirspaceSegment segment;
    segment.kind = SegmentKind::ArcByAngles;
    segment.position = centrePosition_;
    segment.radius = *radius;
    segment.startAngle = *start;
    segment.endAngle = *end;
    segment.direction = direction_;
    record->segments.push_back(segment);
    centre_ = CentreState::Used;
  }

  void OnCircle(std::string_view argument) {
    auto* record = NeedRecord();
    if (!record) return;
    TextCursor cursor(argument);
    const auto radius = ReadRadius(cursor, true);
    if (!radius || !cursor.OnlyCommentFollows()) {
      Fail(WithLine("Bad radius format on line %d", line_));
      return;
    }
    if (centre_ != CentreState::Set) {
      Fail(WithLine("Missing centre for DC record (line %d)", line_));
      return;
    }
    AirspaceSegment segment;
    segment.kind = SegmentKind::Circle;
    segment.position = centrePosition_;
    segment.radius = *radius;
    record->segments.push_back(segment);
    centre_ = CentreState::None;
  }

  // Airways are not supported: the airspace in which the line stands is dropped, and its
  // further lines are passed over up to the next airspace.
  void OnAirway() {
    const auto* record = Current();
    if (!record) return;
    const int firstLine = record->firstLine;
    records_.pop_back();
    recordOpen_ = false;
    dropping_ = true;
    centre_ = CentreState::None;
    if (!settings_.skipAirwayNotifications) {
      const bool skip = ui_.ShowSkippableNotice(
          WithLine("CTR at line %d:  DY record (not implemented)", firstLine),
          "CTR error notification");
      if (skip) settings_.skipAirwayNotifications = true;
    }
  }

  Ui& ui_;
  AirspaceSettings& settings_;
  AirspaceList records_;
  std::optional<std::string> error_;
  std::string_view opener_;
  bool recordOpen_ = false;
  bool dropping_ = false;
  char direction_ = '+';
  CentreState centre_ = CentreState::None;
  DegreePosition centrePosition_;
  int centreLine_ = 0;
  int line_ = 0;
};

}  // namespace

OpenAirParse ReadOpenAirText(std::string_view text, Ui& ui, AirspaceSettings& settings) {
  try {
    return OpenAirParser(ui, settings).Run(text);
  } catch (const std::bad_alloc&) {
    OpenAirParse result;
    result.error = "Memory allocation error";
    return result;
  }
}

std::optional<AirspaceList> ParseOpenAir(std::string_view text, Ui& ui, AirspaceSettings& settings) {
  OpenAirParse parsed = ReadOpenAirText(text, ui, settings);
  if (parsed.error) {
    ui.ShowErrorBox(*parsed.error, kParseCaption);
    return std::nullopt;
  }
  return std::move(parsed.records);
}

std::optional<DegreePosition> ReadOpenAirPosition(std::string_view text) {
  TextCursor cursor(text);
  cursor.SkipSpaces();
  const auto position = ReadPosition(cursor);
  if (!position || !cursor.OnlyCommentFollows()) return std::nullopt;
  return position;
}

std::optional<std::uint32_t> ReadOpenAirRadius(std::string_view text) {
  TextCursor cursor(text);
  cursor.SkipSpaces();
  const auto radius = ReadRadius(cursor, true);
  if (!radius || !cursor.OnlyCommentFollows()) return std::nullopt;
  return radius;
}

}  // namespace logwell
