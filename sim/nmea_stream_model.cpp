#include "sim/nmea_stream_model.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "access/nmea.h"
#include "sim/flight_generator.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

// "ddmm.mmmm" or "dddmm.mmmm" with its hemisphere letter.
std::string Coordinate(double degrees, int degreeDigits, char positive, char negative) {
  const double magnitude = std::fabs(degrees);
  int whole = static_cast<int>(magnitude);
  double minutes = (magnitude - whole) * 60.0;
  if (std::lround(minutes * 10000.0) >= 600000) {  // rounds up to a whole degree
    ++whole;
    minutes = 0.0;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%07.4f,%c", degreeDigits, whole, minutes,
                degrees < 0 ? negative : positive);
  return text;
}

}  // namespace

std::string FixSentences(const TrackPoint& point, const TrackPoint* previous) {
  const CalendarTime when = GarminTimeToCalendar(point.time, point.milliseconds);
  const double latitude = SemicirclesToDegrees(point.latitude);
  const double longitude = SemicirclesToDegrees(point.longitude);
  double knots = 0.0, course = 0.0;
  if (previous != nullptr) {
    const double seconds = static_cast<double>(point.time) - static_cast<double>(previous->time) +
                           (point.milliseconds - previous->milliseconds) / 1000.0;
    const double metresPerDegree = 6371000.0 * kPi / 180.0;
    const double north = (latitude - SemicirclesToDegrees(previous->latitude)) * metresPerDegree;
    const double east = (longitude - SemicirclesToDegrees(previous->longitude)) * metresPerDegree *
                        std::cos(latitude * kPi / 180.0);
    if (seconds > 0) knots = std::hypot(north, east) / seconds * 3600.0 / 1852.0;
    course = std::fmod(std::atan2(east, north) * 180.0 / kPi + 360.0, 360.0);
  }
  char time[16];
  std::snprintf(time, sizeof time, "%02d%02d%02d.%03d", when.hour, when.minute, when.second, when.milliseconds);
  char date[8];
  std::snprintf(date, sizeof date, "%02d%02d%02d", when.day, when.month, when.year % 100);
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%.1f,%.1f", knots, course);
  char altitude[24];
  std::snprintf(altitude, sizeof altitude, "%.1f", point.gpsAltitude / 10.0);

  const std::string lat = Coordinate(latitude, 2, 'N', 'S');
  const std::string lon = Coordinate(longitude, 3, 'E', 'W');
  return AppendNmeaChecksum("$GPRMC," + std::string(time) + ",A," + lat + "," + lon + "," + numbers + "," +
                            date + ",,,A") +
         AppendNmeaChecksum("$GPGGA," + std::string(time) + "," + lat + "," + lon + ",1,08,1.0," + altitude +
                            ",M,0.0,M,,");
}

NmeaStreamModel::NmeaStreamModel(std::vector<TrackPoint> points, std::chrono::milliseconds pace)
    : points_(std::move(points)), pace_(pace) {}

void NmeaStreamModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  echo_.OnReceived(bytes, link);
}

void NmeaStreamModel::OnIdle(DeviceLink& link) {
  if (next_ >= points_.size() || std::chrono::steady_clock::now() < due_) return;
  link.SendText(FixSentences(points_[next_], next_ > 0 ? &points_[next_ - 1] : nullptr));
  ++next_;
  due_ += pace_;
}

}  // namespace logwell::sim
