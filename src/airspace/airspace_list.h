#pragma once
// The commands on the airspace (CTR) list, free of any window: each takes the list, the
// selection held in the records' `selected` fields, and the Ui for its messages. The window
// checks the view mode and that no access runs before it calls them.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/access_types.h"
#include "airspace/airspace_record.h"
#include "airspace/openair_reader.h"
#include "model/waypoint.h"

namespace logwell {

class Ui;

// "&Read CTR(s) from file": reads and parses the file; when the list already holds airspaces,
// "Keep current CTR list ?" puts the new ones in front (Yes) or replaces the list (No). Then
// the duplicate-name fix. The number of airspaces read, or -1 (the list is unchanged).
int ReadAirspaceFileIntoList(AirspaceList& list, const std::filesystem::path& path, Ui& ui,
                             AirspaceSettings& settings);

// After a read: when two airspaces share a name, asks "Fix name by appending number ?" once and
// on Yes appends "(1)", "(2)", ... to each later airspace of the same name. True when it renamed.
bool FixDuplicateNames(AirspaceList& list, Ui& ui);

// The "Edit CTR" dialog's fields.
struct AirspaceEditForm {
  std::string warningDistance = "200";
  std::string text;
};

// The form for "&Edit CTR": the first selected airspace in its commented OpenAir form.
// Nothing after "No CTR in list" or "No CTR selected".
std::optional<AirspaceEditForm> EditFormFor(const AirspaceList& list, Ui& ui);

// The dialog's checks on OK: the warning distance in metres, or nothing after "Missing warning
// distance input", "Bad warning distance format" or "Missing text".
std::optional<int> CheckEditForm(const AirspaceEditForm& form, Ui& ui);

// "&New CTR" after OK: parses the text and appends its airspaces. The number added, or -1.
int AddAirspacesFromForm(AirspaceList& list, const AirspaceEditForm& form, Ui& ui,
                         AirspaceSettings& settings);

// "&Edit CTR" after OK: parses the text and puts its airspaces in place of the first selected
// one. The number of airspaces put in, or -1 (the list is unchanged).
int ReplaceAirspaceFromForm(AirspaceList& list, const AirspaceEditForm& form, Ui& ui,
                            AirspaceSettings& settings);

// "&Delete CTR(s)": the number deleted, or -1 after "No CTR(s) selected".
int DeleteSelectedAirspaces(AirspaceList& list, Ui& ui);

// "&Show CTR as waypoints": the outline points of the first selected airspace, to replace the
// waypoint list; nothing after "No CTR selected".
std::optional<std::vector<Waypoint>> SelectedAirspaceAsWaypoints(const AirspaceList& list,
                                                                  const AirspaceSettings& settings,
                                                                  Ui& ui);

enum class AirspaceFileKind { OpenAir, OpenAirNoArcs, Gpx, WebMap };

// The text of a file of the given kind with the selected airspaces.
std::string MakeAirspaceFileText(const AirspaceList& list, AirspaceFileKind kind,
                                 std::uint32_t accuracy);

// The write commands: the selected airspaces to a file, written atomically. 0, or -1 after
// "No CTR(s) selected" or "File write error".
int WriteSelectedAirspaces(const AirspaceList& list, const std::filesystem::path& path,
                           AirspaceFileKind kind, const AirspaceSettings& settings, Ui& ui);

// The checks before an upload: something selected, and, for an instrument that keeps only the
// first `nameLimit` characters of a name (0: no limit), no two selected names equal over them.
// False after the message.
bool CheckAirspaceUpload(const AirspaceList& list, std::size_t nameLimit, Ui& ui);

// "Set accuracy for segments": the accuracy in metres from the dialog's text, or nothing after
// "Missing input", "Bad input" or "Use 1m or greater" (caption "Set segment error").
std::optional<std::uint32_t> ReadSegmentAccuracy(std::string_view text, Ui& ui);

// The command line's CTR file: read and parsed, every airspace selected for the upload.
std::optional<AirspaceList> ReadAirspacesForUpload(const std::filesystem::path& path, Ui& ui,
                                                   AirspaceSettings& settings);

}  // namespace logwell
