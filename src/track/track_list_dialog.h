#pragma once
// The choosers that let the user pick which of an instrument's stored tracks to download.
#include <bitset>
#include <span>
#include <string_view>
#include <vector>

#include "base/ui.h"
#include "model/track_types.h"

namespace logwell {

// Bit i set: track i of the instrument's list is to be downloaded.
using TrackSelection = std::bitset<256>;

// The multiple-choice Track List: one line per non-empty entry, newest start first (each line
// keeps its entry's number). `lineEntry` receives, for each line, the index of its entry.
ListChoice BuildTrackListChoice(std::span<const TrackListEntry> entries, std::string_view portName,
                                std::string_view instrumentName, std::vector<int>& lineEntry);
// Shows the Track List and stores the chosen tracks in `selection`. Returns how many were
// chosen; 0 when the user cancelled, and then nothing is to be downloaded.
int ChooseTracks(Ui& ui, std::span<const TrackListEntry> entries, std::string_view portName,
                 std::string_view instrumentName, TrackSelection& selection);

// A track of an instrument that lists its tracks only by number and record count.
struct NumberedTrack {
  int number = 0;
  int records = 0;
};
inline constexpr std::size_t kMaxNumberedTracks = 100;

// The single-choice Track List: the latest track (the last entry) first.
ListChoice BuildSingleTrackChoice(std::span<const NumberedTrack> tracks, std::string_view portName,
                                  std::string_view instrumentName);
// The chosen line's position (0 = the latest track), or -1 when the user cancelled or chose
// nothing.
int ChooseSingleTrack(Ui& ui, std::span<const NumberedTrack> tracks, std::string_view portName,
                      std::string_view instrumentName);

}  // namespace logwell
