#pragma once
// "Save log for animation in GE": a KML 2.2 document with one gx:Track whose every position
// carries its time, so that Google Earth can replay the flight.
#include <span>
#include <string>

#include "model/track_point.h"

namespace logwell {
class Ui;
}

namespace logwell::kml {

inline constexpr std::string_view kAnimationCaption = "Save track animation file";

// The whole document; the times get a "Z" when they are UTC.
std::string BuildAnimationKml(std::span<const TrackPoint> points, bool timesAreUtc);

struct AnimationSaveContext {
  bool trackLogShown = true;  // the list view shows the track log
  bool accessBusy = false;
};

// Saves the selected positions (at least 2) under a name the user chooses. Returns 0 or -1.
int SaveAnimationFile(std::span<const TrackPoint> selected, bool timesAreUtc,
                      const AnimationSaveContext& context, Ui& ui);

}  // namespace logwell::kml
