#pragma once
// Flytec and Brauniger instruments (5020, 5030, 6020, 6030, Compeo(+), Competino(+), Galileo):
// proprietary NMEA-style "$PBR..." sentences at 57600 baud with XON/XOFF flow control. This
// file holds what every worker of the family shares: the fixed requests, the model table, the
// reading discipline and the product data request.
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "access/access_block.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "devices/family.h"
#include "model/track_point.h"
#include "model/waypoint.h"

namespace logwell::flytec {

inline constexpr int kBaudRate = 57600;

// Requests without fields are fixed strings; each starts with an XON byte so that an
// instrument that has stopped sending after an XOFF starts listening again.
inline constexpr std::string_view kProductRequest = "\x11$PBRSNP,*21\r\n";
inline constexpr std::string_view kTrackListRequest = "\x11$PBRTL,*74\r\n";
inline constexpr std::string_view kWholeMemoryRequest = "\x11$PBRIGC,*21\r\n";
inline constexpr std::string_view kWaypointRequest = "\x11$PBRWPS,*38\r\n";
inline constexpr std::string_view kCtrRequest = "\x11$PBRCTR,*29\r\n";

// "$PBRTR,nn*CS": the index as two characters, '0' + index / 10 and '0' + index % 10.
std::string OneTrackRequest(int index);

// ---- product data and the model table ----

struct ProductData {
  std::string model;     // upper-cased, trimmed, at most 16 characters
  std::string pilot;     // trimmed, at most 40
  std::string serial;    // at most 7
  std::string software;  // at most 6
};

// The display name by substring search, "COMPEO+" before "COMPEO"; "Unknown" for others.
std::string_view DisplayName(std::string_view model);
// True when the model equals one of the nine known names.
bool IsKnownModel(std::string_view model);
// Whether the firmware can list its tracks: some models only above a software version, which
// is compared byte by byte ("1.13" itself does not qualify). False for unknown models.
bool HasTrackList(std::string_view model, std::string_view software);

// Fills model, pilot, serial and software from the fields of a $PBRSNP answer (field 0 is the
// identifier). False when the pilot name is empty.
bool ReadProductFields(std::span<const std::string_view> fields, ProductData& product);

// Requests product data with its retry budget (block.connectSeconds when at least 1, else 30
// seconds; a request every 2 s). On success fills the instrument texts of the block and pauses
// 1000 ms. Returns 0, or -1 after the failure was shown.
int RequestProductData(AccessBlock& block, ProductData& product);

// ---- reading ----

// The family's reader: chunks of 256 bytes, traced as text, without the XON/XOFF bytes the
// instruments send between lines.
ChunkReader InstrumentReader();

// The family's sentences: from "$" to CR, at most `maxLength` characters kept, reported complete
// at the LF that follows.
NmeaLineAssembler SentenceAssembler(std::size_t maxLength);

// Writes a request; false on a write failure (the caller names it).
bool SendText(AccessBlock& block, std::string_view text);


}  // namespace logwell::flytec
