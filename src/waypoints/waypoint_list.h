#pragma once
// The waypoint list of the main window and its operations. It is changed only on the window
// thread while no access runs; callers check that before calling (CheckWaypointCommand).
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/ui.h"
#include "model/waypoint.h"

namespace logwell {

// How the single name of a waypoint is formed for instruments that keep one text per waypoint.
enum class NameMode : int {
  Unchanged = 0,  // instruments with separate identifier and comment
  OnlyName = 1,   // "(Only Name)": the description, or the identifier when it is empty
  IdAndName = 2,  // "(ID+Name)": identifier, space, description, cut to 40 characters
  OnlyId = 3,     // "(Only ID)": the identifier
};

// Sort keys of the three sort commands. Names sort by description, byte-wise, so that "Sort
// waypoint names" orders by the text pilots read in the list.
enum class WaypointSortKey : int { Id = 0, Altitude = 1, Name = 2 };

// Rows of the list view that are selected, in any order.
using WaypointSelection = std::span<const std::size_t>;

// The waypoint a record becomes under a name mode.
Waypoint ApplyNameMode(const Waypoint& waypoint, NameMode mode);

// The common checks before a list command: no access running ("Busy GPS driver") and the
// waypoint view shown ("Incorrect view mode"), both with the command's caption.
bool CheckWaypointCommand(bool accessBusy, bool waypointViewShown, std::string_view caption,
                          Ui& ui);

class WaypointList {
 public:
  static constexpr std::size_t kFirstCapacity = 50;
  static constexpr std::size_t kFirstCollectCapacity = 100;

  const std::vector<Waypoint>& Records() const { return records_; }
  std::size_t Count() const { return records_.size(); }
  bool Empty() const { return records_.empty(); }

  // Inserts a waypoint: every record with the same identifier is offered for overwriting in
  // turn ("Waypoint %s already exists, overwrite ?"); Yes overwrites it and ends, otherwise the
  // waypoint is appended. Returns 0, or -1 when memory ran out.
  int Insert(const Waypoint& waypoint, Ui& ui);

  // Replaces the whole list (a download or a file read that does not append).
  void Replace(std::vector<Waypoint> records);

  // The index of the first selected row for the edit command, or nothing after showing "No
  // waypoints in list" or "No waypoint selected" (caption "Edit waypoint").
  std::optional<std::size_t> RowToEdit(WaypointSelection selection, Ui& ui) const;
  // Writes an edited record back to its row.
  void Update(std::size_t row, const Waypoint& waypoint);

  // Deletes the selected records keeping the order of the rest. Returns the number deleted, or
  // -1 after a message.
  int DeleteSelected(WaypointSelection selection, Ui& ui);

  // Bubble sort by the key; a list already in ascending order is put in descending order, so
  // that repeating the command toggles the direction. -1 with "No waypoints" for fewer than two.
  int Sort(WaypointSortKey key, Ui& ui);

  // Copies of the selected records in list order, with the name mode applied.
  std::vector<Waypoint> CollectSelected(WaypointSelection selection, NameMode mode) const;

 private:
  std::vector<Waypoint> records_;
};

}  // namespace logwell
