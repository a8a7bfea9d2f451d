// The window's online commands against real servers on loopback: the logbook upload from the
// flight statistics, "Open IGC log (online validation)" and "Send track with FTP".
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "box_answerer.h"
#include "online/loopback_server.h"
#include "online/web_logbook.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"
#include "track/track_log.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/statistics_dialog.h"

using namespace logwell;
using logwell::qt::MainWindow;
using logwell::testing::BoxAnswerer;
using logwell::testing::FreshFolder;
using logwell::testing::LoopbackServer;
using logwell::testing::ScriptPath;

namespace {

struct Fixture {
  Fixture() : folder(FreshFolder("window")) {
    settings.Load({folder / "user" / "logwell.ini", folder / "etc" / "logwell.ini"}, ui);
    window = std::make_unique<MainWindow>(MainWindow::Services{access, table, settings, ui, false});
    access.InitGpsAccess();
    window->show();
  }
  ~Fixture() {
    window.reset();
    std::filesystem::remove_all(folder);
    CurrentTrackLog() = TrackLog();
  }

  std::filesystem::path folder;
  AccessTable table;
  AccessFramework access{table};
  SettingsStore settings{"/docs"};
  qt::QtUi ui;
  std::unique_ptr<MainWindow> window;
};

void Type(QWidget* dialog, const char* name, const QString& text) {
  if (auto* field = dialog->findChild<QLineEdit*>(name)) field->setText(text);
}

std::filesystem::path RealIgc() {
  return logwell::testing::FixturesDir().value() / "igc" / "18BF14K1.igc";
}

}  // namespace

class OnlineWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    if (!logwell::testing::FixturesDir()) QSKIP("LOGWELL_FIXTURES is not set");
  }

  void statisticsUploadSendsTheFlightThroughTheSixSteps() {
    Fixture f;
    const std::filesystem::path serverDir = FreshFolder("window-logbook");
    LoopbackServer server({"/usr/bin/python3", ScriptPath("service_server.py"), "normal",
                           serverDir.string()});
    QVERIFY(server.Port() > 0);
    f.settings.SetText(Setting::LogbookAddress, server.Address() + "/");
    f.settings.SetNumber(Setting::LogbookAllowHttp, 1);  // the loopback stand-in has no TLS
    f.window->RunCommand(40140);  // the test track
    f.window->RunCommand(40042);  // every row
    f.window->RunCommand(40115);
    auto* dialog = qobject_cast<qt::StatisticsDialog*>(f.window->LastOpened());
    QVERIFY(dialog != nullptr);
    QSignalSpy finished(dialog, &qt::StatisticsDialog::analysisFinished);
    QVERIFY(dialog->AnalysisDone() || finished.wait(60000));
    QPushButton* upload = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      if (button->text() == "Upload") upload = button;
    }
    QVERIFY(upload != nullptr && upload->isVisible());

    BoxAnswerer boxes;
    boxes.Answer("OK", [](QWidget* ask) {
      Type(ask, "logbookUser", "pilot");
      Type(ask, "logbookPassword", "s\u00e9cret&x");
      Type(ask, "logbookModel", "Ozone Rush 5");
      if (auto* classId = ask->findChild<QSpinBox*>("logbookClass")) classId->setValue(2);
      if (auto* remember = ask->findChild<QCheckBox*>("logbookRemember")) remember->setChecked(true);
    });
    upload->click();
    // The status says where the password went (no keyring on the test's session).
    QTRY_VERIFY_WITH_TIMEOUT(dialog->Status()->text().startsWith("Track uploaded. Password remembered in the "),
                             20000);
    QVERIFY2(f.settings.HoldsSecret() || dialog->Status()->text().contains("keyring"),
             qPrintable(dialog->Status()->text()));
    // The account is remembered, the password not as text.
    QCOMPARE(f.settings.Text(Setting::TrackvaultUserId), std::string("pilot"));
    QCOMPARE(f.settings.Text(Setting::TrackvaultModel), std::string("Ozone Rush 5"));
    const std::string requests = logwell::testing::ReadWholeFile(serverDir / "requests.log");
    QVERIFY(requests.find("GET /tv.html?l=2&a=38\n") != std::string::npos);  // logged out
    bool kml = false;
    for (const auto& entry : std::filesystem::directory_iterator(serverDir)) {
      kml |= logwell::testing::ReadWholeFile(entry.path()).find("<coordinates>") != std::string::npos;
    }
    QVERIFY(kml);
    dialog->close();
    std::filesystem::remove_all(serverDir);
  }

  // The file becomes the track log only when the server gave a verdict.
  void onlineValidationLoadsOnlyWhatTheServerJudged() {
    struct Case {
      const char* mode;
      bool loaded;
      const char* boxStart;
    };
    const Case cases[] = {
        {"normal", true, ""},
        {"fail_validation", true, ""},
        {"error_validation", false, "Validation server error (HTTP 500)"},
    };
    const std::size_t fixes = igc::DecodeIgcText(logwell::testing::ReadWholeFile(RealIgc())).points.size();
    for (const Case& c : cases) {
      Fixture f;
      const std::filesystem::path serverDir = FreshFolder(std::string("window-") + c.mode);
      LoopbackServer server({"/usr/bin/python3", ScriptPath("service_server.py"), c.mode,
                             serverDir.string()});
      QVERIFY(server.Port() > 0);
      f.settings.SetText(Setting::ValidationAddress, server.Address());
      f.window->chooseOpenFile = [](const QString&, const QString&) {
        return QString::fromStdString(RealIgc().string());
      };
      BoxAnswerer boxes;
      f.window->RunCommand(40210);
      QTRY_VERIFY_WITH_TIMEOUT(!boxes.Seen().empty(), 20000);
      QVERIFY2(boxes.Seen().back().text.startsWith(c.boxStart), qPrintable(boxes.Seen().back().text));
      QCoreApplication::processEvents();
      QCOMPARE(CurrentTrackLog().points.size(), c.loaded ? fixes : 0u);
      std::filesystem::remove_all(serverDir);
    }
  }

  void ftpSendArrivesByteIdenticalAndSaysSo() {
    Fixture f;
    const std::filesystem::path home = f.folder / "home";
    std::filesystem::create_directories(home);
    LoopbackServer server({"/usr/bin/python3", ScriptPath("ftp_server.py"), home.string(), "plain"});
    QVERIFY(server.Port() > 0);
    const QString local = QString::fromStdString(RealIgc().string());
    const QString address = QString("127.0.0.1:%1").arg(server.Port());
    BoxAnswerer boxes;
    boxes.Answer("OK", [&](QWidget* dialog) {
      Type(dialog, "ftpLocal", local);
      Type(dialog, "ftpServer", address);
      Type(dialog, "ftpRemote", "club flight.igc");
      Type(dialog, "ftpUser", "pilot");
      Type(dialog, "ftpPassword", "s3cret");
      if (auto* passive = dialog->findChild<QCheckBox*>("ftpPassive")) passive->setChecked(true);
      // TLS is the default; the plain test server needs it off.
      if (auto* tls = dialog->findChild<QCheckBox*>("ftpTls")) {
        QVERIFY(tls->isChecked());
        tls->setChecked(false);
      }
    });
    f.window->RunCommand(40203);
    QTRY_VERIFY_WITH_TIMEOUT(boxes.Seen().size() >= 2, 20000);
    QCOMPARE(boxes.Seen().back().text, QString("File sent"));
    QCOMPARE(logwell::testing::ReadWholeFile(home / "club flight.igc"),
             logwell::testing::ReadWholeFile(RealIgc()));
    QCOMPARE(f.settings.Text(Setting::FtpAddress), address.toStdString());
    QCOMPARE(f.settings.Number(Setting::FtpTls), 0);  // the choice is remembered
  }
};

QTEST_MAIN(OnlineWindowTest)
#include "online_window_test.moc"
