// The main window's batch conversions between IGC and KML files and the CSV parameters of the
// track save.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>
#include <vector>

#include "access/access_framework.h"
#include "app/settings.h"
#include "base/text.h"
#include "kml/kml_convert.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_ui.h"

namespace logwell::qt {
namespace {

void ConvertChosenFiles(kml::ConversionDirection direction, const QStringList& chosen, QLabel* status,
                        std::uint32_t loopGap, QtUi& ui) {
  std::vector<std::filesystem::path> files;
  files.reserve(static_cast<std::size_t>(chosen.size()));
  for (const QString& path : chosen) files.emplace_back(path.toStdString());
  // The steps are shown as they happen although the batch runs on the window's thread.
  const QMetaObject::Connection shown =
      QObject::connect(&ui, &QtUi::statusChanged, status, [status] { status->repaint(); });
  kml::BatchOptions options;
  options.loopGap = loopGap;
  kml::ConvertFiles(direction, files, ui, options);
  QObject::disconnect(shown);
}

}  // namespace

void MainWindow::OnConvertKmlToIgc() { RunBatchConversion(kml::ConversionDirection::KmlToIgc); }
void MainWindow::OnConvertIgcToKml() { RunBatchConversion(kml::ConversionDirection::IgcToKml); }

void MainWindow::RunBatchConversion(kml::ConversionDirection direction) {
  if (Busy(kml::BatchCaption(direction))) return;
  const bool toKml = direction == kml::ConversionDirection::IgcToKml;
  const QString title = toKml ? "Convert .igc file(s) to .kml" : "Convert .kml file(s) to .igc";
  const QString filter = toKml ? "Log files (*.igc)" : "Log files (*.kml)";
  const QStringList files = chooseOpenFiles ? chooseOpenFiles(title, filter)
                                            : QFileDialog::getOpenFileNames(this, title, QString(), filter);
  ConvertChosenFiles(direction, files, status_,
                     static_cast<std::uint32_t>(services_.settings.Number(Setting::LoopFlightGap)), services_.ui);
}

// The columns are switched on in their settings; the averaging seconds of the bearing, speed
// and vario columns are kept together as "bearing,speed,vario".
CsvParameters MainWindow::CsvSettings() const {
  const SettingsStore& settings = services_.settings;
  CsvParameters csv;
  csv.absTime = settings.Number(Setting::CsvAbsTime) != 0;
  csv.relTime = settings.Number(Setting::CsvRelTime) != 0;
  csv.relDist = settings.Number(Setting::CsvRelDist) != 0;
  csv.accDist = settings.Number(Setting::CsvAccDist) != 0;
  csv.bearing = settings.Number(Setting::CsvBearing) != 0;
  csv.speed = settings.Number(Setting::CsvSpeed) != 0;
  csv.vario = settings.Number(Setting::CsvVario) != 0;
  const QStringList seconds = Q(settings.Text(Setting::CsvIntervals)).split(',');
  if (seconds.size() == 3) {
    int* targets[] = {&csv.bearingSeconds, &csv.speedSeconds, &csv.varioSeconds};
    for (int i = 0; i < 3; ++i) {
      bool ok = false;
      const int value = seconds[i].trimmed().toInt(&ok);
      if (ok && value >= CsvParameters::kMinInterval && value <= CsvParameters::kMaxInterval) *targets[i] = value;
    }
  }
  return csv;
}

void MainWindow::OnCsvParameters() {
  const CsvParameters current = CsvSettings();
  QDialog dialog(this);
  dialog.setWindowTitle("Set .csv parameters");
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel("Columns written after Date/time, Latitude, Longitude, H-GPS and H-Baro:", &dialog));
  struct Column {
    const char* name;
    Setting setting;
    bool on;
  };
  const Column columns[] = {
      {"AbsTime", Setting::CsvAbsTime, current.absTime}, {"RelTime", Setting::CsvRelTime, current.relTime},
      {"RelDist", Setting::CsvRelDist, current.relDist}, {"AccDist", Setting::CsvAccDist, current.accDist},
      {"Bearing", Setting::CsvBearing, current.bearing}, {"Speed", Setting::CsvSpeed, current.speed},
      {"Vario", Setting::CsvVario, current.vario}};
  std::vector<QCheckBox*> boxes;
  for (const Column& column : columns) {
    auto* box = new QCheckBox(column.name, &dialog);
    box->setObjectName(QString("csv") + column.name);
    box->setChecked(column.on);
    layout->addWidget(box);
    boxes.push_back(box);
  }
  auto* form = new QFormLayout();
  const std::pair<const char*, int> intervals[] = {{"Bearing averaging (s)", current.bearingSeconds},
                                                   {"Speed averaging (s)", current.speedSeconds},
                                                   {"Vario averaging (s)", current.varioSeconds}};
  std::vector<QSpinBox*> spins;
  for (const auto& [label, value] : intervals) {
    auto* spin = new QSpinBox(&dialog);
    spin->setRange(CsvParameters::kMinInterval, CsvParameters::kMaxInterval);
    spin->setValue(value);
    spin->setObjectName(QString(label).section(' ', 0, 0).toLower() + "Seconds");
    form->addRow(label, spin);
    spins.push_back(spin);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  SettingsStore& settings = services_.settings;
  for (std::size_t i = 0; i < boxes.size(); ++i) settings.SetNumber(columns[i].setting, boxes[i]->isChecked() ? 1 : 0);
  settings.SetText(Setting::CsvIntervals,
                   FormatText("%d,%d,%d", spins[0]->value(), spins[1]->value(), spins[2]->value()));
}

}  // namespace logwell::qt
