#include "track/track_takeover.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

// 2024-02-09 10:00:00
constexpr GarminTime kMorning = 1076407200u;

TrackPoint PointAt(GarminTime time, std::uint32_t segmentStart = 0) {
  TrackPoint p;
  p.segmentStart = segmentStart;
  p.time = time;
  p.latitude = static_cast<std::int32_t>(time % 100000);
  return p;
}

// A track as a reader or parser makes it: the first point opens a segment.
std::vector<TrackPoint> Track(std::initializer_list<GarminTime> times) {
  std::vector<TrackPoint> points;
  for (const GarminTime t : times) points.push_back(PointAt(t, points.empty() ? 1 : 0));
  return points;
}

// Records the New Track Log forms besides what the scripted Ui records.
class FormRecordingUi final : public Ui {
 public:
  explicit FormRecordingUi(ScriptedUi& inner) : inner_(inner) {}
  void ShowErrorBox(std::string_view t, std::string_view c) override { inner_.ShowErrorBox(t, c); }
  void ShowInfoBox(std::string_view t, std::string_view c) override { inner_.ShowInfoBox(t, c); }
  Answer AskOkCancel(std::string_view t, std::string_view c, Answer u) override {
    return inner_.AskOkCancel(t, c, u);
  }
  Answer AskYesNo(std::string_view t, std::string_view c, Answer u) override {
    return inner_.AskYesNo(t, c, u);
  }
  Answer AskYesNoCancel(std::string_view t, std::string_view c, Answer u) override {
    return inner_.AskYesNoCancel(t, c, u);
  }
  void ShowStatus(std::string_view t) override { inner_.ShowStatus(t); }
  void ShowProduct(std::string_view t) override { inner_.ShowProduct(t); }
  std::optional<std::vector<int>> ChooseFromList(const ListChoice& c) override {
    return inner_.ChooseFromList(c);
  }
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm& form) override {
    forms.push_back(form);
    return inner_.AskNewTrackLog(form);
  }
  std::vector<NewTrackLogForm> forms;

 private:
  ScriptedUi& inner_;
};

DownloadResult Download(TrackSourceKind kind, std::vector<TrackPoint> points) {
  DownloadResult d;
  d.points = std::move(points);
  d.source.kind = kind;
  d.source.timeIsUtc = 1;
  d.source.signState = SignState::Downloaded;
  d.source.altitudeFlag = 1;
  d.protocol = ProtocolType::Flytec;
  return d;
}

RawIgcLog RawText(const std::string& text) { return RawIgcLog{text, kMorning, 1, "ABC", "XFL"}; }

TEST(TakeOverDownload, AFailedAccessChangesNothing) {
  ScriptedUi ui;
  TrackLog log;
  log.points = Track({kMorning});
  log.saved = 1;
  DownloadResult d = Download(TrackSourceKind::Garmin, Track({kMorning + 10}));
  d.result = -1;
  EXPECT_FALSE(TakeOverDownload(log, std::move(d), ui));
  EXPECT_EQ(log.points, Track({kMorning}));
  EXPECT_EQ(log.saved, 1);
  EXPECT_TRUE(ui.Events().empty());
}

TEST(TakeOverDownload, TakesPointsAndHeaderFromTheDownload) {
  ScriptedUi ui;
  TrackLog log;
  log.points = Track({kMorning});
  log.saved = 1;
  log.source.SetInstrumentName("Old");
  log.source.SetInstrumentText("Old instrument");
  DownloadResult d = Download(TrackSourceKind::Flymaster, Track({kMorning + 10, kMorning + 11}));
  d.protocol = ProtocolType::Flymaster;
  d.task = TaskDeclaration{kMorning, kMorning, 1, "Task", {}};
  d.source.SetInstrumentName("Flymaster");
  d.source.SetInstrumentId("Flymaster: 1234");
  ASSERT_TRUE(TakeOverDownload(log, std::move(d), ui));

  EXPECT_EQ(log.points, Track({kMorning + 10, kMorning + 11}));
  EXPECT_EQ(log.source.kind, TrackSourceKind::Flymaster);
  EXPECT_EQ(log.sourceProtocol, ProtocolType::Flymaster);
  EXPECT_EQ(log.source.timeIsUtc, 1);
  EXPECT_EQ(log.source.signState, SignState::Downloaded);
  EXPECT_EQ(log.source.altitudeFlag, 1);
  EXPECT_EQ(log.saved, 0);
  ASSERT_TRUE(log.task);
  EXPECT_EQ(log.task->text, "Task");
  // Empty texts of the download leave the log's own in place.
  EXPECT_EQ(log.source.InstrumentName(), "Flymaster");
  EXPECT_EQ(log.source.InstrumentText(), "Old instrument");
  EXPECT_EQ(log.source.InstrumentId(), "Flymaster: 1234");
  EXPECT_GE(log.downloadTime.year, 2024);
  EXPECT_TRUE(ui.Events().empty());
}

TEST(TakeOverDownload, RawIgcTextStaysOnlyWithTheFamiliesThatSendIt) {
  struct Case {
    TrackSourceKind kind;
    bool keeps;
  };
  for (const Case c : {Case{TrackSourceKind::Flytec, true}, Case{TrackSourceKind::Dsx, true},
                       Case{TrackSourceKind::IqBasic, true}, Case{TrackSourceKind::Garmin, false},
                       Case{TrackSourceKind::Flymaster, false}, Case{TrackSourceKind::Mtk, false}}) {
    ScriptedUi ui;
    TrackLog log;
    DownloadResult first = Download(TrackSourceKind::Flytec, Track({kMorning}));
    first.rawIgc = RawText("AXFLABC first\r\n");
    ASSERT_TRUE(TakeOverDownload(log, std::move(first), ui));
    ASSERT_TRUE(log.rawIgc);

    DownloadResult second = Download(c.kind, Track({kMorning + 100}));
    if (c.keeps) second.rawIgc = RawText("AXFLABC second\r\n");
    ASSERT_TRUE(TakeOverDownload(log, std::move(second), ui));
    EXPECT_EQ(log.rawIgc.has_value(), c.keeps) << static_cast<int>(c.kind);
    if (c.keeps) {
      EXPECT_EQ(log.rawIgc->text, "AXFLABC second\r\n");
    }
  }
}

TEST(TakeOverDownload, LogItDataStaysOnlyWithItsFamily) {
  ScriptedUi ui;
  TrackLog log;
  DownloadResult first = Download(TrackSourceKind::TopNavigator, Track({kMorning}));
  first.logItData = {1, 2, 3};
  ASSERT_TRUE(TakeOverDownload(log, std::move(first), ui));
  EXPECT_EQ(log.logItData, (std::vector<std::uint8_t>{1, 2, 3}));
  ASSERT_TRUE(TakeOverDownload(log, Download(TrackSourceKind::Garmin, Track({kMorning})), ui));
  EXPECT_TRUE(log.logItData.empty());
}

TEST(TakeOverDownload, ReportsPointsRemovedByTheFilters) {
  const DownloadFilter dropTwo = [](std::vector<TrackPoint>& points) {
    points.resize(points.size() - 2);
  };
  const DownloadFilter keepAll = [](std::vector<TrackPoint>&) {};

  ScriptedUi ui;
  TrackLog log;
  ASSERT_TRUE(TakeOverDownload(
      log, Download(TrackSourceKind::Garmin, Track({kMorning, kMorning + 1, kMorning + 2})), ui,
      dropTwo));
  EXPECT_EQ(log.Count(), 1);
  ASSERT_TRUE(TakeOverDownload(
      log, Download(TrackSourceKind::Garmin, Track({kMorning, kMorning + 1})), ui, keepAll));
  EXPECT_EQ(log.Count(), 2);
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{
                            {UiEventKind::Info, "Analyze track", "2 points removed by filter(s)"}}));
}

FileReadResult FileOf(std::vector<TrackPoint> points, bool signatureOk = false) {
  FileReadResult f;
  f.points = std::move(points);
  f.timeIsUtc = 1;
  f.altitudeFlag = 1;
  f.signatureOk = signatureOk;
  return f;
}

TEST(TakeOverFile, ReplacesAnEmptyLogAndResetsItsSource) {
  ScriptedUi ui;
  TrackLog log;
  log.source.kind = TrackSourceKind::Flytec;
  log.source.signState = SignState::Downloaded;
  log.saved = 1;
  log.source.SetInstrumentText("Flytec 6030");
  EXPECT_EQ(TakeOverFile(log, FileOf(Track({kMorning, kMorning + 1}), true), ui),
            FileTakeOver::Replaced);
  EXPECT_EQ(log.points, Track({kMorning, kMorning + 1}));
  EXPECT_EQ(log.source.kind, TrackSourceKind::None);
  EXPECT_EQ(log.source.signState, SignState::NotSignable);
  EXPECT_EQ(log.saved, 0);
  EXPECT_EQ(log.source.timeIsUtc, 1);
  EXPECT_EQ(log.source.altitudeFlag, 1);
  EXPECT_EQ(log.source.InstrumentText(), "");
  EXPECT_TRUE(ui.Boxes().empty());
  EXPECT_EQ(ui.LastStatus(), "2 positions read (Signature ok: times, positions and pressure altitudes unchanged)");
}

TEST(TakeOverFile, NoPositionsLeavesTheLogAlone) {
  ScriptedUi ui;
  TrackLog log;
  log.points = Track({kMorning});
  EXPECT_EQ(TakeOverFile(log, FileOf({}), ui), FileTakeOver::NoPositions);
  EXPECT_EQ(log.points, Track({kMorning}));
  EXPECT_EQ(ui.LastStatus(), "No positions found");
}

TEST(TakeOverFile, AsksAboutPositionsGoingBackwardsInTime) {
  const UiEvent question{UiEventKind::YesNoCancel, "Read track log",
                         "One or more positions (the first at pos. 3) go backwards in time. "
                         "Remove ?"};
  // The third point goes back; the fourth is still earlier than the second.
  const auto backwards = [] {
    return Track({kMorning, kMorning + 10, kMorning + 5, kMorning + 8, kMorning + 20});
  };
  struct Case {
    Answer answer;
    FileTakeOver outcome;
    std::vector<GarminTime> times;
    std::string status;
  };
  const std::vector<Case> cases = {
      {Answer::Cancel, FileTakeOver::Cancelled, {}, "Operation aborted"},
      {Answer::Yes, FileTakeOver::Replaced, {kMorning, kMorning + 10, kMorning + 20},
       "3 positions read"},
      {Answer::No, FileTakeOver::Replaced,
       {kMorning, kMorning + 10, kMorning + 5, kMorning + 8, kMorning + 20},
       "5 positions read (Signature ok: times, positions and pressure altitudes unchanged)"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    ui.ScriptAnswer(c.answer);
    TrackLog log;
    EXPECT_EQ(TakeOverFile(log, FileOf(backwards(), true), ui), c.outcome);
    EXPECT_EQ(ui.Boxes(), std::vector<UiEvent>{question});
    EXPECT_EQ(ui.LastStatus(), c.status);
    std::vector<GarminTime> times;
    for (const TrackPoint& p : log.points) times.push_back(p.time);
    EXPECT_EQ(times, c.times);
  }
}

TEST(TakeOverFile, NewTrackLogDialogShowsBothLogs) {
  ScriptedUi scripted;
  FormRecordingUi ui(scripted);
  scripted.ScriptNewTrackLog(NewTrackLogChoice::Cancel);
  TrackLog log;
  log.points = Track({kMorning, kMorning + 3723});
  EXPECT_EQ(TakeOverFile(log, FileOf(Track({kMorning + 86400 + 5, kMorning + 86400 + 65})), ui),
            FileTakeOver::Cancelled);
  EXPECT_EQ(log.points, Track({kMorning, kMorning + 3723}));
  ASSERT_EQ(ui.forms.size(), 1u);
  const NewTrackLogForm& form = ui.forms.front();
  EXPECT_EQ(form.currentStart, "2024-02-09  10:00:00");
  EXPECT_EQ(form.currentEnd, "2024-02-09  11:02:03");
  EXPECT_EQ(form.currentDuration, "01:02:03");
  EXPECT_EQ(form.newStart, "2024-02-10  10:00:05");
  EXPECT_EQ(form.newEnd, "2024-02-10  10:01:05");
  EXPECT_EQ(form.newDuration, "00:01:00");
}

TEST(TakeOverFile, OverwriteReplacesTheCurrentLog) {
  ScriptedUi ui;
  ui.ScriptNewTrackLog(NewTrackLogChoice::Overwrite);
  TrackLog log;
  log.points = Track({kMorning, kMorning + 60});
  EXPECT_EQ(TakeOverFile(log, FileOf(Track({kMorning + 10})), ui), FileTakeOver::Replaced);
  EXPECT_EQ(log.points, Track({kMorning + 10}));
  EXPECT_EQ(ui.LastStatus(), "1 positions read");
}

TEST(TakeOverFile, AppendingAnOverlappingLogIsRefusedAndChangesNothing) {
  ScriptedUi ui;
  ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
  TrackLog log;
  log.points = Track({kMorning, kMorning + 60});
  log.source.timeIsUtc = 1;
  log.saved = 1;
  log.rawIgc = RawText("AXFLABC\r\n");
  // The new log starts at the very second the current one ends.
  EXPECT_EQ(TakeOverFile(log, FileOf(Track({kMorning + 60, kMorning + 70})), ui),
            FileTakeOver::Refused);
  EXPECT_EQ(log.points, Track({kMorning, kMorning + 60}));
  EXPECT_EQ(log.saved, 1);
  EXPECT_TRUE(log.rawIgc);
  EXPECT_EQ(ui.Boxes(),
            (std::vector<UiEvent>{{UiEventKind::NewTrackLog, "New Track Log", "2024-02-09  10:01:00"},
                                  {UiEventKind::Error, "Append track", "New track overlaps current one"}}));
}

TEST(TakeOverFile, AppendedLogContinuesTheCurrentSegment) {
  ScriptedUi ui;
  ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
  TrackLog log;
  log.points = Track({kMorning, kMorning + 60});
  log.source.timeIsUtc = 1;
  EXPECT_EQ(TakeOverFile(log, FileOf(Track({kMorning + 61, kMorning + 70}), true), ui),
            FileTakeOver::Appended);
  EXPECT_EQ(log.points, (std::vector<TrackPoint>{PointAt(kMorning, 1), PointAt(kMorning + 60),
                                                 PointAt(kMorning + 61), PointAt(kMorning + 70)}));
  EXPECT_EQ(log.source.timeIsUtc, 1);
  // The joined log's signature is not the file's.
  EXPECT_EQ(ui.LastStatus(), "4 positions read");
}

TEST(TakeOverFile, AppendingToALocalTimeLogGivesLocalTime) {
  ScriptedUi ui;
  ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
  TrackLog log;
  log.points = Track({kMorning});
  log.source.timeIsUtc = 0;
  EXPECT_EQ(TakeOverFile(log, FileOf(Track({kMorning + 61})), ui), FileTakeOver::Appended);
  EXPECT_EQ(log.source.timeIsUtc, 0);
}

}  // namespace
}  // namespace logwell
