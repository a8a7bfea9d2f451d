#pragma once
// The Garmin transfers over the serial packet link, one packet at a time: every packet sent
// waits for its acknowledge, every data packet received is acknowledged before the next
// receive. Each step returns 0 (or a count) on success and -1 after its failure was shown.
#include <string_view>
#include <vector>

#include "devices/family.h"
#include "devices/garmin/garmin_link.h"
#include "model/waypoint.h"

namespace logwell::garmin {

// One access: the link and the capability record learnt from the product data.
struct Session {
  explicit Session(AccessBlock& block) : link(block) {}
  SerialLink link;
  Capabilities caps;
  AccessBlock& Block() { return link.Block(); }
};

// Product data, then the protocol array (or the built-in table), then the capability check.
int RequestProductData(Session& session);

// The track log into block.points; the number of points, or -1 (nothing is left in the block).
int DownloadTrackLog(Session& session, const FamilyEnvironment& environment);

// The waypoints into block.waypoints, or, with `scanOnly`, each handed to the competition
// identity scan. The number received, or -1.
int DownloadWaypoints(Session& session, const FamilyEnvironment& environment, bool scanOnly);

// block.waypoints to the receiver. 0 or -1.
int UploadWaypoints(Session& session, const FamilyEnvironment& environment);

// The positions of `points` as one track log named `name` (or the first point's identifier
// when empty); `ctrNumber` 0 for a plain track, else the CTR's number in the list. 0 or -1.
int UploadTrackLog(Session& session, const FamilyEnvironment& environment, const std::vector<Waypoint>& points,
                   int ctrNumber, std::string_view name);

// A track header as D310 (whatever the receiver's header type): displayed, colour 0, the name
// (at most 50 characters) as a NUL-terminated string.
std::vector<std::uint8_t> TrackHeaderData(std::string_view name);

// Whether the receiver is switched off after a track log download or a waypoint upload.
bool PowerOffAfterTransfer(const FamilyEnvironment& environment);

}  // namespace logwell::garmin
