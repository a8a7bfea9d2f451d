#include "waypoints/waypoint_list.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

Waypoint Make(const char* id, std::int32_t altitude, const char* description = "") {
  Waypoint w;
  w.SetId(id);
  w.SetDescription(description);
  w.altitude = altitude;
  return w;
}

std::string Ids(const WaypointList& list) {
  std::string ids;
  for (const Waypoint& w : list.Records()) ids += std::string(w.Id()) + " ";
  return ids;
}

TEST(WaypointList, InsertingAnExistingIdAsksOncePerMatch) {
  ScriptedUi ui;
  WaypointList list;
  ASSERT_EQ(list.Insert(Make("HOME", 100), ui), 0);
  ASSERT_EQ(list.Insert(Make("HOME", 200), ui), 0);  // No (script empty: unattended No)
  EXPECT_EQ(ui.Boxes().size(), 1u);
  ASSERT_EQ(list.Insert(Make("HOME", 300), ui), 0);  // asked for both existing records
  ASSERT_EQ(list.Count(), 3u);
  const auto boxes = ui.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].kind, UiEventKind::YesNo);
  EXPECT_EQ(boxes[2].caption, "Insert waypoint");
  EXPECT_EQ(boxes[2].text, "Waypoint HOME already exists, overwrite ?");

  ui.ScriptAnswer(Answer::No);
  ui.ScriptAnswer(Answer::Yes);  // overwrite the second HOME, the third is not asked about
  ASSERT_EQ(list.Insert(Make("HOME", 999), ui), 0);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.Records()[1].altitude, 999);
  EXPECT_EQ(list.Records()[2].altitude, 300);
  EXPECT_EQ(ui.Boxes().size(), 5u);
}

TEST(WaypointList, SortTogglesDirectionAndIsStable) {
  ScriptedUi ui;
  WaypointList list;
  list.Replace({Make("C", 300, "z"), Make("A", 100, "first"), Make("B", 100, "second"),
                Make("D", 50, "a")});
  ASSERT_EQ(list.Sort(WaypointSortKey::Altitude, ui), 0);
  EXPECT_EQ(Ids(list), "D A B C ");
  ASSERT_EQ(list.Sort(WaypointSortKey::Altitude, ui), 0);  // already ascending: descending
  EXPECT_EQ(Ids(list), "C A B D ");                         // equal heights keep their order
  ASSERT_EQ(list.Sort(WaypointSortKey::Id, ui), 0);
  EXPECT_EQ(Ids(list), "A B C D ");
  ASSERT_EQ(list.Sort(WaypointSortKey::Id, ui), 0);
  EXPECT_EQ(Ids(list), "D C B A ");
  ASSERT_EQ(list.Sort(WaypointSortKey::Name, ui), 0);
  EXPECT_EQ(Ids(list), "D A B C ");
  EXPECT_TRUE(ui.Boxes().empty());

  list.Replace({Make("A", 1)});
  EXPECT_EQ(list.Sort(WaypointSortKey::Id, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "No waypoints");
  EXPECT_EQ(ui.Boxes().back().caption, "Sort waypoints");
}

TEST(WaypointList, IdSortComparesUnsignedBytes) {
  ScriptedUi ui;
  WaypointList list;
  list.Replace({Make("\xC4X", 0), Make("ZZ", 0), Make("AA", 0)});
  list.Sort(WaypointSortKey::Id, ui);
  EXPECT_EQ(Ids(list), "AA ZZ \xC4X ");
}

TEST(WaypointList, DeleteSelectedKeepsOrderAndReportsEmptyCases) {
  ScriptedUi ui;
  WaypointList list;
  std::vector<std::size_t> selection;
  EXPECT_EQ(list.DeleteSelected(selection, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "No waypoints in list");
  list.Replace({Make("A", 0), Make("B", 0), Make("C", 0), Make("D", 0)});
  EXPECT_EQ(list.DeleteSelected(selection, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "No waypoint selected");
  EXPECT_EQ(ui.Boxes().back().caption, "Delete waypoint(s)");
  selection = {3, 1, 17};
  EXPECT_EQ(list.DeleteSelected(selection, ui), 2);
  EXPECT_EQ(Ids(list), "A C ");
}

TEST(WaypointList, EditNeedsASelectedRow) {
  ScriptedUi ui;
  WaypointList list;
  std::vector<std::size_t> selection{2, 1};
  EXPECT_FALSE(list.RowToEdit(selection, ui));
  list.Replace({Make("A", 0), Make("B", 0), Make("C", 0)});
  EXPECT_EQ(list.RowToEdit(selection, ui), 1u);
  EXPECT_EQ(ui.Boxes().back().caption, "Edit waypoint");
}

TEST(WaypointList, CollectSelectedAppliesNameModes) {
  WaypointList list;
  list.Replace({Make("HOME", 0, "Home field"), Make("TOP", 0, ""),
                Make("LONGID", 0, "A description of exactly forty chars...")});
  std::vector<std::size_t> all{2, 0, 1};
  struct Case {
    NameMode mode;
    std::vector<std::string> descriptions;
  };
  const Case cases[] = {
      {NameMode::Unchanged, {"Home field", "", "A description of exactly forty chars..."}},
      {NameMode::OnlyName, {"Home field", "TOP", "A description of exactly forty chars..."}},
      {NameMode::IdAndName, {"HOME Home field", "TOP ", "LONGID A description of exactly forty ch"}},
      {NameMode::OnlyId, {"HOME", "TOP", "LONGID"}},
  };
  for (const Case& c : cases) {
    const auto collected = list.CollectSelected(all, c.mode);
    ASSERT_EQ(collected.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(collected[i].Description(), c.descriptions[i]) << static_cast<int>(c.mode);
      EXPECT_EQ(collected[i].Id(), list.Records()[i].Id());
    }
  }
}

TEST(WaypointList, CommandChecks) {
  ScriptedUi ui;
  EXPECT_FALSE(CheckWaypointCommand(true, true, "New waypoint", ui));
  EXPECT_EQ(ui.Boxes().back().text, "Busy GPS driver");
  EXPECT_FALSE(CheckWaypointCommand(false, false, "New waypoint", ui));
  EXPECT_EQ(ui.Boxes().back().text, "Incorrect view mode");
  EXPECT_TRUE(CheckWaypointCommand(false, true, "New waypoint", ui));
}

}  // namespace
}  // namespace logwell
