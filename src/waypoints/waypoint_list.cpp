#include "waypoints/waypoint_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

// Byte-wise comparison of two NUL-terminated fields, as unsigned bytes.
int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareByKey(const Waypoint& a, const Waypoint& b, WaypointSortKey key) {
  switch (key) {
    case WaypointSortKey::Id:
      return CompareText(a.Id(), b.Id());
    case WaypointSortKey::Name:
      return CompareText(a.Description(), b.Description());
    case WaypointSortKey::Altitude:
      break;
  }
  if (a.altitude == b.altitude) return 0;
  return a.altitude < b.altitude ? -1 : 1;
}

std::vector<bool> SelectedRows(WaypointSelection selection, std::size_t count) {
  std::vector<bool> selected(count, false);
  for (std::size_t row : selection) {
    if (row < count) selected[row] = true;
  }
  return selected;
}

}  // namespace

Waypoint ApplyNameMode(const Waypoint& waypoint, NameMode mode) {
  Waypoint result = waypoint;
  switch (mode) {
    case NameMode::Unchanged:
      break;
    case NameMode::OnlyName:
      if (waypoint.Description().empty()) result.SetDescription(waypoint.Id());
      break;
    case NameMode::IdAndName:
      result.SetDescription(std::string(waypoint.Id()) + " " + std::string(waypoint.Description()));
      break;
    case NameMode::OnlyId:
      result.SetDescription(waypoint.Id());
      break;
  }
  return result;
}

bool CheckWaypointCommand(bool accessBusy, bool waypointViewShown, std::string_view caption,
                          Ui& ui) {
  if (accessBusy) {
    ui.ShowErrorBox("Busy GPS driver", caption);
    return false;
  }
  if (!waypointViewShown) {
    ui.ShowErrorBox("Incorrect view mode", caption);
    return false;
  }
  return true;
}

int WaypointList::Insert(const Waypoint& waypoint, Ui& ui) {
  for (Waypoint& record : records_) {
    if (record.Id() != waypoint.Id()) continue;
    const std::string question =
        Printf("Waypoint %s already exists, overwrite ?", std::string(waypoint.Id()).c_str());
    if (ui.AskYesNo(question, "Insert waypoint", Answer::No) == Answer::Yes) {
      record = waypoint;
      return 0;
    }
  }
  try {
    if (records_.size() == records_.capacity()) {
      records_.reserve(std::max(kFirstCapacity, records_.capacity() * 2));
    }
    records_.push_back(waypoint);
  } catch (const std::bad_alloc&) {
    ui.ShowSystemError(ENOMEM, "Waypoint memory allocation");
    return -1;
  }
  return 0;
}

void WaypointList::Replace(std::vector<Waypoint> records) { records_ = std::move(records); }

std::optional<std::size_t> WaypointList::RowToEdit(WaypointSelection selection, Ui& ui) const {
  if (records_.empty()) {
    ui.ShowErrorBox("No waypoints in list", "Edit waypoint");
    return std::nullopt;
  }
  const std::vector<bool> selected = SelectedRows(selection, records_.size());
  const auto first = std::find(selected.begin(), selected.end(), true);
  if (first == selected.end()) {
    ui.ShowErrorBox("No waypoint selected", "Edit waypoint");
    return std::nullopt;
  }
  return static_cast<std::size_t>(first - selected.begin());
}

void WaypointList::Update(std::size_t row, const Waypoint& waypoint) {
  if (row < records_.size()) records_[row] = waypoint;
}

int WaypointList::DeleteSelected(WaypointSelection selection, Ui& ui) {
  constexpr std::string_view kCaption = "Delete waypoint(s)";
  if (records_.empty()) {
    ui.ShowErrorBox("No waypoints in list", kCaption);
    return -1;
  }
  const std::vector<bool> selected = SelectedRows(selection, records_.size());
  if (std::find(selected.begin(), selected.end(), true) == selected.end()) {
    ui.ShowErrorBox("No waypoint selected", kCaption);
    return -1;
  }
  std::vector<Waypoint> kept;
  kept.reserve(records_.capacity());
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (!selected[i]) kept.push_back(records_[i]);
  }
  const auto deleted = static_cast<int>(records_.size() - kept.size());
  records_ = std::move(kept);
  return deleted;
}

int WaypointList::Sort(WaypointSortKey key, Ui& ui) {
  if (records_.size() < 2) {
    ui.ShowErrorBox("No waypoints", "Sort waypoints");
    return -1;
  }
  bool ascending = true;
  for (std::size_t i = 1; i < records_.size() && ascending; ++i) {
    ascending = CompareByKey(records_[i - 1], records_[i], key) <= 0;
  }
  // Sorted already: reverse the direction. Swapping only strictly misordered neighbours keeps
  // records with equal keys in their order.
  const int wrongOrder = ascending ? -1 : 1;
  for (std::size_t pass = records_.size(); pass > 1; --pass) {
    for (std::size_t i = 0; i + 1 < pass; ++i) {
      if (CompareByKey(records_[i], records_[i + 1], key) == wrongOrder) {
        std::swap(records_[i], records_[i + 1]);
      }
    }
  }
  return 0;
}

std::vector<Waypoint> WaypointList::CollectSelected(WaypointSelection selection,
                                                    NameMode mode) const {
  const std::vector<bool> selected = SelectedRows(selection, records_.size());
  std::vector<Waypoint> collected;
  collected.reserve(kFirstCollectCapacity);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (selected[i]) collected.push_back(ApplyNameMode(records_[i], mode));
  }
  return collected;
}

}  // namespace logwell
