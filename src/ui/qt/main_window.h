#pragma once
// The main window: product and status lines, the list of the current view, the instrument
// buttons, "Save log", the UTM box, "&Abort transfer" and "E&xit", and a menu bar built from one
// command table. Commands run on the main thread; `gpsBusy` keeps them away from a running
// access, whose worker reaches the window only through the Ui.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "app/competition_mode.h"
#include "app/instrument_commands.h"
#include "app/list_rows.h"
#include "access/port_list.h"
#include "airspace/airspace_list.h"
#include "airspace/airspace_record.h"
#include "airspace/openair_reader.h"
#include "kml/kml_convert.h"
#include "track/filters.h"
#include "track/formats/csv_track.h"
#include "track/igc/igc_commands.h"
#include "model/pilot_data.h"
#include "model/waypoint.h"
#include "waypoints/waypoint_list.h"

class QLabel;
class QTableView;
class QCheckBox;
class QPushButton;
class QTimer;
class QAction;
class QMenu;
class QSplitter;
class QProgressBar;

namespace logwell {
class AccessFramework;
class AccessTable;
class SettingsStore;
}  // namespace logwell

namespace logwell::qt {

class QtUi;
class ListModel;
class TrackPicture;
class VarioGraph;

enum class ListSize { Small, Default, Large };

// The instrument toggles of the GPS menu. The workers read them when a transfer ends, on their
// own thread. The Garmin ones last for the session; the Flymaster power-off mirrors its setting.
struct InstrumentMenuOptions {
  std::atomic<bool> flymasterPowerOff{false};  // "Pwr off after log read"
  std::atomic<bool> powerOff{false};          // Garmin: "Pwr off after wpts wr && log read "
  std::atomic<bool> usbCheckWaypoints{true};  // "USB && comp. mode: Check wpts"
  std::atomic<std::uint32_t> segmentAccuracy{10};  // "Set accuracy for segments", for CTR uploads
};

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  struct Services {
    AccessFramework& access;
    const AccessTable& table;  // decides which instrument commands are offered
    SettingsStore& settings;
    QtUi& ui;
    bool unattended = false;  // a run with command-line actions
    InstrumentMenuOptions* instrumentOptions = nullptr;  // none: the instrument toggles are not offered
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

  // The window's lists: the waypoints and the airspace (CTR) list.
  WaypointList& Waypoints() { return waypoints_; }
  AirspaceList& Airspaces() { return airspace_; }
  // The filter values of the settings, as the filters take them.
  FilterSettings Filters() const;

  QTableView* List() const { return list_; }
  ListModel* Model() const { return model_; }
  QLabel* StatusLine() const { return status_; }
  QLabel* ProductLine() const { return product_; }
  QCheckBox* UtmBox() const { return utm_; }
  // The views beside the list: the track picture and the altitude/climb profile of the track
  // log, in splitters whose sizes the settings keep.
  TrackPicture* Picture() const { return picture_; }
  VarioGraph* Profile() const { return profile_; }
  QSplitter* MainSplitter() const { return mainSplitter_; }
  QSplitter* ViewSplitter() const { return viewSplitter_; }
  // Selects one fix, or the fixes from `first` to `last`, in the list (switching it to the track
  // log) and scrolls the list to them; the views follow the list's selection.
  void SelectFixes(std::size_t first, std::size_t last);

  // What the file commands open; tests set it so that no file dialog is needed.
  std::function<QString(const QString& title, const QString& filter)> chooseOpenFile;
  // What the file commands save to: the path and the 1-based filter chosen (0: by the name).
  struct FileChoice {
    QString path;
    int filterIndex = 0;
  };
  std::function<FileChoice(const QString& title, const QStringList& filters,
                           const QString& suggested)> chooseSaveFile;
  // The text dialogs of the settings commands (vario limit, gap time, loop gap, segment
  // accuracy): tests answer them here; nothing means Cancel.
  std::function<std::optional<QString>(const QString& title, const QString& text)> askText;

  const CompetitionState& Competition() const { return competition_; }

  // On the way out, however the program was started: the settings are saved unless the run is
  // hidden or the window was never shown.
  void SaveSettingsOnExit();

  // The windows a command opened last (the statistics, OLC, track and vario windows).
  QWidget* LastOpened() const { return lastOpened_; }

  // Every command runs through here first when set: true keeps the handler from running.
  // Tests walk the menus with it; it is called only for identifiers that have a handler.
  std::function<bool(int id)> interceptCommand;
  // What the batch conversions open; tests set it so that no file dialog is needed.
  std::function<QStringList(const QString& title, const QString& filter)> chooseOpenFiles;

  // The running transfer in the status bar: its progress and the abort button beside it.
  QProgressBar* TransferProgress() const { return progress_; }
  QPushButton* AbortButton() const { return abort_; }
  // Where a worker reports its progress ("Progress 20/130", "Sent wpt 3/9"), from any thread,
  // for as long as the window exists.
  std::function<void(std::string_view)> ProgressReporter() const;

  // Files opened the way File/Open, "Open wpts." or "Read CTR(s) from file" would open them,
  // chosen by their kind; several in turn. Used by drops and by the recent files.
  enum class FileKind { Track, Waypoints, Airspace };
  static std::optional<FileKind> KindOfFile(const QString& path);
  void OpenFiles(const QStringList& paths);
  bool OpenFileOfKind(FileKind kind, const QString& path, int filterIndex = 0);
  // The recent files, newest first (at most eight), and their menu.
  QStringList RecentFiles() const;
  QMenu* RecentMenu() const { return recentMenu_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Command;
  static std::span<const Command> Commands();

  void BuildControls();
  void BuildMenus();
  // The progress bar and the abort button of the status bar (main_window_desktop.cpp).
  void BuildTransferControls();
  void UpdateTransferControls();
  void ShowTransferProgress(int done, int total);
  void BuildRecentMenu(QMenu* file);
  void RememberRecent(FileKind kind, const QString& path);
  void FillRecentMenu();
  void OnRecentFile(const QString& entry);
  void DetachProgressRelay();
  bool OpenTrackFile(const QString& path, int filterIndex);
  bool OpenWaypointFile(const QString& path, int filterIndex);
  bool ReadCtrFile(const QString& path);
  // The views draw the track log anew when it has changed since they last drew it.
  void RefreshTrackViews(bool force = false);
  void SyncViewSelection();
  void RestoreLayout();
  void StoreLayout();
  QAction* AddAction(QMenu* menu, int id, std::string_view label, std::string_view shortcut);
  void InstallCompletionTargets();
  void ApplyColumnWidths();
  int RowCountOf(ViewMode mode) const;
  std::string Cell(ViewMode mode, int row, int column, bool utm) const;
  int WindowWidth() const;
  double DialogUnitX() const;
  double DialogUnitY() const;

  // Before the unsaved track log is dropped: asks "Save", "Discard" or "Cancel" (nobody is asked
  // in an unattended or hidden run). True when the caller may go on: saved, discarded, or
  // nothing to lose.
  bool SettleUnsavedLog(const QString& question);

  // Command handlers.
  void OnAbort();
  void OnExit();
  void OnUtmClicked();
  void OnOpenLog();
  void OnSaveIgc();
  void OnSaveIgcFromGps();
  void OnVerifyIgc();
  void OnValidateOnline();
  void OnSendFtp();
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
  // The form of a pilot-data command (name, altitude alarm or IDs); none when cancelled.
  std::optional<PilotData> AskPilotData(const InstrumentCommand& command);
  bool Busy(std::string_view caption);
  FileChoice PickOpenFile(const QString& title, const QStringList& filters);
  FileChoice PickSaveFile(const QString& title, const QStringList& filters,
                          const QString& suggested = {});
  std::optional<QString> AskText(const QString& title, const QString& label, const QString& text);
  // The rows and positions a position command works on: the selection, else the whole log.
  std::vector<int> PositionRows() const;
  std::vector<TrackPoint> SelectedPositions() const;
  std::vector<std::size_t> SelectedIndexes() const;
  void SyncAirspaceSelection();
  void SetToggleChecks();
  void ApplyFilterSettings();
  void Toggle(int id);
  void ShowWindow(QWidget* window);

  // File commands (main_window_files.cpp).
  void OnSaveLogAs();
  void OnWriteGoogleEarth();
  void OnSaveAnimation();
  void OnOpenWaypoints();
  void OnSaveWaypoints();
  void OnNewWaypoint();
  void OnEditWaypoint();
  void OnDeleteWaypoints();
  void OnSortIds();
  void OnSortNames();
  void OnSortHeights();
  void SortWaypoints(WaypointSortKey key, std::string_view caption);
  void OnReadCtrFile();
  void OnConvertKmlToIgc();
  void OnConvertIgcToKml();
  void RunBatchConversion(kml::ConversionDirection direction);
  void OnCsvParameters();
  CsvParameters CsvSettings() const;
  void OnWriteOpenAir();
  void OnWriteOpenAirNoArcs();
  void OnWriteCtrGpx();
  void OnWriteCtrWebMap();
  void WriteAirspaces(AirspaceFileKind kind, std::string_view caption, const QString& filter);
  void OnEditCtr();
  void OnNewCtr();
  void OnDeleteCtrs();
  void OnShowCtrAsWaypoints();
  void OnSegmentAccuracy();
  void OnDumpDebug();
  void OnClearDebug();
  // Settings commands.
  void OnToggleLogFilter() { Toggle(40088); }
  void OnToggleTimestampFilter() { Toggle(40191); }
  void OnToggleDownloadFilter() { Toggle(40192); }
  void OnToggleCompSpecial() { Toggle(40130); }
  void OnToggleGarminPowerOff();
  void OnToggleFlymasterPowerOff();
  void OnToggleGarminUsbCheck();
  void OnVarioFilter();
  void OnGapTime();
  void OnTopNavUtcOffset();
  void OnLoopGap();
  void OnContestRules();
  void OnSetIntervals();
  void OnSetComPort();
  void OnProductScan();
  void OnPortTick();
  // Competition mode (main_window_competition.cpp).
  void LoadCompetitionSettings();
  void ApplyCompetitionTargets();
  void OnCompetitionMode();
  void OnSavePilotList();
  bool ReadPilotList(const QString& file, bool fromMenu);
  std::optional<CompetitionPilot> ChoosePilot();
  std::vector<Waypoint> PilotIdentityWaypoints(const CompetitionPilot& pilot) const;
  void SaveLogForCompetitionFromWindow();
  void SaveForCompetition(std::span<const TrackPoint> positions, const CompetitionPilot& pilot);
  void OnCompetitionDownloadDone(bool success);
  void OfferPilotIdUpload();
  // Statistics and pictures.
  void OnSaveLog();
  void OnOlcFromIgc();
  void OnOlcFromSelection();
  void OnShowTrackPicture();
  void OnShowVarioGraph();
  void OnShowGlideGraph();
  void OnShowPolarGraph();
  void OnRotateTrack();
  void OnConvertPosition();
  void OnCalculateDistance();

  Services services_;
  ListModel* model_ = nullptr;
  QTableView* list_ = nullptr;
  QLabel* product_ = nullptr;
  QLabel* status_ = nullptr;
  QCheckBox* utm_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QSplitter* mainSplitter_ = nullptr;
  QSplitter* viewSplitter_ = nullptr;
  TrackPicture* picture_ = nullptr;
  VarioGraph* profile_ = nullptr;
  std::uint64_t viewedLog_ = 0;  // the fingerprint of the log the views were made for

  QTimer* timer_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* abort_ = nullptr;
  QTimer* transferTimer_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  // Reaches the window from the workers' threads; emptied when the window goes.
  struct ProgressRelay;
  std::shared_ptr<ProgressRelay> progressRelay_;
  std::map<int, QAction*> actions_;
  ListSize listSize_ = ListSize::Default;
  WaypointList waypoints_;
  AirspaceList airspace_;
  AirspaceSettings airspaceSettings_;
  igc::IgcSaveMemory igcMemory_;
  std::unique_ptr<PortAutoSwitch> portSwitch_;
  QPointer<QWidget> lastOpened_;
  bool shown_ = false;  // the window has been on screen
  std::uint32_t graphInterval_ = 60;  // "Set intervals": seconds the graphs average over
  CompetitionState competition_;
  int foundCompId_ = -1;  // the pilot IDs the last track-log download found on the instrument
  int foundCivlId_ = -1;
  int altitudeAlarm_ = 0;  // the last altitude alarm sent to a Flymaster (m)
  std::vector<std::string> dsxPilotSent_;  // the DSX pilot data fields last sent
  // The running online service (validation, FTP send); stopped and joined with the window.
  std::jthread onlineWorker_;
};

}  // namespace logwell::qt
