#pragma once
// The Flytec/Brauniger cells of the access table: protocol type 4 (read and write waypoints,
// read track log, upload and read CTR, read flight list) and protocol type 11 (all tracks).
#include <chrono>
#include <span>
#include <string>

#include "access/access_table.h"
#include "devices/flytec/flytec_protocol.h"

namespace logwell::flytec {

// Every worker opens the port at 57600 baud with XON/XOFF in both directions.
bool OpenFlytecPort(AccessBlock& block);

// A table cell's worker for a family on a serial line: opens the port at `baudRate` (with or
// without XON/XOFF), then runs `steps` with a copy of `context` in the worker frame. The
// families that build on this one's track list use it too.
AccessWorker SerialWorker(const FamilyEnvironment& context,
                          int (*steps)(AccessBlock&, const FamilyEnvironment&), bool clearTrace,
                          int baudRate, bool xonXoff);

// The protocol steps of each worker (after the port is open).
int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunReadCtr(AccessBlock& block, const FamilyEnvironment& context);
int RunUploadCtr(AccessBlock& block, const FamilyEnvironment& context);

// Fills the family's cells. `context` is copied into each worker. False when a cell was
// already taken.
bool RegisterFlytecWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::flytec
