#include "ui/qt/track_picture.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QToolTip>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#ifdef LOGWELL_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

#include "airspace/airspace_points.h"
#include "base/atomic_file.h"
#include "geo/units.h"
#include "ui/qt/qt_text.h"
#include "track/statistics.h"
#include "base/text.h"

namespace logwell::qt {
namespace {

constexpr double kEarthRadius = 6371000.0;  // metres; the picture needs no ellipsoid
constexpr int kMargin = 24;
// A press and release closer than this (pixels) is a click, not a drag.
constexpr double kClickSlack = 4.0;
// What marks the selected fixes in both views.
const QColor kSelectionColour(255, 200, 0, 150);
// The claim's course and its line in the legend: black and broader than the distance analysis.
const QColor kClaimColour(0, 0, 0);
constexpr double kClaimWidth = 3.0;

double ClimbBetween(const TrackPoint& from, const TrackPoint& to) {
  const double seconds = static_cast<double>(to.time) - static_cast<double>(from.time);
  if (seconds <= 0.0) return 0.0;
  return (to.gpsAltitude - from.gpsAltitude) / 10.0 / seconds;
}

QString Km(double metres) { return QString::fromStdString(FormatText("%.2f km", metres / 1000.0)); }

// The first of `count` indexes with the least `distanceOf`; none when there are none.
template <typename Distance>
std::optional<std::size_t> NearestIndex(std::size_t count, Distance distanceOf) {
  std::optional<std::size_t> nearest;
  double best = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double distance = distanceOf(i);
    if (!nearest || distance < best) nearest = i, best = distance;
  }
  return nearest;
}

QString TimeOfDay(GarminTime time) {
  const auto day = static_cast<unsigned>(time % 86400);
  return QString::fromStdString(FormatText("%02u:%02u", day / 3600, day / 60 % 60));
}

}  // namespace

// ---- the track picture ----

TrackPicture::TrackPicture(std::vector<TrackPoint> points, std::uint32_t loopGap, QWidget* parent,
                           int startDelayMs, ContestRules rules)
    : QWidget(parent), points_(std::move(points)), loopGap_(loopGap), rules_(rules) {
  Measure();
  if (startDelayMs == 0) {
    StartAnalysis();
  } else {
    QTimer::singleShot(startDelayMs, this, [this] { StartAnalysis(); });
  }
}

TrackPicture::TrackPicture(const std::vector<TrackPoint>* shared, std::uint32_t loopGap, QWidget* parent,
                           int startDelayMs, ContestRules rules)
    : QWidget(parent), points_(shared), loopGap_(loopGap), rules_(rules) {
  Measure();
  analysisSkipped_ = points_.Count() > kSharedAnalysisLimit;
  if (analysisSkipped_) return;
  if (startDelayMs == 0) {
    StartAnalysis();
  } else {
    QTimer::singleShot(startDelayMs, this, [this] { StartAnalysis(); });
  }
}

// The projection and the bounds. The picture keeps nothing per fix: it projects the positions
// as it draws them.
void TrackPicture::Measure() {
  setObjectName("trackPicture");
  setWindowTitle("Track");
  setMinimumSize(320, 240);
  resize(720, 560);
  // An equirectangular projection about the track's middle: exact enough for one flight.
  double latLow = 90, latHigh = -90, lonLow = 180, lonHigh = -180;
  for (const TrackPoint& p : points_.Get()) {
    const double lat = SemicirclesToRadians(p.latitude) * 180.0 / M_PI;
    const double lon = SemicirclesToRadians(p.longitude) * 180.0 / M_PI;
    latLow = std::min(latLow, lat), latHigh = std::max(latHigh, lat);
    lonLow = std::min(lonLow, lon), lonHigh = std::max(lonHigh, lon);
  }
  const double lat0 = (latLow + latHigh) / 2, lon0 = (lonLow + lonHigh) / 2;
  const double east = std::cos(lat0 * M_PI / 180.0) * kEarthRadius * M_PI / 180.0;
  const double north = kEarthRadius * M_PI / 180.0;
  lat0_ = lat0, lon0_ = lon0, eastScale_ = east, northScale_ = north;
  setMouseTracking(true);  // the airspace names on hover
  low_ = QPointF((lonLow - lon0) * east, (latLow - lat0) * north);
  high_ = QPointF((lonHigh - lon0) * east, (latHigh - lat0) * north);
}

void TrackPicture::StartAnalysis() {
  if (thread_.joinable() || points_.Get().empty()) return;
  // The analysis runs beside the window's thread, which may replace a shared log at any time:
  // it reads a copy of that.
  if (points_.Shared()) analysisCopy_ = points_.Get();
  const std::vector<TrackPoint>& points = points_.Shared() ? analysisCopy_ : points_.Get();
  AnalysisOptions options;
  options.loopGap = loopGap_;
  options.halt = &halt_;
  thread_ = std::jthread([this, &points, options, rules = rules_] {
    DistanceAnalysis analysis;
    const bool done = AnalyseDistances(points, analysis, options) == 0;
    QMetaObject::invokeMethod(this, [this, done, analysis] {
      if (!done) return;
      analysis_ = analysis;
      update();
      emit analysisFinished();
    }, Qt::QueuedConnection);
    // The claim by the exact optimiser takes longer: the distances are drawn meanwhile.
    ContestClaim claim;
    if (done && !halt_) claim = ScoreClaim(points, rules, &halt_);
    QMetaObject::invokeMethod(this, [this, done, claim = std::move(claim)] {
      analysisCopy_ = {};
      if (!done) return;
      claim_ = claim;
      update();
      emit claimFinished();
    }, Qt::QueuedConnection);
  });
}

TrackPicture::~TrackPicture() {
  halt_ = true;
  if (thread_.joinable()) thread_.join();
}

QColor TrackPicture::ClimbColour(double metresPerSecond) {
  // Blue for sink, green for level flight, red for climb; 3 m/s either way is the full colour.
  const double share = std::clamp(metresPerSecond / 3.0, -1.0, 1.0);
  return QColor::fromHsvF(static_cast<float>(1.0 / 3.0 - share / 3.0), 0.9f, 0.85f);
}

QPointF TrackPicture::Map(const QPointF& metres) const {
  const double spanX = std::max(high_.x() - low_.x(), 1.0);
  const double spanY = std::max(high_.y() - low_.y(), 1.0);
  const double base = std::min((width() - 2.0 * kMargin) / spanX, (height() - 2.0 * kMargin) / spanY);
  const QPointF middle = (low_ + high_) / 2;
  const QPointF centre(width() / 2.0, height() / 2.0);
  const double scale = base * zoom_;
  return centre + pan_ + QPointF((metres.x() - middle.x()) * scale, -(metres.y() - middle.y()) * scale);
}

QPointF TrackPicture::ScreenOf(std::size_t index) const { return Map(MetresOf(points_.Get().at(index))); }

void TrackPicture::ZoomAt(QPointF at, double factor) {
  const QPointF fromCentre = at - QPointF(width() / 2.0, height() / 2.0);
  pan_ = fromCentre - (fromCentre - pan_) * factor;
  zoom_ *= factor;
  update();
}

void TrackPicture::PanBy(QPointF delta) {
  pan_ += delta;
  update();
}

void TrackPicture::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  ZoomAt(event->position(), std::pow(1.25, steps));
}

void TrackPicture::mousePressEvent(QMouseEvent* event) { dragFrom_ = pressedAt_ = event->position(); }

// A press and release in one place is a click on the fix nearest to it; a move is a pan.
void TrackPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || (event->position() - pressedAt_).manhattanLength() >= kClickSlack) return;
  if (const auto index = NearestFix(event->position())) emit fixClicked(*index);
}

std::optional<std::size_t> TrackPicture::NearestFix(QPointF at) const {
  const std::vector<TrackPoint>& points = points_.Get();
  return NearestIndex(points.size(), [&](std::size_t i) {
    const QPointF d = Map(MetresOf(points[i])) - at;
    return d.x() * d.x() + d.y() * d.y();
  });
}

void TrackPicture::SetSelection(FixRanges ranges) {
  selection_ = std::move(ranges);
  update();
}

void TrackPicture::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) {
    const QStringList names = AirspacesAt(event->position());
    if (names.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(event->globalPosition().toPoint(), names.join('\n'), this);
    }
    return;
  }
  PanBy(event->position() - dragFrom_);
  dragFrom_ = event->position();
}

void TrackPicture::mouseDoubleClickEvent(QMouseEvent*) {
  zoom_ = 1.0;
  pan_ = {};
  update();
}

void TrackPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter);
}

// The picture on any device: the window, a PNG image or an SVG file.
void TrackPicture::Paint(QPainter& painter) const {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), QColor(250, 250, 245));
  if (points_.Get().empty()) {
    painter.drawText(rect(), Qt::AlignCenter, "No positions selected");
    return;
  }
  DrawOverlays(painter);
  DrawSelection(painter);
  DrawTrack(painter);
  DrawResults(painter);
  DrawScaleAndNorth(painter);
  DrawLegend(painter);
}

QPointF TrackPicture::ToMetres(std::int32_t latitude, std::int32_t longitude) const {
  return {(SemicirclesToRadians(longitude) * 180.0 / M_PI - lon0_) * eastScale_,
          (SemicirclesToRadians(latitude) * 180.0 / M_PI - lat0_) * northScale_};
}

void TrackPicture::SetOverlays(const AirspaceList& airspaces, std::span<const Waypoint> waypoints,
                               std::uint32_t accuracy) {
  airspaces_.clear();
  waypoints_.clear();
  for (std::size_t i = 0; i < airspaces.size(); ++i) {
    Outline outline;
    for (const Waypoint& point : AirspaceToPoints(airspaces[i], i, accuracy, 0)) {
      outline.metres << ToMetres(point.latitude, point.longitude);
    }
    if (outline.metres.size() < 3) continue;
    outline.name = Q(airspaces[i].name) + " (" + Q(AirspaceClassName(airspaces[i].classCode)) + ", " +
                   Q(airspaces[i].floorText) + " - " + Q(airspaces[i].ceilingText) + ")";
    outline.classCode = airspaces[i].classCode;
    airspaces_.push_back(std::move(outline));
  }
  for (const Waypoint& point : waypoints) {
    waypoints_.push_back({ToMetres(point.latitude, point.longitude), Q(point.Id())});
  }
  update();
}

QStringList TrackPicture::AirspacesAt(QPointF at) const {
  QStringList names;
  for (const Outline& outline : airspaces_) {
    QPolygonF screen;
    for (const QPointF& corner : outline.metres) screen << Map(corner);
    if (screen.containsPoint(at, Qt::OddEvenFill)) names << outline.name;
  }
  return names;
}

namespace {

// The fill of an airspace class: the controlled classes A to E in reds and oranges, the
// restricted, danger and prohibited areas in purples, the others in blues and greys.
QColor AirspaceColour(int classCode) {
  static const QColor kColours[kAirspaceClassCount] = {
      {200, 30, 30}, {220, 70, 40}, {230, 110, 40}, {40, 90, 200}, {60, 150, 210}, {140, 140, 140},
      {150, 40, 160}, {190, 40, 120}, {120, 40, 200}, {30, 140, 90}, {90, 90, 90}, {60, 160, 60},
      {120, 120, 120}};
  return kColours[std::clamp(classCode, 0, kAirspaceClassCount - 1)];
}

// 1, 2 or 5 times a power of ten, the largest not above `metres`.
double RoundScale(double metres) {
  const double power = std::pow(10.0, std::floor(std::log10(std::max(metres, 1.0))));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * power <= metres) return step * power;
  }
  return power;
}

}  // namespace

void TrackPicture::DrawOverlays(QPainter& painter) const {
  for (const Outline& outline : airspaces_) {
    QPolygonF screen;
    for (const QPointF& corner : outline.metres) screen << Map(corner);
    QColor fill = AirspaceColour(outline.classCode);
    QColor edge = fill;
    fill.setAlpha(45);
    painter.setPen(QPen(edge, 1.2));
    painter.setBrush(fill);
    painter.drawPolygon(screen);
  }
  painter.setBrush(QColor(20, 20, 20));
  for (const Mark& mark : waypoints_) {
    const QPointF at = Map(mark.metres);
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(QPolygonF({at + QPointF(0, -5), at + QPointF(4.5, 3), at + QPointF(-4.5, 3)}));
    painter.setPen(QColor(20, 20, 20));
    painter.drawText(at + QPointF(6, -4), mark.id);
  }
}

std::pair<double, double> TrackPicture::ScaleBar() const {
  // Pixels per metre: the distance on screen of a kilometre eastwards.
  const double perMetre = (Map(QPointF(1000, 0)).x() - Map(QPointF(0, 0)).x()) / 1000.0;
  if (perMetre <= 0.0) return {0.0, 0.0};
  const double metres = RoundScale(width() / 5.0 / perMetre);
  return {metres, metres * perMetre};
}

void TrackPicture::DrawScaleAndNorth(QPainter& painter) const {
  const auto [metres, pixels] = ScaleBar();
  const double y = height() - 14.0;
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(QPointF(12, y), QPointF(12 + pixels, y));
  painter.drawLine(QPointF(12, y - 4), QPointF(12, y + 2));
  painter.drawLine(QPointF(12 + pixels, y - 4), QPointF(12 + pixels, y + 2));
  const QString label = metres >= 1000 ? QString("%1 km").arg(metres / 1000.0) : QString("%1 m").arg(metres);
  painter.drawText(QPointF(16, y - 6), label);
  // North is up: an arrow in the top right corner.
  const QPointF tip(width() - 24.0, 14.0);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawPolygon(QPolygonF({tip, tip + QPointF(7, 22), tip + QPointF(0, 16), tip + QPointF(-7, 22)}));
  painter.setPen(Qt::black);
  painter.drawText(QRectF(tip.x() - 10, tip.y() + 22, 20, 16), Qt::AlignCenter, "N");
}

void TrackPicture::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* png = menu.addAction("Save picture as &PNG...");
  menu.addAction("Save picture as S&VG...");
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == nullptr) return;
  const bool asPng = chosen == png;
  const QString path = QFileDialog::getSaveFileName(this, "Save picture", QString(),
                                                    asPng ? "PNG images (*.png)" : "SVG images (*.svg)");
  if (path.isEmpty()) return;
  std::filesystem::path file = path.toStdString();
  if (!file.has_extension()) file += asPng ? ".png" : ".svg";
  Export(file);
}

bool TrackPicture::Export(const std::filesystem::path& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const std::string extension = LowerExtension(path);
  if (extension == ".svg") {
#ifdef LOGWELL_HAVE_QT_SVG
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size());
    svg.setViewBox(rect());
    svg.setTitle("Track");
    QPainter painter(&svg);
    Paint(painter);
#else
    QMessageBox::warning(this, "Save picture", "SVG is not available in this build");
    return false;
#endif
  } else {
    QImage image(size(), QImage::Format_ARGB32);
    QPainter painter(&image);
    Paint(painter);
    painter.end();
    image.save(&buffer, "PNG");
  }
  buffer.close();
  if (const int error = WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
      error != 0) {
    QMessageBox::warning(this, "Save picture", QString("Error writing %1: %2").arg(Q(path.string()), std::strerror(error)));
    return false;
  }
  return true;
}

void TrackPicture::DrawTrack(QPainter& painter) const {
  QPen pen;
  pen.setWidthF(2.0);
  pen.setCapStyle(Qt::RoundCap);
  const std::vector<TrackPoint>& points = points_.Get();
  QPointF previous = Map(MetresOf(points.front()));
  // The climb runs from the last fix with a trusted altitude: a fix whose altitude is left out
  // (GNSS altitude 0) keeps the colour of the climb before it.
  std::optional<std::size_t> trusted;
  if (!AltitudeLeftOut(points.front())) trusted = 0;
  double climb = 0.0;
  for (std::size_t i = 1; i < points.size(); ++i) {
    const QPointF here = Map(MetresOf(points[i]));
    const bool opens = (points[i].segmentStart & 1u) != 0;
    if (opens) trusted.reset();
    if (!AltitudeLeftOut(points[i])) {
      if (trusted) climb = ClimbBetween(points[*trusted], points[i]);
      trusted = i;
    }
    if (opens) {
      previous = here;
      continue;
    }
    // Fixes closer than a pixel to the last one drawn add nothing to see: a long log draws as
    // fast as a short one.
    if ((here - previous).manhattanLength() < 1.0 && i + 1 < points.size()) continue;
    pen.setColor(ClimbColour(climb));
    painter.setPen(pen);
    painter.drawLine(previous, here);
    previous = here;
  }
  // Take-off and landing, marked and named.
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(QColor(40, 180, 60));
  const QPointF takeOff = Map(MetresOf(points.front())), landing = Map(MetresOf(points.back()));
  painter.drawEllipse(takeOff, 5, 5);
  painter.drawText(takeOff + QPointF(7, 14), "Take-off");
  painter.setBrush(QColor(220, 40, 40));
  painter.drawEllipse(landing, 5, 5);
  painter.drawText(landing + QPointF(7, -7), "Landing");
}

// The selected fixes under the track, as a broad band.
void TrackPicture::DrawSelection(QPainter& painter) const {
  QPen pen(kSelectionColour, 9.0);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const std::vector<TrackPoint>& points = points_.Get();
  for (const auto& [first, last] : selection_) {
    if (first >= points.size()) continue;
    const std::size_t end = std::min(last, points.size() - 1);
    QPainterPath path(Map(MetresOf(points[first])));
    QPointF previous = path.currentPosition();
    for (std::size_t i = first + 1; i <= end; ++i) {
      const QPointF here = Map(MetresOf(points[i]));
      if ((here - previous).manhattanLength() < 1.0 && i < end) continue;
      path.lineTo(here);
      previous = here;
    }
    if (first == end) path.addEllipse(previous, 2, 2);
    painter.drawPath(path);
  }
}

void TrackPicture::DrawResults(QPainter& painter) const {
  if (!analysis_) return;
  const DistanceAnalysis& a = *analysis_;
  auto polyline = [&](std::initializer_list<std::size_t> indexes, const QColor& colour, Qt::PenStyle style,
                      bool closed, double width = 2.0) {
    QPainterPath path;
    bool first = true;
    for (const std::size_t i : indexes) {
      if (i >= points_.Get().size()) return;
      const QPointF at = Map(MetresOf(points_.Get()[i]));
      if (first) path.moveTo(at); else path.lineTo(at);
      first = false;
    }
    if (closed) path.closeSubpath();
    painter.setPen(QPen(colour, width, style));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  };
  // The claim first, broad and underneath: the distance analysis stays readable over it.
  if (const ContestResult* best = claim_ ? claim_->Best() : nullptr) {
    const auto& v = best->exact.points;
    switch (best->kind->rules.kind) {
      case ExactKind::FreeDistance:
        polyline({v[0], v[1], v[2], v[3], v[4]}, kClaimColour, Qt::SolidLine, false, kClaimWidth);
        break;
      case ExactKind::OutAndReturn:
        polyline({v[1], v[2]}, kClaimColour, Qt::SolidLine, false, kClaimWidth);
        polyline({v[0], v[4]}, kClaimColour, Qt::DotLine, false, kClaimWidth);
        break;
      default:
        polyline({v[1], v[2], v[3]}, kClaimColour, Qt::SolidLine, true, kClaimWidth);
        polyline({v[0], v[4]}, kClaimColour, Qt::DotLine, false, kClaimWidth);
        break;
    }
  }
  const auto& five = a.five.points;
  if (a.five.total > 0) polyline({five[0], five[1], five[2], five[3], five[4]}, QColor(40, 80, 220), Qt::DashLine, false);
  if (a.outAndReturn.result > 0) {
    polyline({a.outAndReturn.start, a.outAndReturn.turn, a.outAndReturn.end}, QColor(0, 150, 160), Qt::DashDotLine, false);
  }
  if (a.triangle.result > 0) {
    const auto& t = a.triangle.points;
    polyline({t[1], t[2], t[3]}, QColor(230, 120, 0), Qt::SolidLine, true);
    polyline({t[0], t[4]}, QColor(230, 120, 0), Qt::DotLine, false);
  }
  if (a.fai.result > 0) {
    const auto& t = a.fai.points;
    polyline({t[1], t[2], t[3]}, QColor(200, 0, 160), Qt::SolidLine, true);
    polyline({t[0], t[4]}, QColor(200, 0, 160), Qt::DotLine, false);
  }
}

namespace {

constexpr std::string_view kAnalysisPrefix = "Distance analysis: ";

}  // namespace

QStringList TrackPicture::LegendLines() const {
  QStringList lines;
  lines << QString("%1 positions").arg(points_.Count());
  if (analysisSkipped_) {
    lines << "Distances: Show Track analyses a log this long";
  } else if (!analysis_) {
    lines << "Analysing track";
  } else {
    // What pilots read as their score comes first, under its contest's name; the distance
    // analysis (closing within the loop gap) is named for what it is.
    const std::string_view contest = ContestName(rules_);
    lines << (claim_ ? Q(ClaimText(*claim_))
                     : Q(contest) + ": scoring the flight");
    const QString prefix = Q(kAnalysisPrefix);
    lines << prefix + "free distance (5 points) " + Km(analysis_->five.total);
    if (analysis_->outAndReturn.result > 0) lines << prefix + "out-and-return " + Km(analysis_->outAndReturn.result);
    if (analysis_->triangle.result > 0) lines << prefix + "flat triangle " + Km(analysis_->triangle.result);
    if (analysis_->fai.result > 0) lines << prefix + "FAI triangle " + Km(analysis_->fai.result);
  }
  lines << "Climb: blue -3 m/s, green 0, red +3 m/s";
  return lines;
}

void TrackPicture::DrawLegend(QPainter& painter) const {
  const QStringList lines = LegendLines();
  const QString prefix = Q(kAnalysisPrefix);
  // Each line in the colour of what it names; the claim is the line after the fix count.
  const auto colourOf = [&](int index, const QString& line) -> QColor {
    if (!analysis_) return Qt::black;
    if (index == 1) return kClaimColour;
    if (!line.startsWith(prefix)) return Qt::black;
    const QString what = line.mid(prefix.size());
    return what.startsWith("free") ? QColor(40, 80, 220) : what.startsWith("out") ? QColor(0, 150, 160)
         : what.startsWith("flat") ? QColor(230, 120, 0) : QColor(200, 0, 160);
  };
  const int lineHeight = painter.fontMetrics().height();
  const QFont plain = painter.font();
  QFont bold = plain;
  bold.setBold(true);
  int width = 300;
  for (const QString& line : lines) {
    width = std::max(width, QFontMetrics(bold).horizontalAdvance(line) + 12);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 210));
  painter.drawRect(QRect(6, 6, width, lineHeight * static_cast<int>(lines.size()) + 8));
  for (int i = 0; i < lines.size(); ++i) {
    painter.setPen(colourOf(i, lines[i]));
    painter.setFont(analysis_ && i == 1 ? bold : plain);
    painter.drawText(12, 8 + lineHeight * (i + 1) - painter.fontMetrics().descent(), lines[i]);
  }
  painter.setFont(plain);
}

// ---- the altitude and vario graph ----

VarioGraph::VarioGraph(std::vector<TrackPoint> points, QWidget* parent, std::uint32_t intervalSeconds)
    : QWidget(parent), points_(std::move(points)), interval_(intervalSeconds) {
  Prepare();
}

VarioGraph::VarioGraph(const std::vector<TrackPoint>* shared, QWidget* parent, std::uint32_t intervalSeconds)
    : QWidget(parent), points_(shared), interval_(intervalSeconds) {
  Prepare();
}

void VarioGraph::Prepare() {
  setMouseTracking(true);  // the read-out follows the pointer
  setObjectName("varioGraph");
  setWindowTitle("Vario");
  setMinimumSize(320, 200);
  resize(720, 360);
  // The climb over the interval is kept (in single precision, plenty for a graph); the speed,
  // which needs the distances, is worked out for the read-out's fix only.
  // Fixes whose altitude is left out (marked invalid, GNSS altitude 0) are passed over as the
  // statistics pass them over: no altitude, no climb of their own, no part in another's.
  climb_ = ClimbSeries(points_.Get(), interval_);
}

std::vector<double> VarioGraph::Altitudes() const {
  std::vector<double> altitudes;
  for (const TrackPoint& point : points_.Get()) {
    altitudes.push_back(AltitudeLeftOut(point) ? std::numeric_limits<double>::quiet_NaN() : point.gpsAltitude / 10.0);
  }
  return altitudes;
}

QRectF VarioGraph::Plot() const { return QRectF(56, 16, width() - 112, height() - 48); }

double VarioGraph::XOf(std::size_t index) const {
  const QRectF plot = Plot();
  const std::vector<TrackPoint>& points = points_.Get();
  if (index >= points.size()) return plot.left();
  const double t0 = static_cast<double>(points.front().time);
  const double t1 = std::max(static_cast<double>(points.back().time), t0 + 1);
  return plot.left() + (static_cast<double>(points[index].time) - t0) / (t1 - t0) * plot.width();
}

std::optional<std::size_t> VarioGraph::NearestFix(double x) const {
  return NearestIndex(points_.Get().size(), [&](std::size_t i) { return std::abs(XOf(i) - x); });
}

void VarioGraph::SetSelection(FixRanges ranges) {
  selection_ = std::move(ranges);
  update();
}

void VarioGraph::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragFrom_ = dragTo_ = event->position().x();
}

QString VarioGraph::ReadoutAt(double x) const {
  const auto index = NearestFix(x);
  if (!index) return {};
  const std::vector<TrackPoint>& points = points_.Get();
  const auto day = static_cast<unsigned>(points[*index].time % 86400);
  const double speed = WindowedSpeedAndClimb(points, *index, interval_).speed;
  if (AltitudeLeftOut(points[*index])) {
    return QString::fromStdString(FormatText("%02u:%02u:%02u  altitude not valid  %.0f km/h", day / 3600,
                                             day / 60 % 60, day % 60, speed));
  }
  return QString::fromStdString(FormatText("%02u:%02u:%02u  %.0f m  %+.1f m/s  %.0f km/h", day / 3600, day / 60 % 60,
                                           day % 60, points[*index].gpsAltitude / 10.0,
                                           static_cast<double>(climb_[*index]), speed));
}

void VarioGraph::leaveEvent(QEvent*) {
  hoverX_.reset();
  update();
}

void VarioGraph::mouseMoveEvent(QMouseEvent* event) {
  hoverX_ = event->position().x();
  if (!dragFrom_) {
    const QString readout = ReadoutAt(*hoverX_);
    if (!readout.isEmpty()) QToolTip::showText(event->globalPosition().toPoint(), readout, this);
    update();
    return;
  }
  dragTo_ = event->position().x();
  update();
}

// A click names the fix nearest in time; a drag the fixes whose times it spans.
void VarioGraph::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragFrom_ || event->button() != Qt::LeftButton || points_.Get().empty()) return;
  const double from = *dragFrom_;
  const double to = event->position().x();
  dragFrom_.reset();
  update();
  if (std::abs(to - from) < kClickSlack) {
    if (const auto index = NearestFix(to)) emit fixClicked(*index);
    return;
  }
  const double low = std::min(from, to), high = std::max(from, to);
  std::optional<std::size_t> first, last;
  for (std::size_t i = 0; i < points_.Get().size(); ++i) {
    const double x = XOf(i);
    if (x < low || x > high) continue;
    if (!first) first = i;
    last = i;
  }
  if (first) emit rangeSelected(*first, *last);
}

void VarioGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), QColor(250, 250, 245));
  const std::vector<TrackPoint>& points = points_.Get();
  if (points.size() < 2) {
    painter.drawText(rect(), Qt::AlignCenter, "Too few positions selected");
    return;
  }
  const QRectF plot = Plot();
  const double t0 = static_cast<double>(points.front().time);
  const double t1 = std::max(static_cast<double>(points.back().time), t0 + 1);
  // The axes span the trusted altitudes and climbs only (a left-out fix is NaN in both).
  const std::vector<double> altitudes = Altitudes();
  double lowest = HUGE_VAL, highest = -HUGE_VAL;
  for (const double a : altitudes) {
    if (std::isnan(a)) continue;
    lowest = std::min(lowest, a), highest = std::max(highest, a);
  }
  if (lowest > highest) lowest = highest = 0.0;
  const double altLow = std::floor(lowest / 100) * 100;
  const double altHigh = std::ceil(highest / 100) * 100 + 100;
  double climbMax = 1.0;
  for (const float c : climb_) {
    if (!std::isnan(c)) climbMax = std::max(climbMax, std::abs(static_cast<double>(c)));
  }
  climbMax = std::ceil(climbMax);
  auto yAlt = [&](double a) { return plot.bottom() - (a - altLow) / (altHigh - altLow) * plot.height(); };
  auto yClimb = [&](double c) { return plot.center().y() - c / climbMax * plot.height() / 2; };

  // The selected fixes and a drag in progress as bands across the plot.
  for (const auto& [first, last] : selection_) {
    if (first >= points.size()) continue;
    const double left = XOf(first), right = XOf(std::min(last, points.size() - 1));
    painter.fillRect(QRectF(left - 1, plot.top(), std::max(right - left, 0.0) + 2, plot.height()), kSelectionColour);
  }
  if (dragFrom_) {
    painter.fillRect(QRectF(std::min(*dragFrom_, dragTo_), plot.top(), std::abs(dragTo_ - *dragFrom_), plot.height()),
                     QColor(80, 140, 255, 70));
  }
  painter.setPen(QPen(QColor(200, 200, 200), 1));
  painter.drawRect(plot);
  painter.drawLine(QPointF(plot.left(), yClimb(0)), QPointF(plot.right(), yClimb(0)));
  // The time of day along the bottom, the altitude on the left and the climb on the right.
  painter.setPen(Qt::black);
  for (int tick = 0; tick <= 4; ++tick) {
    const double share = tick / 4.0;
    const double px = plot.left() + share * plot.width();
    painter.drawText(QPointF(px - 16, plot.bottom() + 16), TimeOfDay(static_cast<GarminTime>(t0 + share * (t1 - t0))));
    painter.setPen(QColor(30, 70, 200));
    painter.drawText(QPointF(4, plot.bottom() - share * plot.height() + 4),
                     QString("%1 m").arg(static_cast<int>(altLow + share * (altHigh - altLow))));
    painter.setPen(QColor(200, 40, 40));
    painter.drawText(QPointF(plot.right() + 6, plot.bottom() - share * plot.height() + 4),
                     QString("%1 m/s").arg(-climbMax + 2 * climbMax * share, 0, 'f', 1));
    painter.setPen(Qt::black);
  }
  // Each pixel column draws the lowest and highest value of its fixes, so that a long log
  // keeps its peaks and costs no more than the width of the plot.
  const auto curve = [&](auto valueOf, auto y) {
    QPainterPath path;
    double column = -1.0, low = 0.0, high = 0.0;
    const auto flush = [&] {
      if (column < 0.0) return;
      const QPointF a(column, y(low)), b(column, y(high));
      if (path.elementCount() == 0) path.moveTo(a); else path.lineTo(a);
      if (high != low) path.lineTo(b);
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double value = valueOf(i);
      if (std::isnan(value)) continue;  // a fix whose altitude is left out
      const double x = std::floor(XOf(i));
      if (x != column) {
        flush();
        column = x, low = high = value;
      } else {
        low = std::min(low, value), high = std::max(high, value);
      }
    }
    flush();
    return path;
  };
  if (hoverX_ && plot.contains(QPointF(*hoverX_, plot.center().y()))) {
    painter.setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    painter.drawLine(QPointF(*hoverX_, plot.top()), QPointF(*hoverX_, plot.bottom()));
  }
  painter.setPen(QPen(QColor(200, 40, 40), 1.2));
  painter.drawPath(curve([this](std::size_t i) { return static_cast<double>(climb_[i]); }, yClimb));
  painter.setPen(QPen(QColor(30, 70, 200), 2.0));
  painter.drawPath(curve([&altitudes](std::size_t i) { return altitudes[i]; }, yAlt));
}

}  // namespace logwell::qt
