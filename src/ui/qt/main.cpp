// logwell: the window program. Started without arguments it is the interactive tool; with the
// command line of an unattended run it does that run (hidden with /WIN=0) and the window shows
// the result unless the run ends the program.
#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <span>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "access/debug_buffer.h"
#include "access/port_list.h"
#include "base/version.h"
#include "devices/flytec/flytec_workers.h"
#include "app/command_line.h"
#include "app/settings.h"
#include "track/igc/igc_commands.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

namespace {

using namespace logwell;

// Every instrument family built into the program registers its workers here; its commands
// and buttons appear in the window from then on.
void RegisterInstrumentFamilies(AccessTable& table, const SettingsStore& settings) {
  flytec::FlytecContext flytecContext;
  flytecContext.competitionMode = settings.Number(Setting::CompMode) != 0;
  flytec::RegisterFlytecWorkers(table, flytecContext);
}

// The file job of an unattended run; the instrument jobs fail with the access framework's
// own message until their families are built.
int RunUnattendedJob(const CommandLineOptions& options, AccessFramework& access, Ui& ui) {
  if (const auto unattended = UnattendedAccessFor(options)) {
    ui.ShowErrorBox("Unsupported access function", "GPS access");
    access.exitCode = kExitFailed;
    return kExitFailed;
  }
  if (options.action == CommandAction::LogFile) {
    // A plain file name given as the only argument names the file itself.
    std::error_code error;
    if (std::filesystem::is_regular_file(options.fileName, error)) {
      if (igc::OpenIgcFile(CurrentTrackLog(), options.fileName, ui) != 0) return kExitFailed;
      ui.ShowProduct(options.fileName);
      return kExitOk;
    }
    return igc::ReadCommandLineIgcFile(CurrentTrackLog(), options.fileName, ui) == 0 ? kExitOk
                                                                                      : kExitFailed;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("logwell");
  QApplication::setApplicationVersion(QString::fromUtf8(kProgramVersion.data(),
                                                        static_cast<qsizetype>(kProgramVersion.size())));
  qt::QtUi ui;

  const std::span<const char* const> arguments(argv + 1, static_cast<std::size_t>(argc - 1));
  std::unique_ptr<CommandLineOptions> options;
  if (!arguments.empty()) {
    ParseResult parsed = ParseArguments(arguments, ui);
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
  RegisterInstrumentFamilies(table, settings);
  AccessFramework access(table);
  access.clearTrace = [] { DebugBuffer::Global().Clear(); };
  // Workers read the port when they start; the window changes it only while none runs.
  access.selectedPortName = [&settings] { return ResolvePortPath(settings.Text(Setting::PortName)); };

  qt::MainWindow window({access, table, settings, ui, unattended});
  access.InitGpsAccess();
  if (!unattended) {
    window.show();
    return QApplication::exec();
  }
  const int code = RunUnattendedJob(*options, access, ui);
  window.RefreshView(ViewMode::TrackLog);
  if (options->exitWhenDone || ui.Hidden()) return code;
  if (options->showCommand == ShowCommand::Minimised) {
    window.showMinimized();
  } else {
    window.show();
  }
  QApplication::exec();
  return code;
}
