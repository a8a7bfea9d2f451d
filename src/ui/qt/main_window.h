#pragma once
// The main window: product and status lines, the list of the current view, the instrument
// buttons, "Save log", the UTM box, "&Abort transfer" and "E&xit", and a menu bar built from one
// command table. Commands run on the main thread; `gpsBusy` keeps them away from a running
// access, whose worker reaches the window only through the Ui.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "app/instrument_commands.h"
#include "app/list_rows.h"
#include "track/igc/igc_commands.h"
#include "waypoints/waypoint.h"

class QLabel;
class QTableView;
class QCheckBox;
class QPushButton;
class QTimer;
class QAction;
class QMenu;

namespace logwell {
class AccessFramework;
class AccessTable;
class SettingsStore;
}  // namespace logwell

namespace logwell::qt {

class QtUi;
class ListModel;

enum class ListSize { Small, Default, Large };

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  struct Services {
    AccessFramework& access;
    const AccessTable& table;  // decides which instrument commands are offered
    SettingsStore& settings;
    QtUi& ui;
    bool unattended = false;  // an unattended run: settings are not saved on the way out
  };
  explicit MainWindow(Services services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Dispatches a command by its identifier, as the menu, the buttons and the accelerators do.
  // Identifiers without a command in this build are ignored.
  void RunCommand(int id);
  QAction* Action(int id) const;

  // The view switches: refused with "Busy GPS driver" while an access runs; without `force`
  // nothing happens when the mode is already shown.
  bool ShowView(ViewMode mode, bool force);
  // -1 after the box when busy or in the wrong view, else 0.
  int CheckCommandAllowed(std::string_view caption, ViewMode required);
  ViewMode Mode() const;
  std::vector<int> SelectedRows() const;

  void SetListSize(ListSize size);
  ListSize CurrentListSize() const { return listSize_; }
  // The window's height in pixels for a list size.
  int HeightFor(ListSize size) const;
  void RefreshTitle();
  // Shows the current data of a view anew (after a file read or a download), whatever the
  // busy flag says: the list must never show rows that are gone.
  void RefreshView(ViewMode mode);

  // Called every second: the automatic switch to a newly plugged-in port, once it exists.
  std::function<void()> autoPortSwitch;

  // The process-wide lists that have no owner in this build yet.
  std::vector<Waypoint>& Waypoints() { return waypoints_; }

  QTableView* List() const { return list_; }
  ListModel* Model() const { return model_; }
  QLabel* StatusLine() const { return status_; }
  QLabel* ProductLine() const { return product_; }
  QCheckBox* UtmBox() const { return utm_; }

  // What the file commands open; tests set it so that no file dialog is needed.
  std::function<QString(const QString& title, const QString& filter)> chooseOpenFile;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Command;
  static std::span<const Command> Commands();

  void BuildControls();
  void BuildMenus();
  QAction* AddAction(QMenu* menu, int id, std::string_view label, std::string_view shortcut);
  void InstallCompletionTargets();
  void ApplyColumnWidths();
  int RowCountOf(ViewMode mode) const;
  std::string Cell(ViewMode mode, int row, int column, bool utm) const;
  int WindowWidth() const;
  double DialogUnitX() const;
  double DialogUnitY() const;

  // Command handlers.
  void OnAbort();
  void OnExit();
  void OnUtmClicked();
  void OnOpenLog();
  void OnSaveIgc();
  void OnSaveIgcFromGps();
  void OnVerifyIgc();
  void OnSelectAll();
  void OnCopyPositions();
  void OnTestTrack();
  void OnShowTrackView() { ShowView(ViewMode::TrackLog, false); }
  void OnShowWaypointView() { ShowView(ViewMode::Waypoints, false); }
  void OnShowPilotView() { ShowView(ViewMode::Pilots, false); }
  void OnShowCtrView() { ShowView(ViewMode::Airspace, false); }
  void OnSmallList() { SetListSize(ListSize::Small); }
  void OnDefaultList() { SetListSize(ListSize::Default); }
  void OnLargeList() { SetListSize(ListSize::Large); }
  void OnFont();
  void OnAbout();
  void RunInstrumentCommand(const InstrumentCommand& command);

  Services services_;
  ListModel* model_ = nullptr;
  QTableView* list_ = nullptr;
  QLabel* product_ = nullptr;
  QLabel* status_ = nullptr;
  QCheckBox* utm_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QTimer* timer_ = nullptr;
  std::map<int, QAction*> actions_;
  ListSize listSize_ = ListSize::Default;
  std::vector<Waypoint> waypoints_;
  igc::IgcSaveMemory igcMemory_;
};

}  // namespace logwell::qt
