#include "ui/qt/olc_dialog.h"
#include "ui/qt/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/settings.h"
#include "base/text.h"
#include "base/ui.h"
#include "optimise/contest_rules.h"

namespace logwell::qt {
namespace {

constexpr const char* kKindTitles[] = {"Max. distance (Not an OLC parameter)", "Free distance",
                                       "Out-and-return (Not an OLC parameter)", "Free triangle",
                                       "FAI triangle"};

std::string KindLines(const std::vector<TrackPoint>& points, OlcKind kind, const OlcKindResult& result) {
  if (!result.found) return {};
  const bool triangle = kind == OlcKind::FreeTriangle || kind == OlcKind::FaiTriangle;
  const OlcKindTexts texts = FormatOlcKind(points, result, triangle);
  std::string out;
  // Appended piece by piece: GCC 12 warns falsely about chains of string additions.
  for (const OlcPointLine& line : texts.points) {
    for (const std::string* piece : {&line.number, &line.time, &line.latitude, &line.longitude}) {
      out.append(*piece).append("  ");
    }
    if (!line.leg.empty()) out.append(line.leg).append(" km");
    out.push_back('\n');
  }
  if (triangle) {
    out.append("Perimeter ").append(texts.perimeter).append(", scored ").append(texts.scoredDistance);
    out.append(", closing ").append(texts.closing).append(" km\nLegs");
    for (const std::string& share : texts.legShares) out.append(" ").append(share);
    out.push_back('\n');
  }
  return out;
}

}  // namespace

OlcDialog::OlcDialog(std::vector<TrackPoint> points, OlcSource source, Ui& ui, SettingsStore& settings,
                     QWidget* parent)
    : QDialog(parent), ui_(ui), settings_(settings), points_(points) {
  setObjectName("olcDialog");
  setWindowTitle("OLC statistics");
  computation_ = std::make_unique<OlcComputation>(std::move(points), std::move(source), static_cast<OlcView&>(*this));
  auto* layout = new QVBoxLayout(this);

  auto* results = new QGridLayout();
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    auto* box = new QGroupBox(kKindTitles[i], this);
    auto* boxLayout = new QVBoxLayout(box);
    kinds_[i] = new QPlainTextEdit(box);
    kinds_[i]->setReadOnly(true);
    kinds_[i]->setObjectName(QString("olcKind%1").arg(i));
    kinds_[i]->setFont(QFont("Monospace", 8));
    kinds_[i]->setMinimumSize(360, 90);
    boxLayout->addWidget(kinds_[i]);
    results->addWidget(box, static_cast<int>(i / 2), static_cast<int>(i % 2));
  }
  layout->addLayout(results);

  auto* lines = new QHBoxLayout();
  status_ = new QLabel(this);
  status_->setObjectName("olcStatus");
  progress_ = new QLabel(this);
  progress_->setObjectName("olcProgress");
  result_ = new QLabel(this);
  result_->setObjectName("olcResult");
  lines->addWidget(status_, 2);
  lines->addWidget(progress_, 0);
  lines->addWidget(result_, 2);
  layout->addLayout(lines);
  exact_ = new QLabel(this);
  exact_->setObjectName("olcExact");
  layout->addWidget(exact_);

  auto* pilot = new QGroupBox("User information input", this);
  auto* form = new QFormLayout(pilot);
  auto field = [&](const char* label, Setting setting) {
    auto* edit = new QLineEdit(Q(settings_.Text(setting)), pilot);
    form->addRow(label, edit);
    return edit;
  };
  firstName_ = field("&First name", Setting::OlcFirstName);
  lastName_ = field("&Last name", Setting::OlcLastName);
  birthDate_ = field("&Birth date (dd.mm.yy)", Setting::OlcBirthDate);
  gliderType_ = field("&Glider type", Setting::OlcGliderType);
  callSign_ = field("&Call sign (optional)", Setting::OlcCallSign);
  startPlace_ = field("&Start place", Setting::OlcStartPlace);
  class_ = new QComboBox(pilot);
  int classIndex = -1;
  for (const OlcClass& entry : OlcClasses()) {
    if (settings_.Text(Setting::OlcGliderClass) == std::to_string(entry.number)) classIndex = class_->count();
    class_->addItem(entry.name);
  }
  class_->setCurrentIndex(classIndex);
  form->addRow("Cl&ass", class_);
  region_ = new QComboBox(pilot);
  int regionIndex = 0;
  for (const OlcRegion& entry : OlcRegions()) {
    if (settings_.Text(Setting::OlcRegion) == entry.code && *entry.code != '\0') regionIndex = region_->count();
    region_->addItem(entry.name);
  }
  region_->setCurrentIndex(regionIndex);
  form->addRow("&Region", region_);
  flightNumber_ = new QLineEdit("1", pilot);
  form->addRow("Flight &number (1-35)", flightNumber_);
  longName_ = new QCheckBox("Long file&name", pilot);
  longName_->setChecked(settings_.Number(Setting::OlcLongFileName) != 0);
  enl_ = new QCheckBox("Add ENL from track depth", pilot);
  form->addRow(longName_, enl_);
  layout->addWidget(pilot);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* halt = buttons->addButton("&Halt", QDialogButtonBox::ActionRole);
  exactButton_ = buttons->addButton("Exac&t optimum", QDialogButtonBox::ActionRole);
  exactButton_->setEnabled(false);
  QPushButton* olcOnly = buttons->addButton("Save &OLC only", QDialogButtonBox::ActionRole);
  QPushButton* withIgc = buttons->addButton("&Save with IGC", QDialogButtonBox::ActionRole);
  QPushButton* exit = buttons->addButton("E&xit", QDialogButtonBox::RejectRole);
  halt->setObjectName("halt");
  connect(halt, &QPushButton::clicked, this, [this] {
    computation_->Halt();
    exactHalt_ = true;
  });
  connect(exactButton_, &QPushButton::clicked, this, [this] { StartExact(); });
  connect(olcOnly, &QPushButton::clicked, this, [this] { SaveClaim(false); });
  connect(withIgc, &QPushButton::clicked, this, [this] { SaveClaim(true); });
  connect(exit, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);

  timer_ = new QTimer(this);
  timer_->setInterval(500);
  connect(timer_, &QTimer::timeout, this, [this] {
    progress_->setText(Q(computation_->ProgressText()));
    if (computation_->CurrentState() != OlcComputation::State::Computing) timer_->stop();
  });
}

OlcDialog::~OlcDialog() {
  // The computations halt and wait for their threads; queued results to this dialog are dropped.
  exactHalt_ = true;
  if (exactThread_.joinable()) exactThread_.join();
  computation_->Halt();
  computation_.reset();
}

bool OlcDialog::Start() {
  if (!computation_->Start(ui_)) return false;
  timer_->start();
  return true;
}

void OlcDialog::ShowStatus(std::string_view text) {
  const QString line = Q(text);
  QMetaObject::invokeMethod(this, [this, line] { status_->setText(line); }, Qt::QueuedConnection);
}

void OlcDialog::ShowKind(OlcKind kind, const OlcKindResult& result) {
  const QString text = Q(KindLines(points_, kind, result));
  QMetaObject::invokeMethod(this, [this, kind, text] {
    kinds_[static_cast<std::size_t>(kind)]->setPlainText(text);
  }, Qt::QueuedConnection);
}

void OlcDialog::ShowResult(std::string_view text) {
  const QString line = Q(text);
  QMetaObject::invokeMethod(this, [this, line] {
    result_->setText(line);
    progress_->setText(Q(computation_->ProgressText()));
    exactButton_->setEnabled(computation_->CurrentState() == OlcComputation::State::Completed);
    emit completed();
  }, Qt::QueuedConnection);
}

bool OlcDialog::StartExact() {
  if (computation_->CurrentState() != OlcComputation::State::Completed || exactThread_.joinable()) return false;
  exactButton_->setEnabled(false);
  exact_->setText("Exact optimum: computing ...");
  exactHalt_ = false;
  exactThread_ = std::jthread([this, seeds = ThinnedSeeds(*computation_)] {
    ExactOptions options;
    options.halt = &exactHalt_;
    const ContestScoring scoring = ScoreContest(points_, ContestRules::Olc, seeds, options);
    std::string line = "Exact optimum:";
    bool proven = true;
    for (const ContestResult& r : scoring.kinds) {
      line += FormatText("%s %.*s %.2f km", &r == &scoring.kinds.front() ? "" : ",",
                         static_cast<int>(r.kind->label.size()), r.kind->label.data(), r.exact.distance / 1000.0);
      proven &= !r.exact.found || r.exact.proven;
    }
    line += proven ? " (proven)" : " (not proven: halted)";
    QMetaObject::invokeMethod(this, [this, text = Q(line)] {
      exact_->setText(text);
      exactThread_.join();
      exactButton_->setEnabled(true);
      emit exactFinished();
    }, Qt::QueuedConnection);
  });
  return true;
}

OlcClaimForm OlcDialog::Form() const {
  OlcClaimForm form;
  form.firstName = firstName_->text().toStdString();
  form.lastName = lastName_->text().toStdString();
  form.birthDate = birthDate_->text().toStdString();
  form.gliderType = gliderType_->text().toStdString();
  form.callSign = callSign_->text().toStdString();
  form.startPlace = startPlace_->text().toStdString();
  form.classIndex = class_->currentIndex();
  form.regionIndex = region_->currentIndex();
  form.flightNumber = flightNumber_->text().toStdString();
  form.longFileName = longName_->isChecked();
  form.addEnl = enl_->isChecked();
  return form;
}

void OlcDialog::Prefill(const FlightHeaders& headers) {
  if (!headers.pilot.empty()) {
    // "Jane Mary Doe": the last word is the last name, the words before it the first name.
    const QStringList words = Q(headers.pilot).split(' ', Qt::SkipEmptyParts);
    lastName_->setText(words.isEmpty() ? QString() : words.back());
    firstName_->setText(words.mid(0, words.size() - 1).join(' '));
  }
  if (!headers.gliderType.empty()) gliderType_->setText(Q(headers.gliderType));
  if (!headers.competitionId.empty()) callSign_->setText(Q(headers.competitionId));
}

void OlcDialog::SetForm(const OlcClaimForm& form) {
  firstName_->setText(Q(form.firstName));
  lastName_->setText(Q(form.lastName));
  birthDate_->setText(Q(form.birthDate));
  gliderType_->setText(Q(form.gliderType));
  callSign_->setText(Q(form.callSign));
  startPlace_->setText(Q(form.startPlace));
  class_->setCurrentIndex(form.classIndex);
  region_->setCurrentIndex(form.regionIndex);
  flightNumber_->setText(Q(form.flightNumber));
  longName_->setChecked(form.longFileName);
  enl_->setChecked(form.addEnl);
}

bool OlcDialog::SaveClaim(bool withIgc) {
  if (computation_->CurrentState() != OlcComputation::State::Completed) return false;
  const std::optional<OlcClaimEntries> entries = CheckClaimForm(Form(), ui_);
  if (!entries) return false;
  StorePresets(*entries);
  return SaveClaimFile(*computation_, *entries, withIgc, ui_);
}

// The entered values are the presets of the next claim.
void OlcDialog::StorePresets(const OlcClaimEntries& entries) {
  settings_.SetText(Setting::OlcFirstName, entries.firstName);
  settings_.SetText(Setting::OlcLastName, entries.lastName);
  settings_.SetText(Setting::OlcBirthDate, entries.birthDate);
  settings_.SetText(Setting::OlcGliderType, entries.gliderType);
  settings_.SetText(Setting::OlcCallSign, entries.callSign);
  settings_.SetText(Setting::OlcStartPlace, entries.startPlace);
  settings_.SetText(Setting::OlcGliderClass, std::to_string(entries.classNumber));
  settings_.SetText(Setting::OlcRegion, entries.regionCode);
  settings_.SetNumber(Setting::OlcLongFileName, entries.longFileName ? 1 : 0);
}

}  // namespace logwell::qt
