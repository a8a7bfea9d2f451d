#include "track/track_list_dialog.h"

#include <algorithm>
#include <string>

#include "model/garmin_time.h"
#include "base/text.h"

namespace logwell {
namespace {

std::string TrackListTitle(std::string_view portName, std::string_view instrumentName) {
  return "Track List (" + std::string(portName) + ", " + std::string(instrumentName) + ")";
}

std::string TrackLine(int number, const TrackListEntry& entry) {
  const CalendarTime t = GarminTimeToCalendar(entry.startTime);
  const std::uint32_t d = entry.durationSeconds;
  return FormatText("%02d   %d-%02d-%02d   %02d:%02d:%02d   %d:%02d:%02d", number, t.year,
                    t.month, t.day, t.hour, t.minute, t.second, static_cast<int>(d / 3600),
                    static_cast<int>(d / 60 % 60), static_cast<int>(d % 60));
}

}  // namespace

ListChoice BuildTrackListChoice(std::span<const TrackListEntry> entries, std::string_view portName,
                                std::string_view instrumentName, std::vector<int>& lineEntry) {
  ListChoice choice;
  choice.title = TrackListTitle(portName, instrumentName);
  choice.footnote = "Multiple track selection is not available on all GPS types.";
  choice.multiple = true;
  choice.allButton = true;
  choice.preselected = 0;
  lineEntry.clear();
  // Only 256 tracks fit the selection set.
  const std::size_t count = std::min(entries.size(), TrackSelection().size());
  for (std::size_t i = 0; i < count; ++i) {
    if (entries[i].startTime == 0) continue;  // an empty slot
    lineEntry.push_back(static_cast<int>(i));
  }
  // Newest first by start time, whatever order the instrument lists them in: the line the
  // list opens with (and the one an unattended run takes) is the latest flight.
  std::stable_sort(lineEntry.begin(), lineEntry.end(), [entries](int a, int b) {
    return entries[static_cast<std::size_t>(a)].startTime > entries[static_cast<std::size_t>(b)].startTime;
  });
  for (const int entry : lineEntry) {
    choice.lines.push_back(TrackLine(entry + 1, entries[static_cast<std::size_t>(entry)]));
  }
  return choice;
}

int ChooseTracks(Ui& ui, std::span<const TrackListEntry> entries, std::string_view portName,
                 std::string_view instrumentName, TrackSelection& selection) {
  std::vector<int> lineEntry;
  const ListChoice choice = BuildTrackListChoice(entries, portName, instrumentName, lineEntry);
  selection.reset();
  const auto chosen = ui.ChooseFromList(choice);
  if (!chosen) return 0;
  for (const int line : *chosen) {
    if (line >= 0 && static_cast<std::size_t>(line) < lineEntry.size()) {
      selection.set(static_cast<std::size_t>(lineEntry[static_cast<std::size_t>(line)]));
    }
  }
  return static_cast<int>(selection.count());
}

ListChoice BuildSingleTrackChoice(std::span<const NumberedTrack> tracks, std::string_view portName,
                                  std::string_view instrumentName) {
  ListChoice choice;
  choice.title = TrackListTitle(portName, instrumentName);
  choice.prompt = "Select a track (latest first)";
  choice.header = "No.         Records";
  choice.preselected = 0;
  // Latest first; beyond the limit the oldest tracks are left out, so position 0 is always the
  // latest track.
  for (std::size_t i = tracks.size(); i-- > 0 && choice.lines.size() < kMaxNumberedTracks;) {
    choice.lines.push_back(FormatText("%03d       %d", tracks[i].number, tracks[i].records));
  }
  return choice;
}

int ChooseSingleTrack(Ui& ui, std::span<const NumberedTrack> tracks, std::string_view portName,
                      std::string_view instrumentName) {
  const ListChoice choice = BuildSingleTrackChoice(tracks, portName, instrumentName);
  const auto chosen = ui.ChooseFromList(choice);
  if (!chosen) return -1;
  if (chosen->empty() || chosen->front() < 0 ||
      static_cast<std::size_t>(chosen->front()) >= choice.lines.size()) {
    ui.ShowErrorBox("Dialog box error", "Select track");
    return -1;
  }
  return chosen->front();
}

}  // namespace logwell
