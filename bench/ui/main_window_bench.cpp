// The main window with a 100,000-point track: the time to show the list (first screen drawn),
// to scroll to the end and draw that screen, and to select every row. Runs on the offscreen
// platform, so it needs no display.
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

namespace {

using namespace logwell;

constexpr int kPoints = 100'000;

struct Program {
  Program() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv.data());
    window = std::make_unique<qt::MainWindow>(
        qt::MainWindow::Services{access, table, settings, ui, true});
    window->show();
    TrackLog& log = CurrentTrackLog();
    log.points.resize(kPoints);
    for (int i = 0; i < kPoints; ++i) {
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
    p.window->RefreshView(ViewMode::TrackLog);
    p.Draw();
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

}  // namespace
