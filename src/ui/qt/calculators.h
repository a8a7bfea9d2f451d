#pragma once
// The calculators of the Edit menu: "Convert &Position" shows a typed position in every
// encoding the program uses (degrees, degrees and minutes, degrees-minutes-seconds, UTM with
// zone and band, semicircles); "&Calculate distance" gives the ellipsoid distance and the
// initial course between two typed positions or waypoints.
#include <QDialog>
#include <optional>
#include <vector>

#include "geo/units.h"
#include "model/waypoint.h"

class QLabel;
class QLineEdit;

namespace logwell::qt {

// A typed position in decimal degrees: a number, north and east positive, or with a
// hemisphere letter before or after it ("46.5N", "W 8.25"). Nothing when it is no position.
std::optional<SemicirclePoint> ParsePosition(const QString& latitude, const QString& longitude);

// The position in every encoding, one line each.
QStringList PositionEncodings(SemicirclePoint point);
// "12345.6 m, course 123.4°", or "Error" when the ellipsoid distance does not settle.
QString DistanceText(SemicirclePoint from, SemicirclePoint to);

class PositionConverter final : public QDialog {
  Q_OBJECT
 public:
  explicit PositionConverter(QWidget* parent = nullptr);
  QLineEdit* Latitude() const { return latitude_; }
  QLineEdit* Longitude() const { return longitude_; }
  QLabel* Result() const { return result_; }

 private:
  void Update();
  QLineEdit* latitude_;
  QLineEdit* longitude_;
  QLabel* result_;
};

class DistanceCalculator final : public QDialog {
  Q_OBJECT
 public:
  // The waypoints are offered as either end.
  explicit DistanceCalculator(std::vector<Waypoint> waypoints, QWidget* parent = nullptr);
  // The ends' fields: from latitude, from longitude, to latitude, to longitude.
  QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }
  // Fills one end (0 or 1) from a waypoint of the list.
  void UseWaypoint(int end, int waypoint);
  QLabel* Result() const { return result_; }

 private:
  void Update();
  std::vector<Waypoint> waypoints_;
  std::vector<QLineEdit*> fields_;
  QLabel* result_;
};

}  // namespace logwell::qt
