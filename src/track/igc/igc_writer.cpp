#include "track/igc/igc_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "base/version.h"
#include "geo/units.h"
#include "track/igc/igc_security.h"


namespace logwell::igc {
namespace {

constexpr double kFeetPerMetre = 3.28084;
constexpr int kMaxEnl = 999;
constexpr std::size_t kInitialTextCapacity = 10000;

// The text under construction. Every piece but the security record also feeds the CRC.
class IgcText {
 public:
  IgcText() { text_.reserve(kInitialTextCapacity); }

  void Line(std::string_view piece) {
    Append(piece);
    Append("\r\n");
  }
  // A header record: its label, then the text with control characters blanked out so that a
  // typed text can never break the line structure.
  void Header(std::string_view label, std::string_view value) {
    std::string line(label);
    for (char c : value) line.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c);
    Line(line);
  }
  void Printf(const char* format, auto... args) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    Line(std::string_view(buffer, static_cast<std::size_t>(std::max(0, std::min<int>(length, sizeof buffer - 1)))));
  }
  std::uint32_t Crc() const { return crc_.Value(); }
  void AppendUnsigned(std::string_view piece) { text_.append(piece); }
  std::string Take() { return std::move(text_); }

 private:
  void Append(std::string_view piece) {
    text_.append(piece);
    crc_.Update(piece);
  }
  std::string text_;
  SecurityCrc crc_;
};

struct Angle {
  int degrees, minutes, thousandths;
  char hemisphere;
};

Angle ToAngle(std::int32_t semicircles, char positive, char negative) {
  std::int32_t v = SemicirclesToMilliMinutes(semicircles);
  const char hemisphere = v < 0 ? negative : positive;
  const std::int64_t magnitude = std::llabs(std::int64_t{v});
  const int degrees = static_cast<int>(magnitude / 60000);
  const int minutes = static_cast<int>((magnitude - degrees * std::int64_t{60000}) / 1000);
  return {degrees, minutes, static_cast<int>(magnitude % 1000), hemisphere};
}

// Altitudes are five-character fields: keep every value inside them.
int PressureField(std::int32_t metres) { return std::clamp(metres, -9999, 99999); }
int GnssField(std::int32_t decimetres) {
  if (decimetres < 0) return 0;
  return static_cast<int>(std::min<std::int64_t>((std::int64_t{decimetres} + 5) / 10, 99999));
}
int EnlField(float depthMetres) {
  if (!(depthMetres >= 0.0f)) return 0;  // negative or not a number
  const double enl = depthMetres * kFeetPerMetre + 0.5;
  return enl > kMaxEnl ? kMaxEnl : static_cast<int>(enl);
}

void WriteTask(IgcText& out, const TaskDeclaration& task) {
  const CalendarTime declared = GarminTimeToCalendar(task.declarationTime);
  const CalendarTime flight = GarminTimeToCalendar(task.flightDate);
  const int pointCount = static_cast<int>(task.points.size());
  char head[64];
  std::snprintf(head, sizeof head, "C%02d%02d%02d%02d%02d%02d%02d%02d%02d%04d%02d", declared.day,
                declared.month, declared.year % 100, declared.hour, declared.minute,
                declared.second, flight.day, flight.month, flight.year % 100,
                task.taskNumber % 10000, pointCount >= 4 ? (pointCount - 4) % 100 : 0);
  out.Header(head, std::string_view(task.text).substr(0, TaskDeclaration::kMaxTextLength));
  for (const Waypoint& point : task.points) {
    const Angle lat = ToAngle(point.latitude, 'N', 'S');
    const Angle lon = ToAngle(point.longitude, 'E', 'W');
    char label[64];
    std::snprintf(label, sizeof label, "C%02d%02d%03d%c%03d%02d%03d%c", lat.degrees, lat.minutes,
                  lat.thousandths, lat.hemisphere, lon.degrees, lon.minutes, lon.thousandths,
                  lon.hemisphere);
    out.Header(label, point.Description());
  }
}

void WriteFix(IgcText& out, const TrackPoint& point, bool addEnl) {
  const CalendarTime time = GarminTimeToCalendar(point.time);
  const Angle lat = ToAngle(point.latitude, 'N', 'S');
  const Angle lon = ToAngle(point.longitude, 'E', 'W');
  // A fix the recorder marked invalid is written back as such.
  const char validity = point.MarkedInvalid() ? 'V' : 'A';
  if (addEnl) {
    out.Printf("B%02d%02d%02d%02d%02d%03d%c%03d%02d%03d%c%c%05d%05d%03d", time.hour, time.minute,
               time.second, lat.degrees, lat.minutes, lat.thousandths, lat.hemisphere,
               lon.degrees, lon.minutes, lon.thousandths, lon.hemisphere, validity,
               PressureField(point.pressureAltitude), GnssField(point.gpsAltitude),
               EnlField(point.depth));
  } else {
    out.Printf("B%02d%02d%02d%02d%02d%03d%c%03d%02d%03d%c%c%05d%05d", time.hour, time.minute,
               time.second, lat.degrees, lat.minutes, lat.thousandths, lat.hemisphere,
               lon.degrees, lon.minutes, lon.thousandths, lon.hemisphere, validity,
               PressureField(point.pressureAltitude), GnssField(point.gpsAltitude));
  }
}

IgcEncodeResult Encode(const IgcEncodeInput& input) {
  IgcText out;
  std::string aRecordText(input.loggerSerial);
  aRecordText.push_back(' ');
  aRecordText.append(input.aRecordTail);
  out.Header(kOwnManufacturerRecord, aRecordText);

  const CalendarTime first =
      GarminTimeToCalendar(input.points.empty() ? 0 : input.points.front().time);
  out.Printf("HFDTEDATE:%02d%02d%02d,01", first.day, first.month, first.year % 100);
  out.Header("HFPLTPILOT: ", input.pilot);
  out.Header("HFGTYGLIDERTYPE: ", input.gliderType);
  out.Header("HFGIDGLIDERID: ", input.gliderId);
  out.Line("HFDTM100GPSDATUM: WGS-84");
  out.Header("HFCIDCOMPETITIONID: ", input.competitionId);
  out.Header("HFCCLCOMPETITIONCLASS: ", input.competitionClass);
  out.Header("HFSITSITE: ", input.site);
  if (input.addEnl) out.Line("I013638ENL");
  if (input.writeTask && input.task != nullptr && !input.task->points.empty()) {
    WriteTask(out, *input.task);
  }
  for (const TrackPoint& point : input.points) WriteFix(out, point, input.addEnl);

  const int version = kVersionNumber;
  out.Printf("LXLW Logwell version %d.%02d", version / 100, version % 100);
  const CalendarTime& d = input.downloadTime;
  out.Printf("LXLW Downloaded %d-%02d-%02d  %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
             d.minute, d.second);

  IgcEncodeResult result;
  result.securityRecordIncluded =
      input.wantSecurityRecord && input.signState == SignState::Downloaded;
  if (result.securityRecordIncluded) {
    out.AppendUnsigned("G");
    out.AppendUnsigned(SecurityCode(out.Crc()));
    out.AppendUnsigned("\r\n");
  }
  result.text = out.Take();
  return result;
}

std::string Printed(const char* format, auto... args) {
  char buffer[300];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

std::string Field(std::string_view text) { return std::string(text.substr(0, 3)); }

}  // namespace

std::optional<IgcEncodeResult> EncodeIgc(const IgcEncodeInput& input) {
  try {
    return Encode(input);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

char ShortNameCharacter(int value) {
  if (value < 10) return static_cast<char>('0' + std::max(value, 0));
  return static_cast<char>('A' + std::min(value - 10, 25));
}

std::string LongIgcFileName(const CalendarTime& date, std::string_view serial, int flight) {
  return Printed("%d-%02d-%02d-XLW-%s-%02d.igc", date.year, date.month, date.day,
                 Field(serial).c_str(), flight);
}

std::string ShortIgcFileName(const CalendarTime& date, std::string_view serial, int flight) {
  return Printed("%d%c%cX%s%c.igc", date.year % 10, ShortNameCharacter(date.month),
                 ShortNameCharacter(date.day), Field(serial).c_str(), ShortNameCharacter(flight));
}

std::string RawLongIgcFileName(const CalendarTime& date, std::string_view manufacturer,
                               std::string_view serial, int flight) {
  return Printed("%d-%02d-%02d-%s-%s-%02d.igc", date.year, date.month, date.day,
                 Field(manufacturer).c_str(), Field(serial).c_str(), flight);
}

std::string CommandLineIgcFileName(const CalendarTime& date, int flight) {
  return Printed("%d-%02d-%02d-xlw-%s-%02d.igc", date.year, date.month, date.day, "000", flight);
}

std::string CommandLineRawIgcFileName(const CalendarTime& date, std::string_view serial,
                                      int flight) {
  return Printed("%d-%02d-%02d-xxx-%s-%02d.igc", date.year, date.month, date.day,
                 Field(serial).c_str(), flight);
}

}  // namespace logwell::igc
