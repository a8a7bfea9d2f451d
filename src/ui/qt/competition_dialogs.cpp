#include "ui/qt/competition_dialogs.h"
#include "ui/qt/qt_text.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeZone>
#include <charconv>

#include "base/text.h"
#include "base/ui.h"

namespace logwell::qt {
namespace {

constexpr std::string_view kCheckIdCaption = "Check ID";

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QDateTimeEdit* UtcEdit(const std::optional<QDateTime>& value, QWidget* parent) {
  auto* edit = new QDateTimeEdit(parent);
  edit->setTimeSpec(Qt::UTC);
  edit->setDisplayFormat("yyyy-MM-dd HH:mm:ss 'UTC'");
  edit->setDateTime(value.value_or(QDateTime::currentDateTimeUtc()));
  edit->setEnabled(value.has_value());
  return edit;
}

// An ID field: empty is none (-1); anything but a whole number from 0 is refused.
std::optional<std::int32_t> ParseId(const QString& text) {
  const std::string trimmed = text.trimmed().toStdString();
  if (trimmed.empty()) return -1;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (error != std::errc() || end != trimmed.data() + trimmed.size() || value < 0) return std::nullopt;
  return value;
}

}  // namespace

CompetitionDialog::CompetitionDialog(const CompetitionForm& form, int pilotsHeld,
                                     std::function<QString()> chooseList,
                                     std::function<bool(const CompetitionForm&)> accept,
                                     QWidget* parent)
    : CheckedDialog(parent) {
  setWindowTitle("Competition mode");
  auto* layout = new QFormLayout(this);
  on_ = new QCheckBox("&Competition mode on", this);
  on_->setChecked(form.on);
  on_->setObjectName("competitionOn");
  layout->addRow(on_);
  folder_ = new QLineEdit(form.folder, this);
  folder_->setObjectName("competitionFolder");
  layout->addRow("&Folder for the flights", folder_);
  auto* listRow = new QHBoxLayout;
  list_ = new QLineEdit(form.pilotListFile, this);
  list_->setObjectName("pilotListFile");
  auto* browse = new QPushButton("&Read pilot list...", this);
  connect(browse, &QPushButton::clicked, this, [this, chooseList] {
    const QString file = chooseList();
    if (!file.isEmpty()) list_->setText(file);
  });
  listRow->addWidget(list_);
  listRow->addWidget(browse);
  layout->addRow(pilotsHeld > 0 ? QString("&Pilot list (%1 pilots held)").arg(pilotsHeld)
                                : QString("&Pilot list"),
                 listRow);
  dashNames_ = new QCheckBox("IDs in waypoint names \"-NNN\"", this);
  dashNames_->setChecked(form.dashNames);
  layout->addRow(dashNames_);
  dashWaypoint_ = new QCheckBox("Write a \"-NNN\" waypoint with the pilot's IDs", this);
  dashWaypoint_->setChecked(form.writeDashWaypoint);
  layout->addRow(dashWaypoint_);
  startOn_ = new QCheckBox("&Start of the window", this);
  startOn_->setChecked(form.windowStart.has_value());
  start_ = UtcEdit(form.windowStart, this);
  connect(startOn_, &QCheckBox::toggled, start_, &QWidget::setEnabled);
  layout->addRow(startOn_, start_);
  endOn_ = new QCheckBox("&End of the window", this);
  endOn_->setChecked(form.windowEnd.has_value());
  end_ = UtcEdit(form.windowEnd, this);
  connect(endOn_, &QCheckBox::toggled, end_, &QWidget::setEnabled);
  layout->addRow(endOn_, end_);
  check_ = [this, accept] { return accept(Form()); };
  layout->addRow(OkCancel(this));
}

CompetitionForm CompetitionDialog::Form() const {
  CompetitionForm form;
  form.on = on_->isChecked();
  form.folder = folder_->text().trimmed();
  form.pilotListFile = list_->text().trimmed();
  form.dashNames = dashNames_->isChecked();
  form.writeDashWaypoint = dashWaypoint_->isChecked();
  if (startOn_->isChecked()) form.windowStart = start_->dateTime().toUTC();
  if (endOn_->isChecked()) form.windowEnd = end_->dateTime().toUTC();
  return form;
}

PilotSelectionDialog::PilotSelectionDialog(const QString& portName, const QString& instrumentName,
                                           const PilotList* pilots, Ui& ui, QWidget* parent)
    : CheckedDialog(parent), pilots_(pilots), ui_(ui) {
  setWindowTitle(instrumentName.isEmpty()
                     ? QString("Select pilot (%1)").arg(portName)
                     : QString("Select pilot (%1, %2)").arg(portName, instrumentName));
  auto* layout = new QFormLayout(this);
  layout->addRow(new QLabel(
      "Running in competition mode. Type your CIVL and/or pilot ID, or select from a list.", this));
  civl_ = new QLineEdit(this);
  civl_->setObjectName("civlId");
  layout->addRow("&CIVL ID", civl_);
  comp_ = new QLineEdit(this);
  comp_->setObjectName("compId");
  layout->addRow("&Pilot ID", comp_);
  if (pilots_ != nullptr) {
    fromList_ = new QPushButton(pilots_->empty() ? QString("&Select pilot from list")
                                                 : QString("&Select pilot from list (%1 pilots)")
                                                       .arg(pilots_->size()),
                                this);
    connect(fromList_, &QPushButton::clicked, this, [this] { ChooseFromList(); });
    layout->addRow(fromList_);
  }
  check_ = [this] { return Check(); };
  layout->addRow(OkCancel(this));
}

void PilotSelectionDialog::ChooseFromList() {
  QStringList items;
  for (const PilotRecord& pilot : *pilots_) items << Q(PilotDisplayText(pilot));
  bool ok = false;
  const QString chosen = QInputDialog::getItem(this, "Pilot list", "Pilot", items, 0, false, &ok);
  if (!ok) return;
  const auto row = static_cast<std::size_t>(items.indexOf(chosen));
  if (row >= pilots_->size()) return;
  const PilotRecord& pilot = (*pilots_)[row];
  chosenName_ = Q(pilot.name);
  civl_->setText(pilot.civlId >= 0 ? QString::number(pilot.civlId) : QString());
  comp_->setText(pilot.compId >= 0 ? QString::number(pilot.compId) : QString());
}

bool PilotSelectionDialog::Check() {
  const auto comp = ParseId(comp_->text());
  if (!comp) {
    ui_.ShowErrorBox("Bad comp. ID", kCheckIdCaption);
    return false;
  }
  const auto civl = ParseId(civl_->text());
  if (!civl) {
    ui_.ShowErrorBox("Bad CIVL ID", kCheckIdCaption);
    return false;
  }
  if (*comp < 0 && *civl < 0 &&
      ui_.AskYesNo("Both IDs missing, continue ?", kCheckIdCaption, Answer::No) != Answer::Yes) {
    return false;
  }
  pilot_ = CompetitionPilot{chosenName_.toStdString(), *comp, *civl};
  if (pilots_ != nullptr && (*comp >= 0 || *civl >= 0)) {
    const PilotIdentification found = IdentifyPilot(*pilots_, *comp, *civl);
    if (!found.pilot) {
      ui_.ShowErrorBox("Pilot not identified: " + found.problem, kCheckIdCaption);
      return false;
    }
    pilot_ = *found.pilot;
  }
  return true;
}

}  // namespace logwell::qt
