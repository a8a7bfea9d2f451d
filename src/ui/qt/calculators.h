#pragma once
// The calculators of the Edit menu: "Convert &Position" reads a position typed in any encoding
// the program uses (degrees, degrees and minutes, degrees-minutes-seconds, UTM with zone and
// band, semicircles) and shows it in all of them; "&Calculate distance" gives the ellipsoid
// distance and the initial course between two positions, each typed in any of those encodings
// or taken from the loaded waypoints.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

#include "geo/units.h"
#include "model/waypoint.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace logwell::qt {

// The encodings a position can be typed in, in the order the format lists offer them.
enum class PositionFormat { Degrees, DegreesMinutes, DegreesMinutesSeconds, Utm, Semicircles };
inline constexpr int kPositionFormatCount = 5;

// What the fields of a format are called: two (latitude, longitude) or, for UTM, three (zone
// with band, easting, northing).
QStringList PositionFieldNames(PositionFormat format);
QString PositionFormatName(PositionFormat format);

// A typed position: the point, or why the fields are no position.
struct TypedPosition {
  std::optional<SemicirclePoint> point;
  QString error;  // empty when there is a point
};

// Reads the fields of a format. Angles take a hemisphere letter before or after them ("N 46
// 30.5", "8.25W") or a minus sign, and ° ' " or colons between their parts; UTM takes the zone
// with its band ("32T"), the easting and the northing in metres.
TypedPosition ReadPosition(PositionFormat format, const QStringList& fields);
// The fields of a point in a format, as ReadPosition reads them back.
QStringList PositionFields(PositionFormat format, SemicirclePoint point);
// A position typed in decimal degrees; nothing when it is no position.
std::optional<SemicirclePoint> ParsePosition(const QString& latitude, const QString& longitude);

// The position in every encoding, one line each.
QStringList PositionEncodings(SemicirclePoint point);
// "12345.6 m, course 123.4°", or "Error" when the ellipsoid distance does not settle.
QString DistanceText(SemicirclePoint from, SemicirclePoint to);

// A format list and the fields of the chosen format; the third field shows for UTM only.
class PositionInput final : public QWidget {
  Q_OBJECT
 public:
  explicit PositionInput(const QString& objectName, QWidget* parent = nullptr);
  QComboBox* Format() const { return format_; }
  QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }
  // Shows a point in the chosen format.
  void SetPoint(SemicirclePoint point);
  TypedPosition Read() const;
  bool Empty() const;

 signals:
  void changed();

 private:
  void ShowFormat();
  QComboBox* format_;
  int shownFormat_ = 0;  // the format the fields hold now
  std::array<QLabel*, 3> labels_{};
  std::array<QLineEdit*, 3> fields_{};
};

class PositionConverter final : public QDialog {
  Q_OBJECT
 public:
  explicit PositionConverter(QWidget* parent = nullptr);
  PositionInput* Input() const { return input_; }
  // The degree fields (latitude, longitude) of the input.
  QLineEdit* Latitude() const;
  QLineEdit* Longitude() const;
  QLabel* Result() const { return result_; }

 private:
  void Update();
  PositionInput* input_;
  QLabel* result_;
};

class DistanceCalculator final : public QDialog {
  Q_OBJECT
 public:
  // The waypoints are offered as either end.
  explicit DistanceCalculator(std::vector<Waypoint> waypoints, QWidget* parent = nullptr);
  PositionInput* End(int end) const { return ends_[static_cast<std::size_t>(end)]; }
  // The ends' first two fields: from latitude, from longitude, to latitude, to longitude.
  QLineEdit* Field(int index) const { return End(index / 2)->Field(index % 2); }
  // Fills one end (0 or 1) from a waypoint of the list.
  void UseWaypoint(int end, int waypoint);
  QLabel* Result() const { return result_; }

 private:
  void Update();
  std::vector<Waypoint> waypoints_;
  std::array<PositionInput*, 2> ends_{};
  QLabel* result_;
};

}  // namespace logwell::qt
