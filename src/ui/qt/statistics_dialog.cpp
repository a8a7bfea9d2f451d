#include "ui/qt/statistics_dialog.h"
#include "ui/qt/qt_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <QLineEdit>
#include <QSpinBox>

#include "access/debug_buffer.h"
#include "app/password_store.h"
#include "app/settings.h"
#include "base/ui.h"
#include "kml/kml_save.h"
#include "online/web_logbook.h"
#include "base/secret.h"
#include "base/text.h"

namespace logwell::qt {
namespace {

QString Km(double metres) { return Q(FormatText("%.2f", metres / 1000.0)); }

}  // namespace

ContestRules ChosenContestRules(const SettingsStore& settings) {
  return FindContestRules(settings.Text(Setting::ContestRules)).value_or(kDefaultContestRules);
}

StatisticsDialog::StatisticsDialog(Flight flight, Ui& ui, TrackLog* log, QWidget* parent)
    : QDialog(parent), flight_(std::move(flight)), ui_(ui), log_(log) {
  setObjectName("statisticsDialog");
  setWindowTitle("Flight statistics");
  statistics_ = ComputeStatistics(flight_.points);
  const StatisticsTexts texts = FormatStatistics(statistics_);

  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout();
  auto* flightBox = new QGroupBox("Flight", this);
  auto* flightForm = new QFormLayout(flightBox);
  const std::pair<const char*, const std::string*> rows[] = {
      {"Start date", &texts.startDate},       {"Start time", &texts.startTime},
      {"End date", &texts.endDate},           {"End time", &texts.endTime},
      {"Duration", &texts.duration},          {"Lowest altitude", &texts.lowestAltitude},
      {"Highest altitude", &texts.highestAltitude}, {"Distance", &texts.distance},
      {"Average speed", &texts.averageSpeed}, {"Best speed (10 s)", &texts.bestSpeed10},
      {"Best speed (60 s)", &texts.bestSpeed60}, {"Lowest vario (60 s)", &texts.lowestVario60},
      {"Highest vario (60 s)", &texts.highestVario60}};
  for (const auto& [label, text] : rows) flightForm->addRow(label, new QLabel(Q(*text), flightBox));
  if (!texts.leftOut.empty()) flightForm->addRow("Left out (altitude/climb)", new QLabel(Q(texts.leftOut), flightBox));
  columns->addWidget(flightBox);

  // The claim pilots read as their score, above the distance analysis.
  claimLabel_ = new QLabel(Q(ContestName(flight_.rules)) + ": scoring the flight", this);
  claimLabel_->setObjectName("contestClaim");
  QFont claimFont = claimLabel_->font();
  claimFont.setBold(true);
  claimLabel_->setFont(claimFont);
  layout->addWidget(claimLabel_);

  auto* distanceBox = new QGroupBox("Distance analysis (km)", this);
  auto* distanceForm = new QFormLayout(distanceBox);
  const char* names[] = {"Distance over 2 points", "Distance over 3 points", "Distance over 4 points",
                         "Distance over 5 points", "Out-and-return", "Flat triangle", "FAI triangle"};
  for (std::size_t i = 0; i < distances_.size(); ++i) {
    distances_[i] = new QLabel("-", distanceBox);
    distances_[i]->setObjectName(QString("distance%1").arg(i));
    distanceForm->addRow(names[i], distances_[i]);
  }
  status_ = new QLabel("Analysing track", distanceBox);
  status_->setObjectName("analysisStatus");
  distanceForm->addRow(status_);
  columns->addWidget(distanceBox);
  layout->addLayout(columns);

  auto* descriptionLabel = new QLabel("&Description", this);
  layout->addWidget(descriptionLabel);
  description_ = new QPlainTextEdit(this);
  // The buddy makes the "&" a mnemonic (drawn as an underline) instead of a character.
  descriptionLabel->setBuddy(description_);
  description_->setObjectName("description");
  description_->setMaximumHeight(90);
  layout->addWidget(description_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = buttons->addButton("Save log", QDialogButtonBox::ActionRole);
  save->setObjectName("saveLog");
  QPushButton* close = buttons->addButton("E&xit", QDialogButtonBox::RejectRole);
  connect(save, &QPushButton::clicked, this, [this] { SaveLog(); });
  upload_ = buttons->addButton("Upload", QDialogButtonBox::ActionRole);
  upload_->setVisible(false);
  connect(upload_, &QPushButton::clicked, this, [this] { Upload(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);

  // The analysis runs on its own thread; its results reach the dialog as queued calls, which
  // Qt drops once the dialog is gone (the destructor waits for the thread first).
  AnalysisOptions options;
  options.loopGap = flight_.loopGap;
  options.halt = &halt_;
  options.status = [this](std::string_view text) {
    const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QMetaObject::invokeMethod(this, [this, line] { status_->setText(line); }, Qt::QueuedConnection);
  };
  thread_ = std::jthread([this, options] {
    DistanceAnalysis analysis;
    const int result = AnalyseDistances(flight_.points, analysis, options);
    // The claim by the exact optimiser; the save waits for both.
    std::optional<ContestClaim> claim;
    if (result == 0 && !halt_) claim = ScoreClaim(flight_.points, flight_.rules, &halt_);
    QMetaObject::invokeMethod(this, [this, analysis, result, claim = std::move(claim)] {
      if (result != 0) status_->setText("Memory allocation error");
      ShowAnalysis(analysis, claim);
    }, Qt::QueuedConnection);
  });
}

StatisticsDialog::~StatisticsDialog() {
  halt_ = true;
  if (thread_.joinable()) thread_.join();
}

void StatisticsDialog::ShowAnalysis(const DistanceAnalysis& analysis, std::optional<ContestClaim> claim) {
  analysis_ = analysis;
  analysisDone_ = true;
  claim_ = std::move(claim);
  if (claim_) claimLabel_->setText(Q(ClaimText(*claim_)));
  const double values[] = {analysis.two.total,         analysis.three.total, analysis.four.total,
                           analysis.five.total,        analysis.outAndReturn.result,
                           analysis.triangle.result,   analysis.fai.result};
  for (std::size_t i = 0; i < distances_.size(); ++i) distances_[i]->setText(Km(values[i]));
  emit analysisFinished();
}

int StatisticsDialog::SaveLog() {
  kml::LogbookSaveRequest request;
  request.analysisRunning = !analysisDone_;
  // The writer may renumber missing times; it works on the dialog's copy only.
  request.info.points = flight_.points;
  request.info.statistics = statistics_;
  request.info.analysis = analysis_;
  request.info.claim = claim_;
  request.info.loopGap = flight_.loopGap;
  request.info.withHash = flight_.withHash;
  request.info.timesAreUtc = flight_.timesAreUtc;
  request.info.withPressureAltitude = flight_.withPressureAltitude;
  request.description = description_->toPlainText().toStdString();
  request.instrumentText = flight_.instrumentText;
  return kml::SaveLogbookKml(std::move(request), ui_, log_);
}

void StatisticsDialog::SetSettings(SettingsStore* settings) {
  settings_ = settings;
  upload_->setVisible(settings != nullptr);
}

void StatisticsDialog::Upload() {
  const std::string_view caption = online::kLogbookCaption;
  if (settings_ == nullptr) return;
  if (!analysisDone_) {
    ui_.ShowErrorBox("Statistics not yet finished", caption);
    return;
  }
  if (online::InternetBusy::AnyRunning()) {
    ui_.ShowErrorBox(online::kBusyText, caption);
    return;
  }
  online::LogbookConfig config;
  config.address = settings_->Text(Setting::LogbookAddress);
  while (!config.address.empty() && config.address.back() == '/') config.address.pop_back();
  config.homePage = settings_->Text(Setting::LogbookHomePage);
  config.allowPlainHttp = settings_->Number(Setting::LogbookAllowHttp) != 0;
  config.credentialsInQuery = settings_->Number(Setting::LogbookLoginInQuery) != 0;
  if (config.address.empty()) {
    ui_.ShowErrorBox("No web logbook server configured (LogbookAddress)", caption);
    return;
  }
  // The account: user name, password, brand/model and class.
  QDialog ask(this);
  ask.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
  auto* form = new QFormLayout(&ask);
  auto* user = new QLineEdit(QString::fromStdString(settings_->Text(Setting::TrackvaultUserId)));
  auto* password = new QLineEdit;
  password->setEchoMode(QLineEdit::Password);
  auto* remember = new QCheckBox("Remember the password");
  if (auto remembered = RecallPassword(*settings_, settings_->Text(Setting::TrackvaultUserId))) {
    password->setText(QString::fromStdString(*remembered));
    WipeSecret(*remembered);
    remember->setChecked(true);
  }
  auto* model = new QLineEdit(QString::fromStdString(settings_->Text(Setting::TrackvaultModel)));
  auto* classId = new QSpinBox;
  classId->setRange(0, 99);
  classId->setValue(static_cast<int>(settings_->Number(Setting::TrackvaultClass)));
  user->setObjectName("logbookUser");
  password->setObjectName("logbookPassword");
  model->setObjectName("logbookModel");
  classId->setObjectName("logbookClass");
  remember->setObjectName("logbookRemember");
  for (QLineEdit* field : {user, password, model}) {
    field->setMaxLength(static_cast<int>(online::kLogbookFieldSize) - 1);
  }
  form->addRow("User ID", user);
  form->addRow("Password", password);
  form->addRow("Brand/model", model);
  form->addRow("Class", classId);
  form->addRow(remember);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  online::LogbookAccount account;
  connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, &ask, [&] {
    account.user = user->text().toStdString();
    account.password = password->text().toStdString();
    account.brandModel = model->text().toStdString();
    account.classId = classId->value();
    std::string_view missing = online::MissingAccountField(account);
    if (missing.empty()) missing = online::BadAccountField(account);
    if (!missing.empty()) {
      ui_.ShowErrorBox(missing, caption);  // the dialog stays open
      return;
    }
    ask.accept();
  });
  if (ask.exec() != QDialog::Accepted) return;
  settings_->SetText(Setting::TrackvaultUserId, account.user);
  // Remembered only when asked; the status line says where it went.
  PasswordPlace place = PasswordPlace::NotKept;
  if (remember->isChecked()) {
    place = RememberPassword(*settings_, account.user, account.password);
  } else {
    ForgetPassword(*settings_, account.user);
  }
  status_->setText(QString::fromUtf8(PasswordPlaceText(place).data(),
                                     static_cast<qsizetype>(PasswordPlaceText(place).size())));
  password->clear();
  settings_->SetText(Setting::TrackvaultModel, account.brandModel);
  settings_->SetNumber(Setting::TrackvaultClass, account.classId);

  const std::string description = description_->toPlainText().toStdString();
  std::optional<std::string> body = online::LogbookKmlBody(
      flight_.points, flight_.timesAreUtc, flight_.withPressureAltitude,
      flight_.instrumentText.value_or("unknown"), description, ui_);
  if (!body) return;
  const auto show = [this](std::string_view text) {
    QMetaObject::invokeMethod(
        this, [this, line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))] {
          status_->setText(line);
        },
        Qt::QueuedConnection);
  };
  const QString placeText = QString::fromUtf8(PasswordPlaceText(place).data(),
                                              static_cast<qsizetype>(PasswordPlaceText(place).size()));
  uploadThread_ = std::jthread([this, config, account, body = std::move(*body), show,
                                placeText](std::stop_token stop) mutable {
    const SecretHold hold;
    const online::LogbookOutcome outcome = online::UploadToLogbook(
        config, account, body,
        [](std::string_view text) { DebugBuffer::Global().AppendText(text); }, show, stop);
    WipeSecret(account.password);
    if (stop.stop_requested()) return;
    QMetaObject::invokeMethod(
        this,
        [this, outcome, placeText] {
          if (outcome.ok) {
            status_->setText("Track uploaded. " + placeText);
          } else {
            ui_.ShowErrorBox(outcome.error, online::kLogbookCaption);
          }
        },
        Qt::QueuedConnection);
  });
  WipeSecret(account.password);  // the worker has its own copy
}

}  // namespace logwell::qt
