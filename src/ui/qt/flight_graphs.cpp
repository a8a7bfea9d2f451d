#include "ui/qt/flight_graphs.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "ui/qt/qt_text.h"

namespace logwell::qt {
namespace {

const QColor kBackground(250, 250, 245);
const QColor kGrid(200, 200, 200);
const QColor kCurve(30, 70, 200);

QString TimeOfDay(GarminTime time, bool seconds) {
  const auto day = static_cast<unsigned>(time % 86400);
  return seconds ? Q(FormatText("%02u:%02u:%02u", day / 3600, day / 60 % 60, day % 60))
                 : Q(FormatText("%02u:%02u", day / 3600, day / 60 % 60));
}

// A round step of about a fifth of `span`: 1, 2 or 5 times a power of ten.
double TickStep(double span) {
  const double rough = std::max(span / 5.0, 1e-9);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double step : {1.0, 2.0, 5.0}) {
    if (step * power >= rough) return step * power;
  }
  return 10.0 * power;
}

}  // namespace

QString IntervalReadout(const FlightInterval& interval) {
  const std::optional<double> glide = interval.Glide();
  return TimeOfDay(interval.endTime, true) +
         Q(FormatText("  %.0f m  %+.1f m/s  %.0f km/h  glide ", interval.endAltitude, interval.Climb(),
                      interval.Speed())) +
         (glide ? Q(FormatText("%.1f", *glide)) : QString("-"));
}

// ---- what both graphs share ----

IntervalGraph::IntervalGraph(std::vector<FlightInterval> intervals, std::uint32_t seconds, QWidget* parent)
    : QWidget(parent), intervals_(std::move(intervals)), seconds_(seconds) {
  setMouseTracking(true);  // the read-out follows the pointer
  setMinimumSize(320, 200);
  resize(720, 400);
}

QRectF IntervalGraph::Plot() const { return QRectF(56, 16, width() - 80, height() - 52); }

std::optional<std::size_t> IntervalGraph::NearestInterval(QPointF at) const {
  std::optional<std::size_t> nearest;
  double best = 0.0;
  for (std::size_t i = 0; i < intervals_.size(); ++i) {
    const auto drawn = ScreenOf(i);
    if (!drawn) continue;
    const double apart = Apart(*drawn, at);
    if (!nearest || apart < best) nearest = i, best = apart;
  }
  return nearest;
}

QString IntervalGraph::ReadoutAt(QPointF at) const {
  const auto index = NearestInterval(at);
  return index ? IntervalReadout(intervals_[*index]) : QString();
}

void IntervalGraph::mouseMoveEvent(QMouseEvent* event) {
  hover_ = NearestInterval(event->position());
  if (hover_) {
    QToolTip::showText(event->globalPosition().toPoint(), IntervalReadout(intervals_[*hover_]), this);
  } else {
    QToolTip::hideText();
  }
  update();
}

void IntervalGraph::leaveEvent(QEvent*) {
  hover_.reset();
  update();
}

void IntervalGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), kBackground);
  if (!HasData()) {
    painter.drawText(rect(), Qt::AlignCenter, EmptyText());
    return;
  }
  painter.setPen(QPen(kGrid, 1));
  painter.drawRect(Plot());
  Draw(painter);
  DrawHover(painter);
}

void IntervalGraph::DrawHover(QPainter& painter) const {
  if (!hover_) return;
  const auto at = ScreenOf(*hover_);
  if (!at) return;
  painter.setPen(QPen(QColor(200, 40, 40), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(*at, 5, 5);
  painter.setPen(Qt::black);
  painter.drawText(QPointF(Plot().left() + 6, Plot().top() + painter.fontMetrics().ascent() + 2),
                   IntervalReadout(intervals_[*hover_]));
}

// ---- glide ratio over time ----

GlideGraph::GlideGraph(const std::vector<TrackPoint>& points, std::uint32_t seconds, QWidget* parent)
    : IntervalGraph(FlightIntervals(points, seconds), seconds, parent) {
  setObjectName("glideGraph");
  setWindowTitle(QString("Glide (%1 s intervals)").arg(seconds));
  for (const FlightInterval& interval : intervals_) {
    if (const auto glide = interval.Glide()) top_ = std::max(top_, std::min(*glide, kHighestRatio));
  }
  top_ = std::ceil(top_ / 5.0) * 5.0;
}

double GlideGraph::XOf(GarminTime time) const {
  const QRectF plot = Plot();
  const double t0 = static_cast<double>(intervals_.front().startTime);
  const double t1 = std::max(static_cast<double>(intervals_.back().endTime), t0 + 1.0);
  return plot.left() + (static_cast<double>(time) - t0) / (t1 - t0) * plot.width();
}

double GlideGraph::YOf(double ratio) const {
  const QRectF plot = Plot();
  return plot.bottom() - std::min(ratio, top_) / top_ * plot.height();
}

std::optional<QPointF> GlideGraph::ScreenOf(std::size_t index) const {
  const FlightInterval& interval = intervals_.at(index);
  const auto glide = interval.Glide();
  if (!glide) return std::nullopt;
  const GarminTime middle = interval.startTime + (interval.endTime - interval.startTime) / 2;
  return QPointF(XOf(middle), YOf(*glide));
}

double GlideGraph::Apart(QPointF drawn, QPointF at) const { return std::abs(drawn.x() - at.x()); }

void GlideGraph::Draw(QPainter& painter) const {
  const QRectF plot = Plot();
  const double step = TickStep(top_);
  for (double ratio = 0.0; ratio <= top_ + 1e-9; ratio += step) {
    painter.setPen(QPen(kGrid, 1));
    painter.drawLine(QPointF(plot.left(), YOf(ratio)), QPointF(plot.right(), YOf(ratio)));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(6, YOf(ratio) + 4), QString::number(ratio));
  }
  const double t0 = static_cast<double>(intervals_.front().startTime);
  const double t1 = static_cast<double>(intervals_.back().endTime);
  for (int tick = 0; tick <= 4; ++tick) {
    const double time = t0 + (t1 - t0) * tick / 4.0;
    painter.drawText(QPointF(XOf(static_cast<GarminTime>(time)) - 16, plot.bottom() + 16),
                     TimeOfDay(static_cast<GarminTime>(time), false));
  }
  painter.drawText(QPointF(plot.left(), height() - 6), "Glide ratio (distance flown over height lost) over time");
  // One level step per interval; a gap where the glider climbed.
  painter.setPen(QPen(kCurve, 2));
  QPainterPath path;
  bool open = false;
  for (const FlightInterval& interval : intervals_) {
    const auto glide = interval.Glide();
    if (!glide) {
      open = false;
      continue;
    }
    const QPointF from(XOf(interval.startTime), YOf(*glide)), to(XOf(interval.endTime), YOf(*glide));
    if (open) path.lineTo(from); else path.moveTo(from);
    path.lineTo(to);
    open = true;
  }
  painter.drawPath(path);
}

// ---- the polar ----

PolarGraph::PolarGraph(const std::vector<TrackPoint>& points, std::uint32_t seconds, QWidget* parent)
    : IntervalGraph(FlightIntervals(points, seconds), seconds, parent) {
  setObjectName("polarGraph");
  setWindowTitle(QString("Polar (%1 s intervals)").arg(seconds));
  for (const FlightInterval& interval : intervals_) {
    if (!interval.Straight()) continue;
    fastest_ = std::max(fastest_, interval.Speed());
    lowest_ = std::min(lowest_, interval.Climb());
    highest_ = std::max(highest_, interval.Climb());
  }
  fastest_ = std::ceil(fastest_ / 10.0) * 10.0;
  lowest_ = std::floor(lowest_);
  highest_ = std::ceil(highest_);
}

std::size_t PolarGraph::DotCount() const {
  return static_cast<std::size_t>(
      std::ranges::count_if(intervals_, [](const FlightInterval& interval) { return interval.Straight(); }));
}

QString PolarGraph::EmptyText() const {
  return intervals_.empty() ? QString("Too few positions selected")
                            : QString("No straight flight over %1 s").arg(seconds_);
}

double PolarGraph::XOf(double speed) const {
  const QRectF plot = Plot();
  return plot.left() + speed / fastest_ * plot.width();
}

double PolarGraph::YOf(double climb) const {
  const QRectF plot = Plot();
  return plot.top() + (highest_ - climb) / (highest_ - lowest_) * plot.height();
}

std::optional<QPointF> PolarGraph::ScreenOf(std::size_t index) const {
  const FlightInterval& interval = intervals_.at(index);
  if (!interval.Straight()) return std::nullopt;
  return QPointF(XOf(interval.Speed()), YOf(interval.Climb()));
}

double PolarGraph::Apart(QPointF drawn, QPointF at) const {
  const QPointF d = drawn - at;
  return d.x() * d.x() + d.y() * d.y();
}

void PolarGraph::Draw(QPainter& painter) const {
  const QRectF plot = Plot();
  const double climbStep = TickStep(highest_ - lowest_);
  for (double climb = std::ceil(lowest_ / climbStep) * climbStep; climb <= highest_ + 1e-9; climb += climbStep) {
    painter.setPen(QPen(climb == 0.0 ? Qt::darkGray : kGrid, 1));
    painter.drawLine(QPointF(plot.left(), YOf(climb)), QPointF(plot.right(), YOf(climb)));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(6, YOf(climb) + 4), QString("%1 m/s").arg(climb, 0, 'f', 1));
  }
  const double speedStep = TickStep(fastest_);
  for (double speed = 0.0; speed <= fastest_ + 1e-9; speed += speedStep) {
    painter.setPen(QPen(kGrid, 1));
    painter.drawLine(QPointF(XOf(speed), plot.top()), QPointF(XOf(speed), plot.bottom()));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(XOf(speed) - 10, plot.bottom() + 16), QString::number(speed));
  }
  painter.drawText(QPointF(plot.left(), height() - 6),
                   QString("Climb (m/s) against speed over ground (km/h), straight flight, %1 s each").arg(seconds_));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kCurve);
  for (std::size_t i = 0; i < intervals_.size(); ++i) {
    if (const auto at = ScreenOf(i)) painter.drawEllipse(*at, 2.5, 2.5);
  }
}

}  // namespace logwell::qt
