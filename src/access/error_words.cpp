#include "access/error_words.h"

#include <array>
#include <charconv>

#include "access/nmea.h"
#include "track/igc/igc_device_parser.h"

namespace logwell {
namespace {

constexpr std::string_view kLineLost =
    "The instrument stopped answering or was unplugged: check the cable and that the instrument "
    "is switched on, then try again.";
constexpr std::string_view kNothingSent =
    "Nothing could be sent to the instrument: it was unplugged or switched off. Check the cable "
    "and try again.";
constexpr std::string_view kStoppedSending =
    "The instrument stopped sending in the middle of the transfer: check that it is still "
    "connected and switched on and has not left its transfer mode, then try again.";
constexpr std::string_view kNoConfirmation =
    "The instrument did not confirm the command: check that it is switched on and in its "
    "transfer mode and that the instrument type (/GPS=) is its own, then try again.";
constexpr std::string_view kGarbled =
    "The instrument's answer was garbled or not in the form this instrument type sends: check the "
    "cable, that no other program uses the port and that the instrument type (/GPS=) is its own, "
    "then try again.";
constexpr std::string_view kDamaged =
    "Data arrived damaged (its checksum does not match): check the cable and its plugs, keep it "
    "away from chargers and radios, and try again.";
constexpr std::string_view kBadFlightData =
    "The flight data the instrument sent is incomplete or impossible: try again; if it happens "
    "again, that flight in the instrument's memory is damaged.";
constexpr std::string_view kUsbLost =
    "The Garmin did not take the request over USB: unplug it, switch it off and on, plug it in "
    "again and try again.";
constexpr std::string_view kUnsupportedGarmin =
    "This Garmin model announces a transfer protocol that Logwell does not read, so this transfer "
    "cannot be done with it; other transfers of the model may still work.";
constexpr std::string_view kNoMemory =
    "The flight is larger than the memory Logwell may use for it: close other programs or "
    "download fewer flights at once, then try again.";
constexpr std::string_view kWaypointName =
    "A waypoint has no name, or a character in its name that the instrument does not take: give "
    "every waypoint a name of letters and digits and send again.";

struct PhraseWords {
  std::string_view phrase;  // the start of the message after its code
  std::string_view words;
};

// The messages after their codes, most particular first.
constexpr std::array kPhraseWords = {
    PhraseWords{"COM port read error", kLineLost},
    PhraseWords{"COM port error while waiting", kLineLost},
    PhraseWords{"Packet read error", kLineLost},
    PhraseWords{"COM port write error", kNothingSent},
    PhraseWords{"Timeout", kStoppedSending},
    PhraseWords{"Missing command acknowledge", kNoConfirmation},
    PhraseWords{"Bad checksum", kDamaged},
    PhraseWords{"Bulk OUT error", kUsbLost},
    PhraseWords{"Start session error", kUsbLost},
    PhraseWords{"Error reading API version", kUsbLost},
    PhraseWords{"Unsupported", kUnsupportedGarmin},
    PhraseWords{"No track log protocol defined", kUnsupportedGarmin},
    PhraseWords{"No waypoint log protocol defined", kUnsupportedGarmin},
    PhraseWords{"No waypoint protocol defined", kUnsupportedGarmin},
    PhraseWords{"Track log memory allocation", kNoMemory},
    PhraseWords{"Allocated buffer full", kNoMemory},
    PhraseWords{"Bad waypoint ID character", kWaypointName},
    PhraseWords{"Missing waypoint ID", kWaypointName},
    PhraseWords{"Bad length", kBadFlightData},
    PhraseWords{"Bad flight info block length", kBadFlightData},
    PhraseWords{"Bad key track position block length", kBadFlightData},
    PhraseWords{"Bad track position block length", kBadFlightData},
    PhraseWords{"Missing flight info block", kBadFlightData},
    PhraseWords{"Missing key track position block", kBadFlightData},
    PhraseWords{"Latitude outside valid range", kBadFlightData},
    PhraseWords{"Longitude value outside valid range", kBadFlightData},
    PhraseWords{"Bad GPS pos. valid entry", kBadFlightData},
    PhraseWords{"Bad geodetic ID", kBadFlightData},
    PhraseWords{"Bad", kGarbled},  // packets, acknowledges, record types
    PhraseWords{"Packet type/", kGarbled},
    PhraseWords{"Too long sentence", kGarbled},
};

// What a flight line from the instrument's IGC text lacked (the line parser's fault numbers).
std::string_view IgcLineFault(int number) {
  using namespace igc;
  switch (number) {
    case kDateYear: case kDateMonth: case kDateMonthRange: case kDateDay: case kDateDayRange:
      return "the date of the flight (HFDTE line) is damaged";
    case kPointMemory: return "the flight has more positions than the memory allows";
    case kAltitude: return "the altitude of a position is damaged";
    case kLonThousandths: case kLonMinutes: case kLonDegrees: case kLonDegreesRange: case kEastWest:
      return "the longitude of a position is damaged";
    case kLatThousandths: case kLatMinutes: case kLatDegrees: case kLatDegreesRange: case kNorthSouth:
      return "the latitude of a position is damaged";
    case kSeconds: case kSecondsRange: case kMinutes: case kMinutesRange: case kHours: case kHoursRange:
      return "the time of a position is damaged";
    case kShortBRecord: return "a position line (B record) is too short";
    case kNoDate: return "positions came before the date of the flight (HFDTE line)";
    case kShortARecord: return "the first line of the flight (A record: maker and logger serial) is too short";
    case kARecordCharacter:
      return "the first line of the flight (A record) holds a character that does not belong there";
    default: return {};
  }
}

// What a waypoint line lacked, by the waypoint readers' fault numbers.
std::string_view FlymasterWaypointFault(int number) {
  switch (number) {
    case 1: case 2: case 3: case 4: return "its checksum is missing or wrong";
    case 5: return "it has too few fields";
    case 6: return "its latitude is damaged";
    case 7: return "its hemisphere is not N or S";
    case 8: return "its longitude is damaged";
    case 9: return "its side is not E or W";
    case 10: return "its altitude is damaged";
    case 11: return "its name is empty";
    default: return {};
  }
}

std::string_view FlytecWaypointFault(int number) {
  switch (number) {
    case 1: case 2: case 3: return "its latitude is damaged";
    case 4: return "its hemisphere is not N or S";
    case 6: case 7: case 8: return "its longitude is damaged";
    case 9: return "its side is not E or W";
    case 5: case 10: case 11: case 13: return "it has too few fields";
    case 12: return "its short name is longer than 6 characters";
    case 14: return "its name or the whole line is too long";
    case 15: case 16: return "its altitude is damaged";
    case 17: case 18: case 19: case 20: case 21: return "its checksum or line end is missing or wrong";
    default: return {};
  }
}

constexpr std::string_view kLineAdvice =
    ". The line was garbled on the way or that entry in the instrument's memory is damaged: try "
    "again; if it happens again, check that entry on the instrument.";

// "Format error N": what the number means in the module that shows it under this code.
std::optional<std::string> FormatErrorWords(std::string_view code, int number, ProtocolType protocol) {
  std::string_view fault;
  std::string_view what;
  if (code == "E206") {
    what = "A line of the flight the instrument sent could not be read: ";
    fault = IgcLineFault(number);
  } else if (code == "E302" && protocol == ProtocolType::Flymaster) {
    what = "A waypoint line the instrument sent could not be read: ";
    fault = FlymasterWaypointFault(number);
  } else if (code == "E302") {
    what = "A waypoint line the instrument sent could not be read: ";
    fault = FlytecWaypointFault(number);
  } else if (code == "E702" || code == "E703") {
    what = "An airspace line the instrument sent could not be read";
  } else if (code == "E600") {
    what = "The instrument's answer to an airspace sent to it could not be read";
  } else {
    return std::nullopt;
  }
  if (fault.empty()) {
    // The number tells which field was wrong; without a name for it the line still failed.
    if (what.ends_with(": ")) what.remove_suffix(2);
    return std::string(what) + " (fault " + std::to_string(number) + ")" + std::string(kLineAdvice);
  }
  return std::string(what) + std::string(fault) + std::string(kLineAdvice);
}

bool IsErrorCode(std::string_view text) {
  return text.size() == 4 && text[0] == 'E' && IsDigitField(text.substr(1));
}

}  // namespace

std::optional<std::string> ErrorCodeWords(std::string_view message, ProtocolType protocol) {
  if (message.size() < 6 || !IsErrorCode(message.substr(0, 4)) || message[4] != ' ') return std::nullopt;
  const std::string_view code = message.substr(0, 4);
  const std::string_view rest = message.substr(5);
  constexpr std::string_view kFormatError = "Format error ";
  if (rest.starts_with(kFormatError)) {
    const std::string_view digits = rest.substr(kFormatError.size());
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return FormatErrorWords(code, number, protocol);
  }
  for (const PhraseWords& row : kPhraseWords) {
    if (rest.starts_with(row.phrase)) return std::string(row.words);
  }
  return std::nullopt;
}

std::string WithErrorWords(std::string_view message, ProtocolType protocol) {
  const auto words = ErrorCodeWords(message, protocol);
  if (!words) return std::string(message);
  return std::string(message) + "\r\n" + *words;
}

}  // namespace logwell
