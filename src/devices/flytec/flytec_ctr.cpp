#include "devices/flytec/flytec_ctr.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "access/access_framework.h"
#include "access/nmea.h"
#include "devices/flytec/flytec_protocol.h"
#include "geo/projection.h"
#include "base/text.h"

namespace logwell::flytec {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kReadCaption = "Read CTR list";
constexpr std::string_view kAckCaption = "CTR upload acknowledge status";
constexpr std::string_view kAckPrefix = "PBRANS,";
constexpr milliseconds kAckSilence{20000};
// The instrument answers the list request at once and sends it without pauses; a list that
// stops arriving for this long will not be completed.
constexpr milliseconds kListSilence{30000};
constexpr milliseconds kAfterText{100};
constexpr milliseconds kBetweenArcSentences{200};
constexpr milliseconds kAfterSegment{100};
constexpr milliseconds kAfterAck{300};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }

// A whole number field: digits with blanks around them.
std::optional<long> Number(std::string_view text) {
  text = Trim(text, kSpacesAndTabs);
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string_view> SplitFields(std::string_view body) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t comma = body.find(',');
    fields.push_back(body.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    body.remove_prefix(comma + 1);
  }
}

// DDMM.mmm (or DDDMM.mmm) as degrees. Codes from `base`: +0 integer part at `limit` or above,
// -1 no ".", -2 a bad decimal.
int Coordinate(std::string_view text, long limit, int base, double& degrees) {
  long integer = 0;
  std::size_t at = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    integer = integer * 10 + (text[at] - '0');
    if (integer >= limit) return base;
  }
  if (at == 0) return base;
  if (at == text.size() || text[at] != '.') return base - 1;
  double decimals = 0.0;
  double scale = 0.1;
  for (++at; at < text.size(); ++at) {
    if (!IsDigit(text[at])) return base - 2;
    decimals += (text[at] - '0') * scale;
    scale /= 10.0;
  }
  degrees = static_cast<double>(integer / 100) + (static_cast<double>(integer % 100) + decimals) / 60.0;
  return 0;
}

// A text field as the instrument keeps it: 17 characters, blank padded, and nothing in it that
// would end the field or the sentence early.
std::string FixedText(std::string_view text) {
  std::string out(text.substr(0, std::min(text.size(), kCtrTextWidth)));
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ',' || c == '*' || c == '$' || byte < 0x20 || byte == 0x7F) c = ' ';
  }
  out.resize(kCtrTextWidth, ' ');
  return out;
}

// Degrees as the fields "DDMM.mmm,N,DDDMM.mmm,E": thousandths of a minute rounded half away
// from zero.
std::string PositionFields(DegreePosition position) {
  const auto split = [](double degrees, int& wholeDegrees, int& minutes, int& thousandths) {
    const long total = std::lround(std::fabs(degrees) * 60000.0);
    const long wholeMinutes = total / 1000;
    wholeDegrees = static_cast<int>(wholeMinutes / 60);
    minutes = static_cast<int>(wholeMinutes % 60);
    thousandths = static_cast<int>(total % 1000);
  };
  int latDegrees = 0, latMinutes = 0, latThousandths = 0;
  int lonDegrees = 0, lonMinutes = 0, lonThousandths = 0;
  split(position.latitude, latDegrees, latMinutes, latThousandths);
  split(position.longitude, lonDegrees, lonMinutes, lonThousandths);
  return FormatText("%02d%02d.%03d,%c,%03d%02d.%03d,%c", latDegrees, latMinutes, latThousandths,
                    position.latitude < 0 ? 'S' : 'N', lonDegrees, lonMinutes, lonThousandths,
                    position.longitude < 0 ? 'W' : 'E');
}

std::string RunFields(int run, int index) { return FormatText("$PBRCTRW,%03d,%03d,", run, index); }

}  // namespace

// ---- receiving ----

int CtrLineAssembler::Fail(int code) {
  state_ = State::WaitDollar;
  return code;
}

int CtrLineAssembler::Feed(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  switch (state_) {
    case State::WaitDollar:
      if (c == '$') {
        body_.clear();
        state_ = State::Body;
      }
      return 1;
    case State::Body:
      if (c == '*') {
        checksum_.clear();
        state_ = State::Checksum1;
        return 1;
      }
      if (body_.size() >= kMaxBody) return Fail(-1);
      body_ += c;
      return 1;
    case State::Checksum1:
    case State::Checksum2:
      if (!IsUpperHex(c)) return Fail(state_ == State::Checksum1 ? -2 : -3);
      checksum_ += c;
      state_ = state_ == State::Checksum1 ? State::Checksum2 : State::CarriageReturn;
      return 1;
    case State::CarriageReturn:
      if (c != '\r') return Fail(-4);
      state_ = State::LineFeed;
      return 1;
    case State::LineFeed:
      if (c != '\n') return Fail(-6);
      state_ = State::WaitDollar;
      return NmeaChecksumMatches(body_, checksum_) ? 0 : -5;
  }
  return 1;
}

int CtrListParser::Feed(std::string_view body) {
  const std::vector<std::string_view> fields = SplitFields(body);
  if (state_ == 0 && fields[0] == "PBRANS") {
    return fields.size() >= 2 && fields[1] == "1" ? 0 : -2;
  }
  if (fields[0] != "PBRCTR") return -3;
  if (fields.size() < 2) return -4;
  const auto run = Number(fields[1]);
  if (!run) return -5;
  if (fields.size() < 3) return -6;
  const auto index = Number(fields[2]);
  if (!index) return -7;
  if (fields.size() < 4) return state_ == 0 ? -10 : state_ == 1 ? -13 : -15;
  switch (state_) {
    case 0:
      return Header(*run, *index, fields[3], fields.size() > 4 ? &fields[4] : nullptr);
    case 1:
      if (*index != 1) return -13;
      received_.back().floorText = CutText(TrimTrailing(fields[3], kSpaces), AirspaceRecord::kMaxHeightTextLength);
      if (const auto height = ReadHeightText(received_.back().floorText, HeightKind::Floor)) {
        received_.back().floor = height->metres;
      }
      expected_ = 2;
      state_ = 2;
      return 1;
    default:
      return Segment(*index, std::span<const std::string_view>(fields).subspan(3));
  }
}

int CtrListParser::Header(long run, long index, std::string_view name, const std::string_view* distance) {
  if (run < 3) return -8;
  if (index != 0) return -9;
  if (distance == nullptr) return -10;
  const auto metres = Number(*distance);
  if (!metres) return -11;
  if (count_ == 0 && status_) status_("Receiving CTR list");
  AirspaceRecord record;
  record.SetName(TrimTrailing(name, kSpaces));
  record.warningDistance = static_cast<int>(*metres);
  received_.push_back(std::move(record));
  run_ = run;
  expected_ = 1;
  state_ = 1;
  return 1;
}

int CtrListParser::Segment(long index, std::span<const std::string_view> fields) {
  if (index != expected_) return -14;
  ++expected_;
  const std::string_view kind = fields[0];
  if (kind != "P" && kind != "X" && kind != "C" && kind != "T" && kind != "Z") return -16;
  if (fields.size() < 2) return -17;
  DegreePosition position;
  if (const int code = Coordinate(fields[1], 9000, -18, position.latitude)) return code;
  if (fields.size() < 3) return -21;
  if (fields[2] != "N" && fields[2] != "S") return -22;
  if (fields.size() < 4) return -23;
  if (const int code = Coordinate(fields[3], 18000, -24, position.longitude)) return code;
  std::uint32_t radius = 0;
  char direction = '+';
  if (kind == "C") {
    if (fields.size() < 6) return -27;
    const auto metres = Number(fields[5]);
    if (!metres) return -28;
    radius = static_cast<std::uint32_t>(*metres);
  } else if (kind == "T" || kind == "Z") {
    if (fields.size() < 6) return -29;
    if (fields[5] != "+" && fields[5] != "-") return -30;
    direction = fields[5][0];
  }
  if (fields.size() < 5 || (fields[4] != "E" && fields[4] != "W")) return -31;
  if (fields[2] == "S") position.latitude = -position.latitude;
  if (fields[4] == "W") position.longitude = -position.longitude;

  const bool last = index == run_ - 1;
  AirspaceRecord& record = received_.back();
  switch (state_) {
    case 2:
      if (kind == "P") {
        AirspaceSegment corner;
        corner.position = position;
        record.segments.push_back(corner);
        if (last) Completed();
        return 1;
      }
      if (kind == "C") {
        if (run_ != 3) return -34;
        if (!last) return -35;
        AirspaceSegment circle;
        circle.kind = SegmentKind::Circle;
        circle.position = position;
        circle.radius = radius;
        record.segments.push_back(circle);
        Completed();
        return 1;
      }
      if (kind == "X") {
        if (last) return -37;
        arc_ = AirspaceSegment{};
        arc_.kind = SegmentKind::ArcByPoints;
        arc_.position = position;
        state_ = 3;
        return 1;
      }
      return -38;
    case 3:
      if (kind != "T") return -40;
      if (last) return -39;
      arc_.from = position;
      arc_.direction = direction;
      state_ = 4;
      return 1;
    default:
      if (kind != "Z") return -41;
      arc_.to = position;
      arc_.direction = direction;
      record.segments.push_back(arc_);
      state_ = 2;
      if (last) Completed();
      return 1;
  }
}

void CtrListParser::Completed() {
  ++count_;
  if (status_) status_(FillTemplate("% CTRs received", {count_}));
  state_ = 0;
}

int CtrAckAssembler::Fail(int code) {
  state_ = State::WaitDollar;
  return code;
}

int CtrAckAssembler::Feed(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  switch (state_) {
    case State::WaitDollar:
      if (c == '$') {
        matched_ = 0;
        state_ = State::Prefix;
      }
      return 1;
    case State::Prefix:
      if (c != kAckPrefix[matched_]) return Fail(-1);
      if (++matched_ == kAckPrefix.size()) state_ = State::Status;
      return 1;
    case State::Status:
      status_ = c;
      state_ = State::Star;
      return 1;
    case State::Star:
      if (c != '*') return Fail(-1);
      checksum_.clear();
      state_ = State::Checksum1;
      return 1;
    case State::Checksum1:
    case State::Checksum2:
      if (!IsUpperHex(c)) return Fail(state_ == State::Checksum1 ? -2 : -3);
      checksum_ += c;
      state_ = state_ == State::Checksum1 ? State::Checksum2 : State::CarriageReturn;
      return 1;
    case State::CarriageReturn:
      if (c != '\r') return Fail(-4);
      state_ = State::LineFeed;
      return 1;
    case State::LineFeed: {
      state_ = State::WaitDollar;
      if (c != '\n') return -6;
      const std::string body = std::string(kAckPrefix) + status_;
      return NmeaChecksumMatches(body, checksum_) ? 0 : -5;
    }
  }
  return 1;
}

int DownloadCtrList(AccessBlock& block) {
  block.airspace.clear();
  ShowAccessStatus(block, "Requesting CTR list");
  if (!SendText(block, kCtrRequest)) {
    ShowAccessError(block, "E700 COM port write error", kReadCaption);
    return -1;
  }
  CtrLineAssembler assembler;
  CtrListParser parser(block.airspace, [&block](std::string_view text) { ShowAccessStatus(block, text); });
  std::string error;
  bool complete = false;
  ChunkReader reader = InstrumentReader();
  const ReadResult end = reader.ReadUntilSilence(block, kListSilence, [&](std::uint8_t byte) {
    const int line = assembler.Feed(byte);
    if (line == 1) return false;
    if (line < 0) {
      error = FormatText("E703 Format error %d", -line);
      return true;
    }
    const int state = parser.Feed(assembler.Body());
    if (state < 0) {
      error = FormatText("E702 Format error %d", -state);
      return true;
    }
    complete = state == 0;
    return complete;
  });
  if (!complete) {
    block.airspace.clear();
    if (end == ReadResult::ReadError) ShowAccessError(block, "E701 COM port read error", kReadCaption);
    if (end == ReadResult::TimedOut) ShowAccessError(block, "Missing CTR list", kReadCaption);
    if (!error.empty()) ShowAccessError(block, error, kReadCaption);
    return -1;
  }
  ShowAccessStatus(block, FillTemplate("% CTR(s) received", {parser.CtrCount()}));
  return 0;
}

// ---- sending ----

std::string CtrHeaderSentence(int run, int index, std::string_view name, int warningDistance) {
  return AppendNmeaChecksum(RunFields(run, index) + FixedText(name) +
                            FormatText(",%04d", std::clamp(warningDistance, 0, 9999)));
}

std::string CtrRemarkSentence(int run, int index, std::string_view remark) {
  return AppendNmeaChecksum(RunFields(run, index) + FixedText(remark));
}

std::string CtrPointSentence(int run, int index, char kind, DegreePosition position) {
  return AppendNmeaChecksum(RunFields(run, index) + kind + ',' + PositionFields(position));
}

std::string CtrCircleSentence(int run, int index, DegreePosition centre, std::uint32_t radius) {
  return AppendNmeaChecksum(RunFields(run, index) + "C," + PositionFields(centre) +
                            FormatText(",%05u", std::min<std::uint32_t>(radius, 99999)));
}

std::string CtrArcEndSentence(int run, int index, char kind, DegreePosition position, char direction) {
  return AppendNmeaChecksum(RunFields(run, index) + kind + ',' + PositionFields(position) + ',' + direction);
}

DegreePosition ArcEndPoint(DegreePosition centre, std::uint32_t radius, double bearing) {
  constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
  const UtmPosition utm =
      GeoToUtm({centre.latitude * kRadiansPerDegree, centre.longitude * kRadiansPerDegree});
  // Bearings run clockwise from north, plane angles counter-clockwise from east.
  const double angle = (bearing < 270.0 ? 90.0 - bearing : 450.0 - bearing) * kRadiansPerDegree;
  UtmPosition end = utm;
  end.easting += radius * std::cos(angle);
  end.northing += radius * std::sin(angle);
  const GeoPoint point = UtmToGeo(end);
  return {point.latitude / kRadiansPerDegree, point.longitude / kRadiansPerDegree};
}

int CtrRunLength(const AirspaceRecord& record) {
  int run = 2;
  for (const AirspaceSegment& segment : record.segments) {
    const bool arc = segment.kind == SegmentKind::ArcByPoints || segment.kind == SegmentKind::ArcByAngles;
    run += arc ? 3 : 1;
  }
  return run;
}

namespace {

// Sends one segment at `index` (advanced past it). False on a write failure or an abort.
bool SendSegment(AccessBlock& block, const AirspaceSegment& segment, int run, int& index) {
  switch (segment.kind) {
    case SegmentKind::Point:
      return SendText(block, CtrPointSentence(run, index++, 'P', segment.position));
    case SegmentKind::Circle:
      return SendText(block, CtrCircleSentence(run, index++, segment.position, segment.radius));
    case SegmentKind::ArcByPoints:
    case SegmentKind::ArcByAngles: {
      DegreePosition from = segment.from;
      DegreePosition to = segment.to;
      if (segment.kind == SegmentKind::ArcByAngles) {
        from = ArcEndPoint(segment.position, segment.radius, segment.startAngle);
        to = ArcEndPoint(segment.position, segment.radius, segment.endAngle);
      }
      return SendText(block, CtrPointSentence(run, index++, 'X', segment.position)) &&
             block.Pause(kBetweenArcSentences) &&
             SendText(block, CtrArcEndSentence(run, index++, 'T', from, segment.direction)) &&
             block.Pause(kBetweenArcSentences) &&
             SendText(block, CtrArcEndSentence(run, index++, 'Z', to, segment.direction));
    }
  }
  return false;
}

int UploadOneCtr(AccessBlock& block, const AirspaceRecord& record) {
  const int run = CtrRunLength(record);
  if (!SendText(block, CtrHeaderSentence(run, 0, record.name, record.warningDistance))) {
    ShowAccessStatus(block, "CTR name sent");
    return -1;
  }
  if (!block.Pause(kAfterText)) return -1;
  if (!SendText(block, CtrRemarkSentence(run, 1, record.floorText))) {
    ShowAccessStatus(block, "CTR remark sent");
    return -1;
  }
  if (!block.Pause(kAfterText)) return -1;
  int index = 2;
  long long sent = 0;
  for (const AirspaceSegment& segment : record.segments) {
    if (block.Aborted() || !SendSegment(block, segment, run, index) || !block.Pause(kAfterSegment)) {
      ShowAccessStatus(block, FillTemplate("% CTR segments sent", {sent}));
      return -1;
    }
    ++sent;
    ShowAccessStatus(block, FillTemplate("% CTR segments sent", {sent}));
  }
  return WaitForCtrAck(block);
}

}  // namespace

int UploadCtrs(AccessBlock& block) {
  for (const AirspaceRecord& record : block.airspace) {
    if (record.selected == 0) continue;
    if (UploadOneCtr(block, record) < 0) return -1;
  }
  return 0;
}

int WaitForCtrAck(AccessBlock& block) {
  ShowAccessStatus(block, "Waiting for CTR transfer ack.");
  CtrAckAssembler assembler;
  int code = 1;
  ChunkReader reader = InstrumentReader();
  const ReadResult end = reader.ReadUntilSilence(block, kAckSilence, [&](std::uint8_t byte) {
    code = assembler.Feed(byte);
    return code != 1;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "E601 COM port read error", kAckCaption);
    return -1;
  }
  if (end == ReadResult::TimedOut) {
    ShowAccessError(block, "Missing CTR upload ack.", kAckCaption);
    return -1;
  }
  if (code < 0) {
    ShowAccessError(block, FormatText("E600 Format error %d", -code), kAckCaption);
    return -1;
  }
  switch (assembler.Status()) {
    case '1':
      ShowAccessStatus(block, "CTR transfer ok");
      return block.Pause(kAfterAck) ? 0 : -1;
    case '2': ShowAccessError(block, "Plausibility error", kAckCaption); break;
    case '3': ShowAccessError(block, "No further memory", kAckCaption); break;
    case '4': ShowAccessError(block, "No more writing allowed", kAckCaption); break;
    case '5': ShowAccessError(block, "NMEA syntax error", kAckCaption); break;
    default: ShowAccessError(block, "Unknown ack. status", kAckCaption); break;
  }
  return -1;
}

}  // namespace logwell::flytec
