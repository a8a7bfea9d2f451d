#pragma once
// The glide and polar graphs ("Show &Glide", "Show &Polar"): the flight cut into intervals of
// the "Set intervals" length (see FlightIntervals). The glide graph draws the glide ratio of each
// interval over the time of day, leaving a gap where the glider did not sink; the polar draws
// one dot per interval flown straight on (turns and thermals would draw no polar), its climb
// against its speed over the ground, sink downwards. Both read out the interval under the
// pointer. They keep only the intervals, not the positions they were made from.
#include <QWidget>
#include <optional>
#include <vector>

#include "model/track_point.h"
#include "track/statistics.h"

namespace logwell::qt {

// What the hover shows of an interval: end time, altitude, climb, speed and glide ratio.
QString IntervalReadout(const FlightInterval& interval);

class IntervalGraph : public QWidget {
  Q_OBJECT
 public:
  const std::vector<FlightInterval>& Intervals() const { return intervals_; }
  std::uint32_t Interval() const { return seconds_; }
  // The area of the graph in widget pixels.
  QRectF Plot() const;
  // Where an interval is drawn; nothing for an interval the graph leaves out.
  virtual std::optional<QPointF> ScreenOf(std::size_t index) const = 0;
  // The interval drawn nearest to a widget position, and what the hover shows there.
  std::optional<std::size_t> NearestInterval(QPointF at) const;
  QString ReadoutAt(QPointF at) const;

 protected:
  IntervalGraph(std::vector<FlightInterval> intervals, std::uint32_t seconds, QWidget* parent);
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  virtual void Draw(QPainter& painter) const = 0;
  // How far a drawn interval is from a widget position, as the graph measures nearness.
  virtual double Apart(QPointF drawn, QPointF at) const = 0;
  // What the graph shows when it has nothing to draw.
  virtual QString EmptyText() const = 0;
  virtual bool HasData() const = 0;
  void DrawHover(QPainter& painter) const;

  std::vector<FlightInterval> intervals_;
  std::uint32_t seconds_;
  std::optional<std::size_t> hover_;
};

class GlideGraph final : public IntervalGraph {
  Q_OBJECT
 public:
  GlideGraph(const std::vector<TrackPoint>& points, std::uint32_t seconds, QWidget* parent = nullptr);
  // The ratios above this are drawn at its height.
  static constexpr double kHighestRatio = 40.0;
  std::optional<QPointF> ScreenOf(std::size_t index) const override;

 protected:
  void Draw(QPainter& painter) const override;
  // Over time: the interval nearest in time.
  double Apart(QPointF drawn, QPointF at) const override;
  QString EmptyText() const override { return "Too few positions selected"; }
  bool HasData() const override { return !intervals_.empty(); }

 private:
  double XOf(GarminTime time) const;
  double YOf(double ratio) const;
  double top_ = 10.0;  // the highest ratio on the axis
};

class PolarGraph final : public IntervalGraph {
  Q_OBJECT
 public:
  PolarGraph(const std::vector<TrackPoint>& points, std::uint32_t seconds, QWidget* parent = nullptr);
  std::optional<QPointF> ScreenOf(std::size_t index) const override;
  // How many intervals were flown straight on, the dots of the graph.
  std::size_t DotCount() const;

 protected:
  void Draw(QPainter& painter) const override;
  double Apart(QPointF drawn, QPointF at) const override;
  QString EmptyText() const override;
  bool HasData() const override { return DotCount() > 0; }

 private:
  double XOf(double speed) const;
  double YOf(double climb) const;
  double fastest_ = 10.0;            // km/h at the right end
  double lowest_ = -1.0, highest_ = 1.0;  // m/s at the bottom and top
};

}  // namespace logwell::qt
