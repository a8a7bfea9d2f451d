#pragma once
// Reading all tracks (protocol type 11): every selected track is downloaded, analysed and put
// into one Google Earth file with a folder per flight, for upload to a web logbook.
#include "devices/flytec/flytec_protocol.h"

namespace logwell::flytec {

// Product data, track list, selection, then each track; ends with the save of the file. The
// result is always -1: the downloaded tracks never replace the current track log.
int RunReadAllTracks(AccessBlock& block, const FamilyEnvironment& context);

}  // namespace logwell::flytec
