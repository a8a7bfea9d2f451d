#pragma once
// Competition mode as the program runs it: the pilot list held, the pilot of the current
// download, the competition folder and time window, and how a downloaded flight is tied to its
// pilot (by the IDs found on the instrument, or those the command line names).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "competition/competition_save.h"
#include "competition/pilot_list.h"
#include "model/garmin_time.h"

namespace logwell {

class Ui;

struct CompetitionState {
  bool on = false;
  bool special = false;    // the special mode (title ", Comp. mode")
  bool dashNames = false;  // IDs carried as waypoint names made of "-" and the number
  std::optional<PilotList> pilots;
  CompetitionPilot current;  // set by the pilot selection or by the IDs read from the instrument
  std::filesystem::path folder = ".";
  GarminTime windowStart = 0;  // 0: open at that end
  GarminTime windowEnd = 0;
};

// Reads a pilot list file and, when the whole file is good, makes it the list held; a bad
// file leaves the previous list in place. The status line then says "%d pilots registered".
bool LoadPilotList(CompetitionState& state, const std::filesystem::path& file, Ui& ui);

// The command line's COMP_FS (the list is loaded into `state`) and, with a list loaded, COMP_LOG
// switching competition mode on with its special flag.
void AddCompetitionHandlers(CommandLineHandlers& handlers, CompetitionState& state);

struct PilotIdentification {
  std::optional<CompetitionPilot> pilot;
  std::string problem;  // why no pilot was chosen, when none was (to follow "Pilot not identified: ")
};

// The pilot of the list that a competition ID and a CIVL ID (-1: none) name. Every ID given must
// agree with that pilot's record: two IDs that name different pilots, or an ID the pilot's
// record contradicts, choose nobody, so that a flight never lands under a wrong name.
PilotIdentification IdentifyPilot(const PilotList& pilots, std::int32_t compId,
                                  std::int32_t civlId);

}  // namespace logwell
