#include "ui/qt/calculators.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/list_rows.h"
#include "base/text.h"
#include "geo/distance.h"
#include "geo/projection.h"
#include "ui/qt/qt_text.h"

namespace logwell::qt {
namespace {

// The two ends of an angle: its hemisphere letters, its limit and its name in messages.
struct AngleKind {
  QChar positive, negative;
  double limit;
  const char* name;
};
constexpr AngleKind kLatitude{'N', 'S', 90.0, "latitude"};
constexpr AngleKind kLongitude{'E', 'W', 180.0, "longitude"};

struct ReadAngle {
  std::optional<double> degrees;
  QString error;
};

// An angle of `parts` numbers (degrees; degrees and minutes; degrees, minutes and seconds), all
// but the last whole, with a hemisphere letter before or after it or a minus sign.
ReadAngle ReadAngleText(QString text, int parts, const AngleKind& kind) {
  const auto fail = [&kind](const QString& why) { return ReadAngle{std::nullopt, QString(kind.name) + ": " + why}; };
  text = text.trimmed().toUpper();
  if (text.isEmpty()) return fail("missing");
  double sign = 1.0;
  bool lettered = false;
  for (const QChar letter : {kind.positive, kind.negative}) {
    if (text.startsWith(letter) || text.endsWith(letter)) {
      sign = letter == kind.negative ? -1.0 : 1.0;
      text = (text.startsWith(letter) ? text.mid(1) : text.chopped(1)).trimmed();
      lettered = true;
      break;
    }
  }
  if (text.startsWith('-')) {
    if (lettered) return fail("a hemisphere letter and a minus sign");
    sign = -1.0;
    text = text.mid(1);
  }
  static const QRegularExpression kSeparators(QString::fromUtf8("[\\s\xc2\xb0'\"\xe2\x80\xb2\xe2\x80\xb3:]+"));
  const QStringList numbers = text.split(kSeparators, Qt::SkipEmptyParts);
  if (numbers.size() != parts) {
    static const char* const kExpected[] = {"", "type one number", "type degrees and minutes",
                                            "type degrees, minutes and seconds"};
    return fail(kExpected[parts]);
  }
  double value = 0.0;
  double unit = 1.0;
  for (int i = 0; i < parts; ++i) {
    bool ok = false;
    const double number = numbers[i].toDouble(&ok);
    if (!ok || !std::isfinite(number) || numbers[i].startsWith('-') || numbers[i].startsWith('+')) {
      return fail("\"" + numbers[i] + "\" is no number");
    }
    if (i + 1 < parts && number != std::floor(number)) return fail("only the last part may have decimals");
    if (i > 0 && number >= 60.0) return fail(i == 1 ? "minutes must be below 60" : "seconds must be below 60");
    value += number / unit;
    unit *= 60.0;
  }
  if (value > kind.limit) return fail(QString("beyond %1 degrees").arg(kind.limit));
  return {sign * value, {}};
}

// "N 46 30.000": hemisphere, degrees and minutes with thousandths.
QString DegreesMinutes(std::int32_t semicircles, char positive, char negative, int degreeDigits) {
  const std::int32_t milli = SemicirclesToMilliMinutes(semicircles);
  const std::int64_t size = std::abs(static_cast<std::int64_t>(milli));
  return Q(FormatText("%c %0*lld %02lld.%03lld", milli < 0 ? negative : positive, degreeDigits,
                      static_cast<long long>(size / 60000), static_cast<long long>(size / 1000 % 60),
                      static_cast<long long>(size % 1000)));
}

TypedPosition Failed(const QString& why) { return {std::nullopt, why}; }

TypedPosition ReadUtm(const QStringList& fields) {
  static const QRegularExpression kZone("^(\\d{1,2})\\s*([B-HJ-NP-Y])$");
  const QRegularExpressionMatch zone = kZone.match(fields.value(0).trimmed().toUpper());
  if (!zone.hasMatch()) return Failed("zone: type its number and band letter, as 32T");
  UtmPosition utm;
  utm.zone = zone.captured(1).toInt();
  utm.band = zone.captured(2).at(0).toLatin1();
  if (utm.zone < 1 || utm.zone > 60) return Failed("zone: 1 to 60");
  bool eastingOk = false, northingOk = false;
  utm.easting = fields.value(1).trimmed().toDouble(&eastingOk);
  utm.northing = fields.value(2).trimmed().toDouble(&northingOk);
  if (!eastingOk || !(utm.easting > 0.0 && utm.easting < 1000000.0)) return Failed("easting: metres, 1 to 999999");
  if (!northingOk || !(utm.northing >= 0.0 && utm.northing <= kUtmFalseNorthing)) {
    return Failed("northing: metres, 0 to 10000000");
  }
  const GeoPoint geo = UtmToGeo(utm);
  // The band says the hemisphere; it must also hold the northing (within a hundred metres, so
  // that a position read off a band's edge is not refused).
  constexpr double kEdge = 0.0009 * 0.017453292519943295;
  if (!std::isfinite(geo.latitude) || std::abs(geo.latitude) > std::numbers::pi / 2 ||
      (UtmLatitudeBand(geo.latitude - kEdge) != utm.band && UtmLatitudeBand(geo.latitude + kEdge) != utm.band)) {
    return Failed(QString("northing: not in band %1").arg(QChar(utm.band)));
  }
  return {ToSemicirclePoint(geo), {}};
}

TypedPosition ReadSemicircles(const QStringList& fields) {
  bool latOk = false, lonOk = false;
  const qlonglong latitude = fields.value(0).trimmed().toLongLong(&latOk);
  const qlonglong longitude = fields.value(1).trimmed().toLongLong(&lonOk);
  if (!latOk) return Failed("latitude: a whole number of semicircles");
  if (!lonOk) return Failed("longitude: a whole number of semicircles");
  constexpr qlonglong kQuarter = 1LL << 30, kHalf = 1LL << 31;
  if (latitude < -kQuarter || latitude > kQuarter) return Failed("latitude: -1073741824 to 1073741824");
  if (longitude < -kHalf || longitude >= kHalf) return Failed("longitude: -2147483648 to 2147483647");
  return {SemicirclePoint{static_cast<std::int32_t>(latitude), static_cast<std::int32_t>(longitude)}, {}};
}

}  // namespace

QString PositionFormatName(PositionFormat format) {
  switch (format) {
    case PositionFormat::Degrees: return "Degrees";
    case PositionFormat::DegreesMinutes: return "Degrees, minutes";
    case PositionFormat::DegreesMinutesSeconds: return "Degrees, minutes, seconds";
    case PositionFormat::Utm: return "UTM";
    case PositionFormat::Semicircles: return "Semicircles";
  }
  return {};
}

QStringList PositionFieldNames(PositionFormat format) {
  if (format == PositionFormat::Utm) return {"Zone and band", "Easting (m)", "Northing (m)"};
  return {"Latitude", "Longitude"};
}

TypedPosition ReadPosition(PositionFormat format, const QStringList& fields) {
  if (format == PositionFormat::Utm) return ReadUtm(fields);
  if (format == PositionFormat::Semicircles) return ReadSemicircles(fields);
  const int parts = format == PositionFormat::Degrees ? 1 : format == PositionFormat::DegreesMinutes ? 2 : 3;
  const ReadAngle latitude = ReadAngleText(fields.value(0), parts, kLatitude);
  if (!latitude.degrees) return Failed(latitude.error);
  const ReadAngle longitude = ReadAngleText(fields.value(1), parts, kLongitude);
  if (!longitude.degrees) return Failed(longitude.error);
  return {SemicirclePoint{DegreesToSemicircles(*latitude.degrees), DegreesToSemicircles(*longitude.degrees)}, {}};
}

QStringList PositionFields(PositionFormat format, SemicirclePoint point) {
  switch (format) {
    case PositionFormat::Degrees:
      return {Q(FormatText("%.7f", SemicirclesToDegrees(point.latitude))),
              Q(FormatText("%.7f", SemicirclesToDegrees(point.longitude)))};
    case PositionFormat::DegreesMinutes:
      return {DegreesMinutes(point.latitude, 'N', 'S', 2), DegreesMinutes(point.longitude, 'E', 'W', 3)};
    case PositionFormat::DegreesMinutesSeconds:
      return {Q(FormatLatitude(point.latitude)), Q(FormatLongitude(point.longitude))};
    case PositionFormat::Utm:
      return {Q(UtmCell(point.latitude, point.longitude, 0)), Q(UtmCell(point.latitude, point.longitude, 1)),
              Q(UtmCell(point.latitude, point.longitude, 2))};
    case PositionFormat::Semicircles:
      return {QString::number(point.latitude), QString::number(point.longitude)};
  }
  return {};
}

std::optional<SemicirclePoint> ParsePosition(const QString& latitude, const QString& longitude) {
  return ReadPosition(PositionFormat::Degrees, {latitude, longitude}).point;
}

QStringList PositionEncodings(SemicirclePoint point) {
  QStringList lines;
  for (int i = 0; i < kPositionFormatCount; ++i) {
    const auto format = static_cast<PositionFormat>(i);
    lines << PositionFormatName(format) + ": " + PositionFields(format, point).join(format == PositionFormat::Utm ? " " : "  ");
  }
  return lines;
}

QString DistanceText(SemicirclePoint from, SemicirclePoint to) {
  const GeoPoint a = ToGeoPoint(from);
  const GeoPoint b = ToGeoPoint(to);
  const std::optional<double> metres = EllipsoidDistance(a, b);
  if (!metres) return "Error";
  const double course = std::fmod(InitialCourseDegrees(a, b) + 360.0, 360.0);
  return Q(FormatText("%.1f m, course %.1f\xc2\xb0", *metres, course));
}

// ---- the input of one position ----

PositionInput::PositionInput(const QString& objectName, QWidget* parent) : QWidget(parent) {
  setObjectName(objectName);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  format_ = new QComboBox(this);
  format_->setObjectName(objectName + "Format");
  for (int i = 0; i < kPositionFormatCount; ++i) format_->addItem(PositionFormatName(static_cast<PositionFormat>(i)));
  auto* formatLabel = new QLabel("Typed as", this);
  formatLabel->setBuddy(format_);
  grid->addWidget(formatLabel, 0, 0);
  grid->addWidget(format_, 0, 1);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    fields_[i] = new QLineEdit(this);
    fields_[i]->setObjectName(objectName + QString::number(i));
    labels_[i] = new QLabel(this);
    labels_[i]->setBuddy(fields_[i]);
    grid->addWidget(labels_[i], static_cast<int>(i) + 1, 0);
    grid->addWidget(fields_[i], static_cast<int>(i) + 1, 1);
    connect(fields_[i], &QLineEdit::textChanged, this, &PositionInput::changed);
  }
  // A change of format keeps the position: the fields show it in the new encoding.
  connect(format_, &QComboBox::currentIndexChanged, this, [this](int index) {
    QStringList texts;
    for (const QLineEdit* field : fields_) texts << field->text();
    const TypedPosition before = ReadPosition(static_cast<PositionFormat>(shownFormat_), texts);
    shownFormat_ = index;
    ShowFormat();
    if (before.point) SetPoint(*before.point); else emit changed();
  });
  ShowFormat();
}

void PositionInput::ShowFormat() {
  const QStringList names = PositionFieldNames(static_cast<PositionFormat>(format_->currentIndex()));
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const bool used = static_cast<qsizetype>(i) < names.size();
    labels_[i]->setText(used ? names[static_cast<qsizetype>(i)] : QString());
    labels_[i]->setVisible(used);
    fields_[i]->setVisible(used);
    if (!used) fields_[i]->clear();
  }
}

void PositionInput::SetPoint(SemicirclePoint point) {
  const QStringList texts = PositionFields(static_cast<PositionFormat>(format_->currentIndex()), point);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const QSignalBlocker quiet(fields_[i]);
    fields_[i]->setText(texts.value(static_cast<qsizetype>(i)));
  }
  emit changed();
}

bool PositionInput::Empty() const {
  return std::ranges::all_of(fields_, [](const QLineEdit* field) { return field->text().trimmed().isEmpty(); });
}

TypedPosition PositionInput::Read() const {
  QStringList texts;
  for (const QLineEdit* field : fields_) texts << field->text();
  return ReadPosition(static_cast<PositionFormat>(format_->currentIndex()), texts);
}

// ---- the dialogs ----

PositionConverter::PositionConverter(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Convert position");
  auto* form = new QFormLayout(this);
  input_ = new PositionInput("position", this);
  form->addRow(input_);
  result_ = new QLabel(this);
  result_->setObjectName("result");
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(result_);
  connect(input_, &PositionInput::changed, this, [this] { Update(); });
  Update();
}

QLineEdit* PositionConverter::Latitude() const { return input_->Field(0); }
QLineEdit* PositionConverter::Longitude() const { return input_->Field(1); }

void PositionConverter::Update() {
  if (input_->Empty()) {
    result_->setText("Type a position");
    return;
  }
  const TypedPosition typed = input_->Read();
  result_->setText(typed.point ? PositionEncodings(*typed.point).join('\n') : "Error: " + typed.error);
}

DistanceCalculator::DistanceCalculator(std::vector<Waypoint> waypoints, QWidget* parent)
    : QDialog(parent), waypoints_(std::move(waypoints)) {
  setWindowTitle("Calculate distance");
  auto* form = new QFormLayout(this);
  for (int end = 0; end < 2; ++end) {
    auto* heading = new QLabel(end == 0 ? "<b>From</b>" : "<b>To</b>", this);
    heading->setTextFormat(Qt::RichText);
    form->addRow(heading);
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
    ends_[static_cast<std::size_t>(end)] = new PositionInput(end == 0 ? "from" : "to", this);
    form->addRow(End(end));
    connect(End(end), &PositionInput::changed, this, [this] { Update(); });
  }
  result_ = new QLabel(this);
  result_->setObjectName("result");
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(result_);
  Update();
}

void DistanceCalculator::UseWaypoint(int end, int waypoint) {
  const Waypoint& point = waypoints_.at(static_cast<std::size_t>(waypoint));
  End(end)->SetPoint({point.latitude, point.longitude});
}

void DistanceCalculator::Update() {
  if (End(0)->Empty() && End(1)->Empty()) {
    result_->setText("Type two positions");
    return;
  }
  const TypedPosition from = End(0)->Read();
  const TypedPosition to = End(1)->Read();
  if (!from.point || !to.point) {
    result_->setText(!from.point ? "Error: from " + from.error : "Error: to " + to.error);
    return;
  }
  result_->setText(DistanceText(*from.point, *to.point));
}

}  // namespace logwell::qt
