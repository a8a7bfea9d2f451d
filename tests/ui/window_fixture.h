#pragma once
// A main window on the offscreen platform with its own settings folder, for the window tests:
// the settings, the access framework and the Ui it needs, and the file and value choosers
// answered without dialogs.
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "track/track_log.h"
#include "ui/qt/list_model.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

namespace logwell::testing {

struct WindowFixture {
  WindowFixture() : folder(MakeFolder()) {
    settings.Load({folder / "user" / "logwell.ini", folder / "etc" / "logwell.ini"}, ui);
  }
  ~WindowFixture() {
    window.reset();
    std::filesystem::remove_all(folder);
    CurrentTrackLog() = TrackLog();
  }
  // Makes and shows the window once the instrument families are in the table.
  void Open() {
    window = std::make_unique<qt::MainWindow>(qt::MainWindow::Services{access, table, settings, ui, false});
    access.InitGpsAccess();
    window->show();
  }
  static std::filesystem::path MakeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "logwell-cmd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
  }
  QString Cell(int row, int column) const {
    return window->Model()->data(window->Model()->index(row, column), Qt::DisplayRole).toString();
  }
  void SaveTo(const std::filesystem::path& path, int filterIndex) {
    window->chooseSaveFile = [path, filterIndex](const QString&, const QStringList&, const QString&) {
      return qt::MainWindow::FileChoice{QString::fromStdString(path.string()), filterIndex};
    };
  }
  void OpenFrom(const std::filesystem::path& path) {
    window->chooseOpenFile = [path](const QString&, const QString&) {
      return QString::fromStdString(path.string());
    };
  }
  // Answers the value dialogs with `text`; nothing is Cancel.
  void Type(std::optional<QString> text) {
    window->askText = [text](const QString&, const QString&) { return text; };
  }
  // The test track, every row selected.
  void LoadTestTrack() {
    window->RunCommand(40140);
    window->RunCommand(40042);
  }

  std::filesystem::path folder;
  AccessTable table;
  AccessFramework access{table};
  SettingsStore settings{"/docs"};
  qt::QtUi ui;
  std::unique_ptr<qt::MainWindow> window;
};

}  // namespace logwell::testing
