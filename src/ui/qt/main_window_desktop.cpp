// The main window on the desktop: the running transfer's progress bar and abort button in the
// status bar, files dropped on the window, and the recent files of the File menu.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <charconv>
#include <mutex>

#include "access/access_framework.h"
#include "app/settings.h"
#include "base/text.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_ui.h"

namespace logwell::qt {
namespace {

constexpr int kMaxRecentFiles = 8;
// How often the status bar looks whether a transfer runs.
constexpr int kTransferPollMs = 100;
// The part of a file read to tell a track from a waypoint file of the same extension.
constexpr qint64 kSniffBytes = 256 * 1024;

// "Progress 20/130", "Sent wpt 3/9": the done and total counts at the end of a report.
std::optional<std::pair<int, int>> CountsOf(std::string_view text) {
  const std::size_t space = text.rfind(' ');
  const std::string_view counts = space == std::string_view::npos ? text : text.substr(space + 1);
  const std::size_t slash = counts.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  int done = 0;
  int total = 0;
  const auto [doneEnd, doneError] = std::from_chars(counts.data(), counts.data() + slash, done);
  const auto [totalEnd, totalError] =
      std::from_chars(counts.data() + slash + 1, counts.data() + counts.size(), total);
  if (doneError != std::errc() || totalError != std::errc() || doneEnd != counts.data() + slash ||
      totalEnd != counts.data() + counts.size() || total <= 0 || done < 0) {
    return std::nullopt;
  }
  return std::pair{std::min(done, total), total};
}

char KindLetter(MainWindow::FileKind kind) {
  switch (kind) {
    case MainWindow::FileKind::Track: return 'T';
    case MainWindow::FileKind::Waypoints: return 'W';
    case MainWindow::FileKind::Airspace: return 'A';
  }
  return 'T';
}

std::optional<MainWindow::FileKind> KindOfLetter(QChar letter) {
  if (letter == 'T') return MainWindow::FileKind::Track;
  if (letter == 'W') return MainWindow::FileKind::Waypoints;
  if (letter == 'A') return MainWindow::FileKind::Airspace;
  return std::nullopt;
}

// A MapSource file holds a track when one of its records is a track ('T') record; the layout
// is the one the MapSource readers take: "MsRcd\0", then records of a 32-bit little-endian
// length, a type byte and the data.
bool MapSourceHasTrack(const QByteArray& bytes) {
  if (!bytes.startsWith(QByteArray("MsRcd\0", 6))) return false;
  qsizetype at = 6;
  while (at + 5 <= bytes.size()) {
    const auto byte = [&](qsizetype i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const std::uint32_t length = byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
    const char type = bytes[at + 4];
    if (type == 'T') return true;
    if (type == 'V') return false;
    at += 5 + static_cast<qsizetype>(length);
  }
  return false;
}

}  // namespace

// ---- the transfer in the status bar ----

struct MainWindow::ProgressRelay {
  std::mutex lock;
  MainWindow* window = nullptr;
};

void MainWindow::BuildTransferControls() {
  progress_ = new QProgressBar(this);
  progress_->setObjectName("transferProgress");
  progress_->setMaximumWidth(180);
  progress_->setTextVisible(true);
  progress_->hide();
  abort_ = new QPushButton("&Abort transfer", this);
  abort_->setObjectName("abortButton");
  abort_->setEnabled(false);
  connect(abort_, &QPushButton::clicked, this, [this] { RunCommand(1102); });
  statusBar()->addWidget(progress_);
  statusBar()->addWidget(abort_);
  progressRelay_ = std::make_shared<ProgressRelay>();
  progressRelay_->window = this;
  transferTimer_ = new QTimer(this);
  connect(transferTimer_, &QTimer::timeout, this, [this] { UpdateTransferControls(); });
  transferTimer_->start(kTransferPollMs);
}

void MainWindow::DetachProgressRelay() {
  if (!progressRelay_) return;
  std::lock_guard guard(progressRelay_->lock);
  progressRelay_->window = nullptr;
}

// The bar shows while an access runs: busy until the worker reports counts, then their share.
void MainWindow::UpdateTransferControls() {
  const bool running = services_.access.AccessCurrent();
  if (running && progress_->isHidden()) {
    progress_->setRange(0, 0);
    progress_->show();
  } else if (!running && !progress_->isHidden()) {
    progress_->hide();
    progress_->reset();
  }
  abort_->setEnabled(services_.access.gpsBusy.load() == 1);
}

void MainWindow::ShowTransferProgress(int done, int total) {
  if (!services_.access.AccessCurrent()) return;  // a late report of a transfer that has ended
  progress_->setRange(0, total);
  progress_->setValue(done);
  progress_->setFormat(QString("%1/%2").arg(done).arg(total));
  progress_->show();
}

std::function<void(std::string_view)> MainWindow::ProgressReporter() const {
  return [relay = progressRelay_](std::string_view text) {
    const auto counts = CountsOf(text);
    if (!counts) return;
    std::lock_guard guard(relay->lock);
    if (relay->window == nullptr) return;
    MainWindow* window = relay->window;
    QMetaObject::invokeMethod(window, [window, counts] { window->ShowTransferProgress(counts->first, counts->second); },
                              Qt::QueuedConnection);
  };
}

// ---- files by their kind ----

std::optional<MainWindow::FileKind> MainWindow::KindOfFile(const QString& path) {
  const QString extension = QFileInfo(path).suffix().toLower();
  if (extension == "igc" || extension == "plt" || extension == "tnc" || extension == "log" || extension == "csv") {
    return FileKind::Track;
  }
  if (extension == "wpt" || extension == "cup") return FileKind::Waypoints;
  if (extension == "txt" || extension == "openair") return FileKind::Airspace;
  if (extension != "gpx" && extension != "kml" && extension != "mps" && extension != "dat") return std::nullopt;
  // Both kinds share these extensions: the content decides.
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return FileKind::Track;  // the reader reports the failure
  const QByteArray head = file.read(kSniffBytes);
  if (extension == "gpx") return head.contains("<trk") ? FileKind::Track : FileKind::Waypoints;
  if (extension == "kml") {
    return head.contains("<LineString") || head.contains("<gx:Track") ? FileKind::Track : FileKind::Waypoints;
  }
  if (extension == "mps") return MapSourceHasTrack(head) ? FileKind::Track : FileKind::Waypoints;
  // ".dat": the old binary track files, or the text waypoint files.
  const bool text = std::all_of(head.begin(), head.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 || byte == '\r' || byte == '\n' || byte == '\t' || byte == 0x1a;
  });
  return text && !head.isEmpty() ? FileKind::Waypoints : FileKind::Track;
}

bool MainWindow::OpenFileOfKind(FileKind kind, const QString& path, int filterIndex) {
  bool read = false;
  switch (kind) {
    case FileKind::Track:
      if (Busy("Open track log")) return false;
      read = OpenTrackFile(path, filterIndex);
      break;
    case FileKind::Waypoints:
      if (Busy("Open waypoints")) return false;
      read = OpenWaypointFile(path, filterIndex);
      break;
    case FileKind::Airspace:
      if (Busy("Read CTR file")) return false;
      read = ReadCtrFile(path);
      break;
  }
  if (read) RememberRecent(kind, path);
  return read;
}

// Several files are opened one after the other, each as its File menu command would open it;
// the first that cannot be opened ends the run.
void MainWindow::OpenFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    const auto kind = KindOfFile(path);
    if (!kind) {
      services_.ui.ShowErrorBox(FormatText("Unknown file type: %s", QFileInfo(path).fileName().toStdString().c_str()),
                                "Open file");
      return;
    }
    if (!OpenFileOfKind(*kind, path)) return;
  }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (mime == nullptr || !mime->hasUrls()) return;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) return;
  }
  event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (mime == nullptr || !mime->hasUrls()) return;
  QStringList paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  // Opened after the drop has ended: the file readers may ask questions in boxes.
  QTimer::singleShot(0, this, [this, paths] { OpenFiles(paths); });
}

// ---- recent files ----

QStringList MainWindow::RecentFiles() const {
  QStringList paths;
  for (const QString& entry : Q(services_.settings.Text(Setting::RecentFiles)).split('\t', Qt::SkipEmptyParts)) {
    if (entry.size() > 1 && KindOfLetter(entry[0])) paths << entry.mid(1);
  }
  return paths;
}

void MainWindow::BuildRecentMenu(QMenu* file) {
  recentMenu_ = new QMenu("&Recent files", this);
  recentMenu_->setObjectName("recentFiles");
  recentMenu_->setToolTipsVisible(true);  // the whole path of each file
  QAction* exit = Action(40019);
  file->insertMenu(exit, recentMenu_);
  file->insertSeparator(exit);
  FillRecentMenu();
}

void MainWindow::FillRecentMenu() {
  recentMenu_->clear();
  const QStringList entries = Q(services_.settings.Text(Setting::RecentFiles)).split('\t', Qt::SkipEmptyParts);
  int number = 0;
  for (const QString& entry : entries) {
    if (entry.size() < 2 || !KindOfLetter(entry[0])) continue;
    ++number;
    const QString path = entry.mid(1);
    QString label = QFileInfo(path).fileName();
    label.replace('&', "&&");
    QAction* action = recentMenu_->addAction(QString("&%1 %2").arg(number).arg(label));
    action->setToolTip(path);
    action->setData(entry);
    connect(action, &QAction::triggered, this, [this, entry] { OnRecentFile(entry); });
  }
  recentMenu_->setEnabled(number > 0);
}

void MainWindow::RememberRecent(FileKind kind, const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  if (full.contains('\t') || full.toUtf8().size() > 268) return;  // not kept: it would not read back
  QStringList entries = Q(services_.settings.Text(Setting::RecentFiles)).split('\t', Qt::SkipEmptyParts);
  entries.removeIf([&full](const QString& entry) { return entry.mid(1) == full; });
  entries.prepend(QChar(KindLetter(kind)) + full);
  while (entries.size() > kMaxRecentFiles) entries.removeLast();
  services_.settings.SetText(Setting::RecentFiles, entries.join('\t').toStdString());
  FillRecentMenu();
}

void MainWindow::OnRecentFile(const QString& entry) {
  const auto kind = KindOfLetter(entry[0]);
  const QString path = entry.mid(1);
  if (!kind) return;
  if (!QFileInfo::exists(path)) {
    // A file that has gone since is dropped from the list.
    QStringList entries = Q(services_.settings.Text(Setting::RecentFiles)).split('\t', Qt::SkipEmptyParts);
    entries.removeAll(entry);
    services_.settings.SetText(Setting::RecentFiles, entries.join('\t').toStdString());
    FillRecentMenu();
    services_.ui.ShowErrorBox(FormatText("File not found: %s (removed from the recent files)", path.toStdString().c_str()),
                              "Open recent file");
    return;
  }
  OpenFileOfKind(*kind, path);
}

}  // namespace logwell::qt
