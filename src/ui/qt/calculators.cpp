#include "ui/qt/calculators.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <cmath>

#include "app/list_rows.h"
#include "base/text.h"
#include "geo/distance.h"
#include "ui/qt/qt_text.h"

namespace logwell::qt {
namespace {

// Decimal degrees with an optional hemisphere letter (`positive` or `negative`) before or
// after the number, within `limit`.
std::optional<double> ParseDegrees(QString text, QChar positive, QChar negative, double limit) {
  text = text.trimmed().toUpper();
  double sign = 1.0;
  for (const QChar letter : {positive, negative}) {
    if (text.startsWith(letter) || text.endsWith(letter)) {
      sign = letter == negative ? -1.0 : 1.0;
      text = text.startsWith(letter) ? text.mid(1) : text.chopped(1);
      text = text.trimmed();
      break;
    }
  }
  bool ok = false;
  const double value = text.toDouble(&ok) * sign;
  if (!ok || !std::isfinite(value) || std::abs(value) > limit) return std::nullopt;
  return value;
}

// "N 46 30.000": hemisphere, degrees and minutes with thousandths.
QString DegreesMinutes(std::int32_t semicircles, char positive, char negative, int degreeDigits) {
  const std::int32_t milli = SemicirclesToMilliMinutes(semicircles);
  const std::int64_t size = std::abs(static_cast<std::int64_t>(milli));
  return Q(FormatText("%c %0*lld %02lld.%03lld", milli < 0 ? negative : positive, degreeDigits,
                      static_cast<long long>(size / 60000), static_cast<long long>(size / 1000 % 60),
                      static_cast<long long>(size % 1000)));
}

}  // namespace

std::optional<SemicirclePoint> ParsePosition(const QString& latitude, const QString& longitude) {
  const auto lat = ParseDegrees(latitude, 'N', 'S', 90.0);
  const auto lon = ParseDegrees(longitude, 'E', 'W', 180.0);
  if (!lat || !lon) return std::nullopt;
  return SemicirclePoint{DegreesToSemicircles(*lat), DegreesToSemicircles(*lon)};
}

QStringList PositionEncodings(SemicirclePoint point) {
  return {
      Q(FormatText("Degrees: %.6f  %.6f", SemicirclesToDegrees(point.latitude), SemicirclesToDegrees(point.longitude))),
      "Degrees, minutes: " + DegreesMinutes(point.latitude, 'N', 'S', 2) + "  " +
          DegreesMinutes(point.longitude, 'E', 'W', 3),
      Q("Degrees, minutes, seconds: " + FormatLatitude(point.latitude) + "  " + FormatLongitude(point.longitude)),
      Q("UTM: " + UtmCell(point.latitude, point.longitude, 0) + " " + UtmCell(point.latitude, point.longitude, 1) +
        " " + UtmCell(point.latitude, point.longitude, 2)),
      Q(FormatText("Semicircles: %d  %d", point.latitude, point.longitude)),
  };
}

QString DistanceText(SemicirclePoint from, SemicirclePoint to) {
  const GeoPoint a = ToGeoPoint(from);
  const GeoPoint b = ToGeoPoint(to);
  const std::optional<double> metres = EllipsoidDistance(a, b);
  if (!metres) return "Error";
  const double course = std::fmod(InitialCourseDegrees(a, b) + 360.0, 360.0);
  return Q(FormatText("%.1f m, course %.1f\xc2\xb0", *metres, course));
}

PositionConverter::PositionConverter(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Convert position");
  auto* form = new QFormLayout(this);
  latitude_ = new QLineEdit(this);
  latitude_->setObjectName("latitude");
  longitude_ = new QLineEdit(this);
  longitude_->setObjectName("longitude");
  form->addRow("&Latitude (degrees)", latitude_);
  form->addRow("L&ongitude (degrees)", longitude_);
  result_ = new QLabel(this);
  result_->setObjectName("result");
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(result_);
  for (QLineEdit* edit : {latitude_, longitude_}) connect(edit, &QLineEdit::textChanged, this, [this] { Update(); });
  Update();
}

void PositionConverter::Update() {
  const auto point = ParsePosition(latitude_->text(), longitude_->text());
  result_->setText(point ? PositionEncodings(*point).join('\n') : QString("Type a latitude and a longitude"));
}

DistanceCalculator::DistanceCalculator(std::vector<Waypoint> waypoints, QWidget* parent)
    : QDialog(parent), waypoints_(std::move(waypoints)) {
  setWindowTitle("Calculate distance");
  auto* form = new QFormLayout(this);
  const char* labels[] = {"&From latitude", "From l&ongitude", "&To latitude", "To lo&ngitude"};
  for (int end = 0; end < 2; ++end) {
    if (!waypoints_.empty()) {
      auto* choice = new QComboBox(this);
      choice->setObjectName(end == 0 ? "fromWaypoint" : "toWaypoint");
      choice->addItem("(typed position)");
      for (const Waypoint& point : waypoints_) choice->addItem(Q(point.Id()));
      connect(choice, &QComboBox::activated, this, [this, end](int index) {
        if (index > 0) UseWaypoint(end, index - 1);
      });
      form->addRow(end == 0 ? "From &waypoint" : "To wa&ypoint", choice);
    }
    for (int i = 0; i < 2; ++i) {
      auto* edit = new QLineEdit(this);
      form->addRow(labels[end * 2 + i], edit);
      connect(edit, &QLineEdit::textChanged, this, [this] { Update(); });
      fields_.push_back(edit);
    }
  }
  result_ = new QLabel(this);
  result_->setObjectName("result");
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(result_);
  Update();
}

void DistanceCalculator::UseWaypoint(int end, int waypoint) {
  const Waypoint& point = waypoints_.at(static_cast<std::size_t>(waypoint));
  Field(end * 2)->setText(Q(FormatText("%.7f", SemicirclesToDegrees(point.latitude))));
  Field(end * 2 + 1)->setText(Q(FormatText("%.7f", SemicirclesToDegrees(point.longitude))));
}

void DistanceCalculator::Update() {
  const auto from = ParsePosition(Field(0)->text(), Field(1)->text());
  const auto to = ParsePosition(Field(2)->text(), Field(3)->text());
  result_->setText(from && to ? DistanceText(*from, *to) : QString("Type two positions"));
}

}  // namespace logwell::qt
