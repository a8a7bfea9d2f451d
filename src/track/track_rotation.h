#pragma once
// Turning a track about a point on the ground, as the "Rotate Track" command does.
//
// The positions are laid flat on the local transverse Mercator about the meridian of the
// centre, turned there about the centre and taken back. The projection is conformal and has the
// same scale along the centre's meridian, so every position keeps its distance from the centre
// to within (d/R)^2/6 of it (R the earth's radius): a few millimetres at 10 km, half a metre at
// 50 km. Times, heights and segment marks are kept.
#include <span>

#include "geo/units.h"
#include "model/track_point.h"

namespace logwell {

// The middle of the positions' bounding box (longitudes taken the short way round from the
// first position, so that a track over the 180th meridian has its middle there too).
SemicirclePoint TrackCentre(std::span<const TrackPoint> points);

// Turns the positions clockwise (seen from above, north up) by `degrees` about `centre`: every
// course seen from the centre grows by the angle. Whole turns change nothing at all.
void RotatePositions(std::span<TrackPoint> points, SemicirclePoint centre, double degrees);

}  // namespace logwell
