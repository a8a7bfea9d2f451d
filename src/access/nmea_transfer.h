#pragma once
// Transfers of NMEA-style sentences that announce their length: a first sentence carries the
// count of the items that follow, so that a transfer that breaks off is never taken for a whole
// one. Also the product scan's search for one answer sentence among the bytes that arrived.
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "access/access_block.h"
#include "access/connect.h"

namespace logwell {

struct CountedTransfer {
  std::chrono::milliseconds silence{3000};  // the transfer has ended when the line is this quiet
  std::size_t maxLength = 120;              // longer sentences are dropped
  std::size_t maxFields = 20;
  bool requireChecksum = false;  // a sentence without "*CS" counts as damaged ("E205 Bad checksum")
  std::string_view caption;  // of the message boxes
  std::string_view items;    // "points", "waypoints": for "Transfer incomplete (%d of %d %s)"
  // The count in the opening sentence, or nothing when it is not one.
  std::function<std::optional<int>(std::span<const std::string_view>)> count;
  // One further sentence: counts the items it completes in `received`; a fault text stops.
  std::function<std::optional<std::string>(std::span<const std::string_view>, int& received)> item;
};

// Reads a counted transfer from the block's port. Shows each failure under the caption: "E205
// Bad checksum", "Unsupported record …" for an opening sentence that is no count, the item's
// fault, "No valid response from GPS", "Transfer incomplete (%d of %d %s)", "COM port read
// error"; an abort shows nothing. The items received, or -1.
int ReadCountedTransfer(AccessBlock& block, const CountedTransfer& transfer);

using NmeaFields = std::span<const std::string_view>;

// One question and its answer sentence, as the product-data step asks: sends `request`, then
// reads sentences (good or absent checksum) for up to `window` until `isAnswer` picks one, and
// hands that to `parse` (a fault text, or nothing). 1 when the answer came and parsed, 0 when
// none came in the window (to ask again), -1 after an abort or a shown failure: "COM port write
// error" (caption "Requesting GPS product data"), "COM port read error" or the parser's fault
// under `caption`.
int RequestNmeaAnswer(AccessBlock& block, std::string_view request, std::chrono::milliseconds window,
                      std::size_t maxLength, std::size_t maxFields, std::string_view caption,
                      const std::function<bool(NmeaFields)>& isAnswer,
                      const std::function<std::optional<std::string>(NmeaFields)>& parse);

// Sends waypoint sentences that the instrument does not answer, pausing `pause` after each:
// "Waypoint %d sent" as status and "Sent wpt %d/%d" to `notify` (where given) as each goes, "%d
// waypoints sent" at the end. 0, or -1 after an abort or a shown write failure ("E304 COM port
// write error").
int SendWaypointSentences(AccessBlock& block, const std::vector<std::string>& sentences,
                          std::chrono::milliseconds pause, std::string_view caption,
                          const std::function<void(std::string_view)>& notify);

// The first complete sentence with a good checksum that begins with `prefix` (such as
// "$PMLR,24,") among `bytes`, without its checksum and line end; nothing when none came.
std::optional<std::string> FindNmeaSentence(std::string_view bytes, std::string_view prefix, std::size_t maxLength);

}  // namespace logwell
