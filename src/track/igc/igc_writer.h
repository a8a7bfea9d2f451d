#pragma once
// The IGC encoder: the whole text of an IGC file with this program's logger code "XLW", built
// in memory from track points and header values, optionally signed with a security record; and
// the rules that name IGC files.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "model/track_source.h"
#include "model/track_types.h"

namespace logwell::igc {

// The A record this program's files open with: manufacturer X, logger code "LW".
inline constexpr std::string_view kOwnManufacturerRecord = "AXLW";

struct IgcEncodeInput {
  std::span<const TrackPoint> points;
  SignState signState = SignState::NotSignable;
  // Header texts; an empty text writes nothing after the record's label.
  std::string_view pilot;
  std::string_view competitionId;
  std::string_view gliderType;
  std::string_view gliderId;
  std::string_view competitionClass;
  std::string_view site;
  std::string_view aRecordTail;  // the instrument's own identification text
  std::string_view loggerSerial;
  CalendarTime downloadTime;
  bool wantSecurityRecord = false;
  bool addEnl = false;
  bool writeTask = false;
  const TaskDeclaration* task = nullptr;  // written as C records when writeTask is set
};

struct IgcEncodeResult {
  std::string text;
  bool securityRecordIncluded = false;
};

// Nothing when memory ran out.
std::optional<IgcEncodeResult> EncodeIgc(const IgcEncodeInput& input);

// File names. The flight number is 1 to 35; `serial` and `manufacturer` are 3 characters.
// The date is the calendar date of the flight's first fix.
std::string LongIgcFileName(const CalendarTime& date, std::string_view serial, int flight);
std::string ShortIgcFileName(const CalendarTime& date, std::string_view serial, int flight);
std::string RawLongIgcFileName(const CalendarTime& date, std::string_view manufacturer,
                               std::string_view serial, int flight);
std::string CommandLineIgcFileName(const CalendarTime& date, int flight);
std::string CommandLineRawIgcFileName(const CalendarTime& date, std::string_view serial,
                                      int flight);
// One character of a short name: 1 to 9 as digits, 10 and above as A, B, C, ...
char ShortNameCharacter(int value);

}  // namespace logwell::igc
