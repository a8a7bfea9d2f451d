#include "track/track_list_dialog.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

// 2024-02-09 10:05:03 and 2024-02-10 08:00:00
constexpr GarminTime kFirstStart = 1076407503u;
constexpr GarminTime kSecondStart = 1076486400u;

const std::vector<TrackListEntry> kEntries = {
    {kFirstStart, 2 * 3600 + 3 * 60 + 4},
    {0, 0},  // an empty slot
    {kSecondStart, 59},
};

TEST(TrackList, ListsNonEmptyEntriesNewestFirstWithTheirNumbers) {
  std::vector<int> lineEntry;
  const ListChoice choice = BuildTrackListChoice(kEntries, "/dev/ttyUSB0", "Flytec", lineEntry);
  EXPECT_EQ(choice.title, "Track List (/dev/ttyUSB0, Flytec)");
  EXPECT_EQ(choice.footnote, "Multiple track selection is not available on all GPS types.");
  EXPECT_TRUE(choice.multiple);
  EXPECT_TRUE(choice.allButton);
  EXPECT_EQ(choice.preselected, 0);
  EXPECT_EQ(choice.lines, (std::vector<std::string>{
                              "03   2024-02-10   08:00:00   0:00:59",
                              "01   2024-02-09   10:05:03   2:03:04",
                          }));
  EXPECT_EQ(lineEntry, (std::vector<int>{2, 0}));
}

// Whatever order the instrument lists its flights in, the first line (the one the list opens
// with) is the latest flight.
TEST(TrackList, LatestFlightOpensTheListInEitherOrder) {
  constexpr GarminTime kThirdStart = kSecondStart + 86400;
  const std::vector<TrackListEntry> oldestFirst = {{kFirstStart, 60}, {kSecondStart, 60}, {kThirdStart, 60}};
  const std::vector<TrackListEntry> newestFirst = {{kThirdStart, 60}, {kSecondStart, 60}, {kFirstStart, 60}};
  const std::vector<TrackListEntry> mixed = {{kSecondStart, 60}, {kThirdStart, 60}, {0, 0}, {kFirstStart, 60}};
  struct Case {
    const std::vector<TrackListEntry>* entries;
    std::vector<int> lineEntry;
  };
  for (const Case& c : {Case{&oldestFirst, {2, 1, 0}}, Case{&newestFirst, {0, 1, 2}}, Case{&mixed, {1, 0, 3}}}) {
    std::vector<int> lineEntry;
    const ListChoice choice = BuildTrackListChoice(*c.entries, "COM1", "Flymaster", lineEntry);
    EXPECT_EQ(lineEntry, c.lineEntry);
    ASSERT_FALSE(choice.lines.empty());
    EXPECT_EQ(choice.lines.front().substr(5, 10), "2024-02-11");
  }
}

TEST(TrackList, ChosenLinesBecomeTheSelectionOfTheirEntries) {
  ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{1});
  ui.ScriptChoice(std::vector<int>{0, 1, 9});  // a line the list does not have is ignored
  ui.ScriptChoice(std::nullopt);
  TrackSelection selection;

  EXPECT_EQ(ChooseTracks(ui, kEntries, "COM1", "Flytec", selection), 1);
  EXPECT_EQ(selection, TrackSelection().set(0));
  EXPECT_EQ(ChooseTracks(ui, kEntries, "COM1", "Flytec", selection), 2);
  EXPECT_EQ(selection, TrackSelection().set(0).set(2));
  EXPECT_EQ(ChooseTracks(ui, kEntries, "COM1", "Flytec", selection), 0);
  EXPECT_TRUE(selection.none());
}

TEST(SingleTrackList, ListsTheLatestTrackFirst) {
  const std::vector<NumberedTrack> tracks = {{1, 120}, {2, 3456}, {3, 7}};
  const ListChoice choice = BuildSingleTrackChoice(tracks, "COM3", "MLR");
  EXPECT_EQ(choice.title, "Track List (COM3, MLR)");
  EXPECT_EQ(choice.prompt, "Select a track (latest first)");
  EXPECT_EQ(choice.header, "No.         Records");
  EXPECT_FALSE(choice.multiple);
  EXPECT_EQ(choice.preselected, 0);
  EXPECT_EQ(choice.lines,
            (std::vector<std::string>{"003       7", "002       3456", "001       120"}));
}

TEST(SingleTrackList, KeepsTheLatestHundredTracks) {
  std::vector<NumberedTrack> tracks;
  for (int i = 1; i <= 150; ++i) tracks.push_back({i, i * 10});
  const ListChoice choice = BuildSingleTrackChoice(tracks, "COM3", "MLR");
  ASSERT_EQ(choice.lines.size(), 100u);
  EXPECT_EQ(choice.lines.front(), "150       1500");
  EXPECT_EQ(choice.lines.back(), "051       510");
}

TEST(SingleTrackList, ReturnsThePositionOrMinusOne) {
  const std::vector<NumberedTrack> tracks = {{1, 120}, {2, 3456}};
  ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{1});
  ui.ScriptChoice(std::nullopt);
  ui.ScriptChoice(std::vector<int>{});
  EXPECT_EQ(ChooseSingleTrack(ui, tracks, "COM3", "MLR"), 1);
  EXPECT_EQ(ChooseSingleTrack(ui, tracks, "COM3", "MLR"), -1);
  EXPECT_EQ(ChooseSingleTrack(ui, tracks, "COM3", "MLR"), -1);
  const auto boxes = ui.Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back(), (UiEvent{UiEventKind::Error, "Select track", "Dialog box error"}));
}

}  // namespace
}  // namespace logwell
