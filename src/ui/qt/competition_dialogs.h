#pragma once
// The dialogs of competition mode: the competition settings ("Competition &Mode") and the pilot
// selection asked at a download or a save when the instrument did not say who flew.
#include <QDateTime>
#include <functional>
#include <optional>

#include "app/competition_mode.h"
#include "ui/qt/edit_dialogs.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;

namespace logwell::qt {

// What the competition dialog edits; the window keeps it in the settings.
struct CompetitionForm {
  bool on = false;
  QString folder;          // where flights are saved
  QString pilotListFile;   // read when the dialog is left with OK (empty: keep the list held)
  bool dashNames = false;  // IDs carried as "-NNN" waypoint names
  bool writeDashWaypoint = false;  // the "-NNN" waypoint is written with an ID upload
  std::optional<QDateTime> windowStart;  // UTC; none: open at that end
  std::optional<QDateTime> windowEnd;
};

class CompetitionDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  // `chooseList` opens the file chooser of a pilot list; `accept` checks the form.
  CompetitionDialog(const CompetitionForm& form, int pilotsHeld,
                    std::function<QString()> chooseList,
                    std::function<bool(const CompetitionForm&)> accept, QWidget* parent);
  CompetitionForm Form() const;

 private:
  QCheckBox* on_;
  QLineEdit* folder_;
  QLineEdit* list_;
  QCheckBox* dashNames_;
  QCheckBox* dashWaypoint_;
  QCheckBox* startOn_;
  QDateTimeEdit* start_;
  QCheckBox* endOn_;
  QDateTimeEdit* end_;
};

// "Select pilot (port)" or "Select pilot (port, instrument)": the IDs typed or a pilot chosen
// from the list. The pilot's name comes from the list when the IDs name a pilot there.
class PilotSelectionDialog final : public CheckedDialog {
  Q_OBJECT
 public:
  PilotSelectionDialog(const QString& portName, const QString& instrumentName,
                       const PilotList* pilots, Ui& ui, QWidget* parent);
  CompetitionPilot Pilot() const { return pilot_; }

 private:
  bool Check();
  void ChooseFromList();

  const PilotList* pilots_;
  Ui& ui_;
  QLineEdit* civl_;
  QLineEdit* comp_;
  QPushButton* fromList_ = nullptr;
  QString chosenName_;
  CompetitionPilot pilot_;
};

}  // namespace logwell::qt
