// logwell: the window program. Started without arguments it is the interactive tool; with the
// command line of an unattended run it does that run (hidden with /WIN=0) and the window shows
// the result unless the run ends the program.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <thread>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "access/debug_buffer.h"
#include "access/port_list.h"
#include "base/version.h"
#include "devices/family.h"
#include "app/command_line.h"
#include "app/file_commands.h"
#include "app/job_runner.h"
#include "app/settings.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

namespace {

using namespace logwell;

void ShowWindow(qt::MainWindow& window, const CommandLineOptions& options) {
  if (options.showCommand == ShowCommand::Minimised) {
    window.showMinimized();
  } else {
    window.show();
  }
}

// Runs the command line's job on a thread of its own while the window's event loop goes on, so
// that the workers' reports and boxes reach the window; then ends the program or lets the run go
// on as an interactive one.
int RunJobInWindow(QApplication& app, qt::MainWindow& window, CommandLineOptions& options,
                   JobHost& host, qt::QtUi& ui) {
  if (!UnattendedAccessFor(options)) {
    // A file job reads the file before the window shows it.
    const JobOutcome outcome = RunCommandLineJob(options, host);
    window.RefreshView(ViewMode::TrackLog);
    if (options.exitWhenDone || ui.Hidden()) return outcome.exitCode;
    ShowWindow(window, options);
    QApplication::exec();
    return outcome.exitCode;
  }
  if (!ui.Hidden()) ShowWindow(window, options);
  JobOutcome outcome;
  std::jthread job([&] {
    outcome = RunCommandLineJob(options, host);
    QMetaObject::invokeMethod(&app, [&] {
      window.RefreshView(ViewMode::TrackLog);
      const bool stay = outcome.stayOpen || !(options.exitWhenDone || ui.Hidden());
      if (!stay) {
        QApplication::quit();
        return;
      }
      if (outcome.stayOpen) {
        // The user must see why a file could not be written.
        ui.SetHidden(false);
        window.show();
      }
    }, Qt::QueuedConnection);
  });
  QApplication::exec();
  if (host.framework->AccessCurrent()) {
    // The window was closed while the instrument job ran: nobody can answer its boxes now.
    ui.SetHidden(true);
    host.framework->AbortGpsAccess(nullptr);
  }
  job.join();
  return outcome.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("logwell");
  // The installed desktop entry and icon (packaging/desktop) name the window on the desktop.
  QGuiApplication::setDesktopFileName("logwell");
  QApplication::setWindowIcon(QIcon::fromTheme("logwell"));
  QApplication::setApplicationVersion(QString::fromUtf8(kProgramVersion.data(),
                                                        static_cast<qsizetype>(kProgramVersion.size())));
  qt::QtUi ui;

  const std::span<const char* const> arguments(argv + 1, static_cast<std::size_t>(argc - 1));
  // Files a file manager passes (see the desktop file): waypoint or airspace files, or several
  // files, open in the interactive window the way dropped files do. One track file is the
  // command line's own file job.
  QStringList desktopFiles;
  for (const char* argument : arguments) {
    const QFileInfo info(QString::fromLocal8Bit(argument));
    if (!info.isFile()) {
      desktopFiles.clear();
      break;
    }
    desktopFiles << info.absoluteFilePath();
  }
  if (desktopFiles.size() == 1 && qt::MainWindow::KindOfFile(desktopFiles[0]) == qt::MainWindow::FileKind::Track) {
    desktopFiles.clear();
  }
  std::unique_ptr<CommandLineOptions> options;
  if (!arguments.empty() && desktopFiles.isEmpty()) {
    ParseResult parsed = ParseArguments(arguments, ui, kml::KmlCommandLineHandlers());
    if (parsed.outcome != ParseOutcome::Go) return ExitCodeFor(parsed.outcome);
    options = std::move(parsed.options);
  }
  const bool unattended = options != nullptr;
  if (unattended && options->showCommand == ShowCommand::Hidden) ui.SetHidden(true);
  if (unattended && (options->dialogX != 0 || options->dialogY != 0)) {
    ui.SetBoxPosition(QPoint(options->dialogX, options->dialogY));
  }

  SettingsStore settings;
  settings.Load(StandardSettingsPaths(), ui);
  AccessTable table;
  qt::InstrumentMenuOptions menuOptions;
  FamilyEnvironment environment = EnvironmentFor(options.get());
  menuOptions.flymasterPowerOff = settings.Number(Setting::FlymasterPwrOff) != 0;
  environment.menuPowerOff = [&menuOptions](ProtocolType protocol) {
    return protocol == ProtocolType::Flymaster ? menuOptions.flymasterPowerOff.load() : menuOptions.powerOff.load();
  };
  environment.usbCompetitionWaypointCheck = [&menuOptions] { return menuOptions.usbCheckWaypoints.load(); };
  environment.segmentAccuracy = [&menuOptions] { return menuOptions.segmentAccuracy.load(); };
  // Workers read a setting when they need it; the window changes settings only while none runs.
  environment.numberSetting = [&settings](std::string_view name) -> std::int64_t {
    const auto rows = SettingRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].name == name && rows[i].kind == SettingKind::Number) return settings.Number(static_cast<Setting>(i));
    }
    return 0;
  };
  // The workers' progress reports also reach the window's progress bar, once it exists.
  auto progress = std::make_shared<std::function<void(std::string_view)>>();
  environment.notify = [external = environment.notify, progress](std::string_view text) {
    if (external) external(text);
    if (*progress) (*progress)(text);
  };
  RegisterInstrumentFamilies(table, environment);
  AccessFramework access(table);
  access.clearTrace = [] { DebugBuffer::Global().Clear(); };
  // Workers read the port when they start; the window changes it only while none runs.
  access.selectedPortName = [&settings] { return ResolvePortPath(settings.Text(Setting::PortName)); };

  qt::MainWindow window({access, table, settings, ui, unattended, &menuOptions});
  *progress = window.ProgressReporter();
  access.InitGpsAccess();
  if (!unattended) {
    window.show();
    if (!desktopFiles.isEmpty()) QTimer::singleShot(0, &window, [&window, desktopFiles] { window.OpenFiles(desktopFiles); });
    return QApplication::exec();
  }
  JobHost host;
  host.ui = &ui;
  host.framework = &access;
  host.log = &CurrentTrackLog();
  host.showWaypoints = [&window](const std::vector<Waypoint>& waypoints) {
    QMetaObject::invokeMethod(&window, [&window, waypoints] {
      window.Waypoints().Replace(waypoints);
      window.RefreshView(ViewMode::Waypoints);
    }, Qt::QueuedConnection);
  };
  host.showAirspace = [&window](const AirspaceList& airspace) {
    QMetaObject::invokeMethod(&window, [&window, airspace] {
      window.Airspaces() = airspace;
      window.RefreshView(ViewMode::Airspace);
    }, Qt::QueuedConnection);
  };
  const int exitCode = RunJobInWindow(app, window, *options, host, ui);
  // A run that ends by itself keeps what was changed in its window, as closing it would.
  window.SaveSettingsOnExit();
  return exitCode;
}
