#include "optimise/claim_file.h"

#include <charconv>
#include <cstdlib>

#include "base/ui.h"
#include "base/version.h"
#include "geo/units.h"
#include "base/atomic_file.h"
#include "track/igc/igc_writer.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::uint32_t kDaysFrom1601To1989End = 142078;  // 1601-01-01 to 1989-12-31
constexpr std::size_t kMaxClaimPathLength = 256;

std::optional<int> ParseInt(std::string_view text) {
  text = Trim(text, kSpaces);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// day.month.year, each a whole number; the year is kept as two digits.
std::optional<std::string> NormaliseBirthDate(std::string_view text) {
  const auto first = text.find('.');
  const auto second = first == std::string_view::npos ? first : text.find('.', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto day = ParseInt(text.substr(0, first));
  const auto month = ParseInt(text.substr(first + 1, second - first - 1));
  const auto year = ParseInt(text.substr(second + 1));
  if (!day || !month || !year || *day < 1 || *day > 31 || *month < 1 || *month > 12 || *year < 0) {
    return std::nullopt;
  }
  return FormatText("%02d.%02d.%02d", *day, *month, *year % 100);
}

std::string TimeOfDay(std::uint32_t secondsOfDay) {
  return FormatText("%02u:%02u:%02u", secondsOfDay / 3600, secondsOfDay / 60 % 60, secondsOfDay % 60);
}

// "&wNbh=%c&wNbg=%d&wNbm=%02d&wNbmd=%03d&wNlh=%c&wNlg=%d&wNlm=%02d&wNlmd=%03d"
std::string ClaimPoint(int number, const TrackPoint& point) {
  auto part = [](std::int32_t semicircles, int& degrees, int& minutes, int& thousandths) {
    const std::int64_t milli =
        std::llabs(static_cast<std::int64_t>(SemicirclesToMilliMinutes(semicircles)));
    degrees = static_cast<int>(milli / 60000);
    minutes = static_cast<int>(milli / 1000 % 60);
    thousandths = static_cast<int>(milli % 1000);
  };
  int latDeg = 0, latMin = 0, latMilli = 0, lonDeg = 0, lonMin = 0, lonMilli = 0;
  part(point.latitude, latDeg, latMin, latMilli);
  part(point.longitude, lonDeg, lonMin, lonMilli);
  return FormatText("&w%dbh=%c&w%dbg=%d&w%dbm=%02d&w%dbmd=%03d&w%dlh=%c&w%dlg=%d&w%dlm=%02d&w%dlmd=%03d",
                    number, point.latitude < 0 ? 'S' : 'N', number, latDeg, number, latMin, number,
                    latMilli, number, point.longitude < 0 ? 'W' : 'E', number, lonDeg, number,
                    lonMin, number, lonMilli);
}

std::string ClassName(int number) {
  for (const auto& c : OlcClasses()) {
    if (c.number == number) return c.name;
  }
  return {};
}

}  // namespace

std::optional<OlcClaimEntries> CheckClaimForm(const OlcClaimForm& form, Ui& ui) {
  auto fail = [&ui](std::string_view message) {
    ui.ShowErrorBox(message, kClaimCaption);
    return std::nullopt;
  };
  if (IsBlank(form.firstName, kSpacesAndTabs)) return fail("Missing first name");
  if (IsBlank(form.lastName, kSpacesAndTabs)) return fail("Missing last name");
  if (IsBlank(form.birthDate, kSpacesAndTabs)) return fail("Missing birth date");
  const auto birthDate = NormaliseBirthDate(form.birthDate);
  if (!birthDate) return fail("Bad birth date format");
  const auto& classes = OlcClasses();
  const auto& regions = OlcRegions();
  if (form.classIndex < 0 || static_cast<std::size_t>(form.classIndex) >= classes.size() ||
      form.regionIndex < 0 || static_cast<std::size_t>(form.regionIndex) >= regions.size()) {
    return fail("Combo box read error");
  }
  if (IsBlank(form.gliderType, kSpacesAndTabs)) return fail("Missing glider type");
  if (IsBlank(form.startPlace, kSpacesAndTabs)) return fail("Missing start place");
  if (IsBlank(form.flightNumber, kSpacesAndTabs)) return fail("Missing flight number");
  const auto flight = ParseInt(form.flightNumber);
  if (!flight) return fail("Bad flight number input");
  if (*flight < 1 || *flight > 35) return fail("Flight number out of range");

  OlcClaimEntries entries;
  entries.firstName = form.firstName;
  entries.lastName = form.lastName;
  entries.birthDate = *birthDate;
  entries.gliderType = form.gliderType;
  entries.callSign = form.callSign;
  entries.startPlace = form.startPlace;
  entries.classNumber = classes[static_cast<std::size_t>(form.classIndex)].number;
  entries.regionCode = regions[static_cast<std::size_t>(form.regionIndex)].code;
  entries.flightNumber = *flight;
  entries.longFileName = form.longFileName;
  entries.addEnl = form.addEnl;
  return entries;
}

std::string ClaimIgcFileName(const OlcSource& source, GarminTime firstFix,
                             const OlcClaimEntries& entries) {
  const CalendarTime date = GarminTimeToCalendar(firstFix);
  std::string name;
  if (source.fromRawIgc) {
    name = entries.longFileName
               ? igc::RawLongIgcFileName(date, source.manufacturer, source.loggerSerial, entries.flightNumber)
               : igc::ShortIgcFileName(date, source.loggerSerial, entries.flightNumber);
  } else {
    name = entries.longFileName ? igc::LongIgcFileName(date, "000", entries.flightNumber)
                                : igc::ShortIgcFileName(date, "000", entries.flightNumber);
  }
  if (name.size() > 4 && name.ends_with(".igc")) name.resize(name.size() - 4);
  return name;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kKept = "!$&()*+,-._";
  std::string encoded;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    const bool alnum = (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= 'A' && byte <= 'Z');
    if (alnum || kKept.find(ch) != std::string_view::npos) {
      encoded += ch;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

std::string BuildClaimText(const OlcComputation& computation, const OlcClaimEntries& entries) {
  const auto& points = computation.Points();
  const auto claim = computation.ClaimPoints();
  const TrackPoint& start = points[claim[0]];
  const TrackPoint& finish = points[claim[4]];
  std::string text = "OLCvnolc=" + PercentEncode(entries.firstName);
  text += "&na=" + PercentEncode(entries.lastName);
  text += "&geb=" + PercentEncode(entries.birthDate);
  text += "&gty=" + PercentEncode(entries.gliderType);
  text += "&sta=" + PercentEncode(entries.startPlace);
  if (!entries.regionCode.empty()) text += "&region=" + PercentEncode(entries.regionCode);
  text += "&gid=" + PercentEncode(entries.callSign);
  text += FormatText("&klasse=%d", entries.classNumber);
  text += "&igcfn=" + PercentEncode(ClaimIgcFileName(computation.Source(), points.front().time, entries));
  text += "&flugzeug=1";
  text += FormatText("&ft=%u", start.time / 86400 + kDaysFrom1601To1989End);
  const std::uint32_t startOfDay = start.time % 86400;
  std::uint32_t finishOfDay = finish.time % 86400;
  // A flight past midnight keeps counting the hours of its first day.
  if (finishOfDay <= startOfDay) finishOfDay += 86400;
  text += "&s0=" + TimeOfDay(startOfDay);
  for (int k = 0; k < 5; ++k) text += ClaimPoint(k, points[claim[static_cast<std::size_t>(k)]]);
  text += "&s4=" + TimeOfDay(finishOfDay);
  const int version = kVersionNumber;
  text += FormatText("&software=Logwell%d%02d", version / 100, version % 100);
  return text;
}

bool SaveClaimFile(const OlcComputation& computation, const OlcClaimEntries& entries,
                   bool withIgc, Ui& ui) {
  if (computation.CurrentState() != OlcComputation::State::Completed) return false;
  SaveFileChoice choice;
  choice.title = "Save OLC file";
  choice.filter = "OLC files (*.olc)";
  choice.suggestedName = ClaimIgcFileName(computation.Source(), computation.Points().front().time, entries);
  const auto chosen = ui.ChooseSaveFile(choice);
  if (!chosen) return false;
  std::filesystem::path path = *chosen;
  if (!path.has_extension()) path += ".olc";
  if (path.string().size() > kMaxClaimPathLength) {
    ui.ShowErrorBox("Too long file name", kClaimCaption);
    return false;
  }

  std::string content = BuildClaimText(computation, entries);
  bool securityRecord = true;
  if (withIgc) {
    content += "&IGCigcIGC=";
    const OlcSource& source = computation.Source();
    if (source.fromRawIgc && source.rawIgc) {
      content += source.rawIgc->text;
    } else {
      const std::string pilot = entries.firstName + " " + entries.lastName;
      const std::string className = ClassName(entries.classNumber);
      igc::IgcEncodeInput input;
      input.points = computation.Points();
      input.pilot = pilot;
      input.gliderType = entries.gliderType;
      input.gliderId = entries.callSign;
      input.competitionClass = className;
      input.site = entries.startPlace;
      input.aRecordTail = source.instrumentText;
      input.loggerSerial = "000";
      input.downloadTime = CurrentUtcCalendar();
      input.addEnl = entries.addEnl;
      const auto encoded = igc::EncodeIgc(input);
      if (!encoded) {
        ui.ShowErrorBox("Memory allocation error", kClaimCaption);
        return false;
      }
      content += encoded->text;
      securityRecord = encoded->securityRecordIncluded;
    }
  }
  if (WriteFileAtomically(path, content) != 0) {
    ui.ShowErrorBox("File write error", kClaimCaption);
    return false;
  }
  ui.ShowInfoBox(withIgc && !securityRecord ? "File written. NO security record" : "File written",
                 kClaimCaption);
  return true;
}

}  // namespace logwell
