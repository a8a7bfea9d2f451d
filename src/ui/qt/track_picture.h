#pragma once
// The pictures pilots look at first: the track seen from above ("Show &Track") in a local
// projection, coloured by climb rate, with the results of the distance analysis drawn over it
// (free distance, out-and-return, flat and FAI triangle), zoomed with the wheel and moved by
// dragging; and the altitude and vario over time ("Show &Vario").
#include <QPointF>
#include <QWidget>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "optimise/distance_analysis.h"
#include "model/track_point.h"

namespace logwell::qt {

class TrackPicture final : public QWidget {
  Q_OBJECT
 public:
  // Starts the distance analysis of the points on a thread of its own; the results are drawn
  // once it ends.
  TrackPicture(std::vector<TrackPoint> points, std::uint32_t loopGap, QWidget* parent = nullptr);
  ~TrackPicture() override;

  bool AnalysisDone() const { return analysis_.has_value(); }
  const DistanceAnalysis* Analysis() const { return analysis_ ? &*analysis_ : nullptr; }
  double Zoom() const { return zoom_; }
  QPointF Pan() const { return pan_; }
  // Zooms by `factor` keeping the point under `at` (widget pixels) in place.
  void ZoomAt(QPointF at, double factor);
  void PanBy(QPointF delta);
  // The widget position of a track point in the current view.
  QPointF ScreenOf(std::size_t index) const;
  // The climb rate (m/s) from the point before, which picks a point's colour.
  static QColor ClimbColour(double metresPerSecond);

 signals:
  void analysisFinished();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void DrawTrack(QPainter& painter) const;
  void DrawResults(QPainter& painter) const;
  void DrawLegend(QPainter& painter) const;
  QPointF Map(const QPointF& metres) const;

  std::vector<TrackPoint> points_;
  std::vector<QPointF> metres_;  // east and north of the track's middle
  std::vector<double> climb_;    // m/s from the previous point
  QPointF low_, high_;           // the bounds in metres
  std::uint32_t loopGap_;
  double zoom_ = 1.0;
  QPointF pan_;
  QPointF dragFrom_;
  std::optional<DistanceAnalysis> analysis_;
  std::atomic<bool> halt_{false};
  std::jthread thread_;
};

class VarioGraph final : public QWidget {
  Q_OBJECT
 public:
  explicit VarioGraph(std::vector<TrackPoint> points, QWidget* parent = nullptr);
  // Metres over time and the 60-second climb rate.
  const std::vector<double>& Altitudes() const { return altitude_; }
  const std::vector<double>& Climbs() const { return climb_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<TrackPoint> points_;
  std::vector<double> altitude_;
  std::vector<double> climb_;
};

}  // namespace logwell::qt
