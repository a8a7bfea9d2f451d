#pragma once
// The pilot list of competition mode: who flies, with the competition ID (the pilot number) and
// the CIVL ID each may have. It is read from a CSV file or from the XML databases of two scoring
// programs (the "Fs" and the "RACE" formats), written as CSV, and shown one line a pilot.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logwell {

class Ui;

inline constexpr std::size_t kMaxPilotNameCharacters = 80;
inline constexpr std::size_t kMaxPilotDeviceCharacters = 50;
inline constexpr std::size_t kPilotDeviceCount = 4;
inline constexpr std::string_view kDecodingPilotListCaption = "Decoding pilot list file";

struct PilotRecord {
  std::string name;          // UTF-8, at most kMaxPilotNameCharacters characters
  std::int32_t civlId = -1;  // -1: none
  std::int32_t compId = -1;  // -1: none
  std::array<std::string, kPilotDeviceCount> devices;  // empty when absent
  bool operator==(const PilotRecord&) const = default;
};

using PilotList = std::vector<PilotRecord>;

inline constexpr std::string_view kWindows1252ListNotice =
    "The pilot list is not UTF-8: read as Windows-1252";

// The pilots of a pilot list file's bytes: CSV when it holds no XML tag, else the format its
// first tag names. Nothing, with the message in `error`, when any part of it is wrong: a list
// is taken whole or not at all. A CSV list is separated by commas, semicolons or tabs (what
// its first line holds most of); a first line beginning with "Name" is the header, which must
// name the columns CompId and CivlId; an ID given twice, or one that is not a number, refuses
// the list with the line. CSV text that is not UTF-8 is read as Windows-1252, and `notice` says
// so.
std::optional<PilotList> ParsePilotList(std::string_view bytes, std::string& error,
                                        std::string* notice = nullptr);

// Reads and parses a pilot list file; failures are shown (caption "Decoding pilot list file").
std::optional<PilotList> ReadPilotListFile(const std::filesystem::path& path, Ui& ui);

// The CSV text of a list, as ParsePilotList reads it back. A field that holds a comma or a
// double quote is written in double quotes.
std::string WritePilotListCsv(const PilotList& pilots);

// Saves a list as CSV: "No pilot list stored" for an empty one, "File already exists,
// overwrite ?" before replacing a file, "File write error" (caption "Save pilot list") when
// the file cannot be written. Returns 0 when written.
int SavePilotListCsv(const PilotList& pilots, const std::filesystem::path& path, Ui& ui);

// "Jane Doe (comp. 17, CIVL 1234)", "Jane Doe (CIVL 1234)", "Jane Doe (comp. 17)" or the name.
std::string PilotDisplayText(const PilotRecord& pilot);

// The pilot a competition ID or CIVL ID names (the CIVL ID first); nothing when neither does.
const PilotRecord* FindPilot(const PilotList& pilots, std::int32_t compId, std::int32_t civlId);

}  // namespace logwell
