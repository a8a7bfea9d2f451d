// The window's online commands: reading an IGC file through the online validation, and sending
// a file by FTP. Both run on the window's online worker; the verdict comes back to the window
// thread, which alone touches the track log.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "access/access_framework.h"
#include "access/debug_buffer.h"
#include "app/settings.h"
#include "base/secret.h"
#include "online/ftp_send.h"
#include "online/validation.h"
#include "track/track_log.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

namespace logwell::qt {

namespace {

online::TraceSink DebugTrace() {
  return [](std::string_view text) { DebugBuffer::Global().AppendText(text); };
}

}  // namespace

void MainWindow::OnValidateOnline() {
  const std::string_view caption = online::kReadIgcCaption;
  if (Busy(caption)) return;
  if (online::InternetBusy::AnyRunning()) {
    services_.ui.ShowErrorBox(online::kBusyText, caption);
    return;
  }
  if (!AskBeforeReplacing(CurrentTrackLog(), services_.ui, false)) return;
  DebugBuffer::Global().Clear();
  const QString title = "Read track log";
  const QString filter = "IGC track log files (*.igc)";
  const QString path = chooseOpenFile ? chooseOpenFile(title, filter)
                                      : QFileDialog::getOpenFileName(this, title, QString(), filter);
  if (path.isEmpty()) return;
  std::optional<online::ValidationInput> input =
      online::ReadValidationInput(path.toStdString(), services_.ui);
  if (!input) return;
  online::ValidationConfig config;
  config.address = services_.settings.Text(Setting::ValidationAddress);
  if (config.address.empty()) {
    services_.ui.ShowErrorBox("No validation server configured (ValidationAddress)",
                              online::kValidationCaption);
    return;
  }
  QtUi& ui = services_.ui;
  onlineWorker_ = std::jthread([this, &ui, config, input = std::move(*input)](
                                   std::stop_token stop) mutable {
    const online::ValidationOutcome outcome = online::SendForValidation(
        config, input, DebugTrace(), [&ui](std::string_view text) { ui.ShowStatus(text); }, stop);
    if (stop.stop_requested()) return;
    QMetaObject::invokeMethod(
        this,
        [this, input = std::move(input), outcome]() mutable {
          if (!online::ReportValidation(input, outcome, services_.ui)) return;
          // The answer came from the server: the decoded file becomes the track log.
          TrackLog& log = CurrentTrackLog();
          log.Clear();
          log.points = std::move(input.points);
          log.source.timeIsUtc = 1;
          log.source.signState =
              outcome.passed ? SignState::ValidatedOnline : SignState::NotSignable;
          log.saved = 1;
          RefreshView(ViewMode::TrackLog);
        },
        Qt::QueuedConnection);
  });
}

void MainWindow::OnSendFtp() {
  const std::string_view caption = online::kFtpCaption;
  if (online::InternetBusy::AnyRunning()) {
    services_.ui.ShowErrorBox(online::kBusyText, caption);
    return;
  }
  SettingsStore& settings = services_.settings;
  QDialog dialog(this);
  dialog.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
  auto* form = new QFormLayout(&dialog);
  auto* server = new QLineEdit(QString::fromStdString(settings.Text(Setting::FtpAddress)));
  auto* remote = new QLineEdit(QString::fromStdString(settings.Text(Setting::FtpRemoteName)));
  auto* user = new QLineEdit(QString::fromStdString(settings.Text(Setting::FtpUserId)));
  auto* password = new QLineEdit;
  password->setEchoMode(QLineEdit::Password);
  auto* local = new QLineEdit;
  auto* browse = new QPushButton("...");
  auto* passive = new QCheckBox("Passive mode");
  passive->setChecked(settings.Number(Setting::FtpPassiveMode) != 0);
  auto* tls = new QCheckBox("Log in and send through TLS");
  tls->setChecked(settings.Number(Setting::FtpTls) != 0);
  // A certificate to trust besides the system's, for a server that signs its own.
  auto* caFile = new QLineEdit(QString::fromStdString(settings.Text(Setting::FtpCaFile)));
  auto* caBrowse = new QPushButton("...");
  caFile->setObjectName("ftpCaFile");
  local->setObjectName("ftpLocal");
  server->setObjectName("ftpServer");
  remote->setObjectName("ftpRemote");
  user->setObjectName("ftpUser");
  password->setObjectName("ftpPassword");
  passive->setObjectName("ftpPassive");
  tls->setObjectName("ftpTls");
  auto* localRow = new QHBoxLayout;
  localRow->addWidget(local);
  localRow->addWidget(browse);
  form->addRow("Local file", localRow);
  form->addRow("Server", server);
  form->addRow("Remote name", remote);
  form->addRow("User", user);
  form->addRow("Password", password);
  form->addRow(passive);
  form->addRow(tls);
  auto* caRow = new QHBoxLayout;
  caRow->addWidget(caFile);
  caRow->addWidget(caBrowse);
  form->addRow("Server certificate", caRow);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  connect(browse, &QPushButton::clicked, &dialog, [&] {
    const QString file = QFileDialog::getOpenFileName(&dialog, "Select track for FTP");
    if (!file.isEmpty()) local->setText(file);
  });
  connect(caBrowse, &QPushButton::clicked, &dialog, [&] {
    const QString file = QFileDialog::getOpenFileName(&dialog, "Server certificate", QString(),
                                                      "Certificates (*.pem *.crt);;All files (*)");
    if (!file.isEmpty()) caFile->setText(file);
  });
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (local->text().isEmpty()) {
      services_.ui.ShowErrorBox("Missing local file name", "Send file");
      return;
    }
    if (server->text().trimmed().isEmpty()) {
      services_.ui.ShowErrorBox("Missing server name", "Send file");
      return;
    }
    dialog.accept();
  });
  if (dialog.exec() != QDialog::Accepted) return;
  settings.SetText(Setting::FtpAddress, server->text().toStdString());
  settings.SetText(Setting::FtpRemoteName, remote->text().toStdString());
  settings.SetText(Setting::FtpUserId, user->text().toStdString());
  settings.SetNumber(Setting::FtpPassiveMode, passive->isChecked() ? 1 : 0);
  settings.SetNumber(Setting::FtpTls, tls->isChecked() ? 1 : 0);
  settings.SetText(Setting::FtpCaFile, caFile->text().toStdString());

  online::FtpRequest request;
  request.server = server->text().toStdString();
  request.remoteName = remote->text().toStdString();
  request.user = user->text().toStdString();
  request.password = password->text().toStdString();
  request.localFile = local->text().toStdString();
  request.passive = passive->isChecked();
  request.requireTls = tls->isChecked();
  request.caFile = caFile->text().toStdString();
  password->clear();
  DebugBuffer::Global().Clear();
  QtUi& ui = services_.ui;
  onlineWorker_ = std::jthread([this, &ui, request = std::move(request)](std::stop_token stop) mutable {
    const SecretHold hold;  // no core file holds the password
    const online::FtpOutcome outcome = online::SendFileByFtp(
        request, DebugTrace(), [&ui](std::string_view text) { ui.ShowStatus(text); }, stop);
    WipeSecret(request.password);
    if (stop.stop_requested()) return;
    QMetaObject::invokeMethod(
        this,
        [this, outcome] {
          services_.ui.ShowStatus(outcome.message);
          if (outcome.ok) {
            services_.ui.ShowInfoBox(outcome.message, online::kFtpCaption);
          } else {
            services_.ui.ShowErrorBox(outcome.message, online::kFtpCaption);
          }
        },
        Qt::QueuedConnection);
  });
}

}  // namespace logwell::qt
