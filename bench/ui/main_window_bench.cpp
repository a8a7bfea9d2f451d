// The main window with a long track (100,000 points; LOGWELL_BENCH_POINTS=1000000 for the
// million-point case): the time to open it (list, track picture and profile built and drawn),
// to scroll to the end and draw that screen, to select a range and every row with the views
// following. Runs on the offscreen platform, so it needs no display. Peak memory:
//   LOGWELL_BENCH_POINTS=1000000 /usr/bin/time -v build/bench/ui/bench_main_window
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "track/track_log.h"
#include "ui/qt/list_model.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/track_picture.h"

namespace {

using namespace logwell;

int PointCount() {
  const QByteArray wanted = qgetenv("LOGWELL_BENCH_POINTS");
  bool ok = false;
  const int count = wanted.toInt(&ok);
  return ok && count > 1 ? count : 100'000;
}

struct Program {
  Program() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv.data());
    window = std::make_unique<qt::MainWindow>(
        qt::MainWindow::Services{access, table, settings, ui, true});
    window->show();
    TrackLog& log = CurrentTrackLog();
    const int points = PointCount();
    log.points.resize(static_cast<std::size_t>(points));
    for (int i = 0; i < points; ++i) {
      TrackPoint& point = log.points[static_cast<std::size_t>(i)];
      point.time = 1'000'000'000u + static_cast<GarminTime>(i);
      point.latitude = 550'000'000 + static_cast<std::int32_t>(20000.0 * std::sin(i / 50.0));
      point.longitude = 50'000'000 + i * 40;
      point.gpsAltitude = 15000 + i % 3000;
    }
    log.points.front().segmentStart = 1;
  }
  // Draws the list as the screen would.
  void Draw() { benchmark::DoNotOptimize(window->List()->viewport()->grab()); }
  // Draws the list and the views beside it.
  void DrawAll() {
    Draw();
    benchmark::DoNotOptimize(window->Picture()->grab());
    benchmark::DoNotOptimize(window->Profile()->grab());
  }

  int argc = 1;
  std::array<char*, 2> argv{const_cast<char*>("bench"), nullptr};
  std::unique_ptr<QApplication> app;
  AccessTable table;
  AccessFramework access{table};
  SettingsStore settings{"/docs"};
  qt::QtUi ui;
  std::unique_ptr<qt::MainWindow> window;
};

Program& TheProgram() {
  static Program program;
  return program;
}

void BM_OpenLongTrack(benchmark::State& state) {
  Program& p = TheProgram();
  for (auto _ : state) {
    // Another log each time, as a file read gives: the views are made anew.
    CurrentTrackLog().points.back().gpsAltitude ^= 1;
    p.window->RefreshView(ViewMode::TrackLog);
    p.DrawAll();
  }
  state.counters["rows"] = p.window->Model()->rowCount();
}
BENCHMARK(BM_OpenLongTrack)->Unit(benchmark::kMillisecond);

void BM_ScrollToEnd(benchmark::State& state) {
  Program& p = TheProgram();
  p.window->RefreshView(ViewMode::TrackLog);
  QScrollBar* bar = p.window->List()->verticalScrollBar();
  for (auto _ : state) {
    p.window->List()->scrollToBottom();
    p.Draw();
    state.PauseTiming();
    p.window->List()->scrollToTop();
    state.ResumeTiming();
  }
  state.counters["scroll_max"] = bar->maximum();
}
BENCHMARK(BM_ScrollToEnd)->Unit(benchmark::kMillisecond);

void BM_SelectAllRows(benchmark::State& state) {
  Program& p = TheProgram();
  p.window->RefreshView(ViewMode::TrackLog);
  for (auto _ : state) {
    p.window->RunCommand(40042);
    benchmark::DoNotOptimize(p.window->SelectedRows());
    state.PauseTiming();
    p.window->List()->clearSelection();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SelectAllRows)->Unit(benchmark::kMillisecond);

// A drag across a tenth of the profile: the list selects and scrolls, the views mark it.
void BM_SelectRangeInViews(benchmark::State& state) {
  Program& p = TheProgram();
  p.window->RefreshView(ViewMode::TrackLog);
  const auto count = CurrentTrackLog().points.size();
  for (auto _ : state) {
    p.window->SelectFixes(count / 2, count / 2 + count / 10);
    p.DrawAll();
  }
}
BENCHMARK(BM_SelectRangeInViews)->Unit(benchmark::kMillisecond);

}  // namespace
