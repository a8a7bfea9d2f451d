#pragma once
// The OLC claim file: the pilot's entries, checked in the order the form shows them, the claim
// text with its five points, and the file, optionally followed by the flight's IGC log.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "optimise/olc.h"

namespace logwell {

class Ui;

inline constexpr std::string_view kClaimCaption = "User information input";

// The form's fields as entered.
struct OlcClaimForm {
  std::string firstName, lastName, birthDate, gliderType, callSign, startPlace;
  int classIndex = -1;   // position in OlcClasses(); -1 when nothing is chosen
  int regionIndex = 0;   // position in OlcRegions(); 0 is "   Unknown"
  std::string flightNumber;  // "(1-35)"
  bool longFileName = true;
  bool addEnl = false;
};

// The checked entries.
struct OlcClaimEntries {
  std::string firstName, lastName, birthDate, gliderType, callSign, startPlace;
  int classNumber = 0;
  std::string regionCode;
  int flightNumber = 0;
  bool longFileName = true;
  bool addEnl = false;
};

// Checks the form; shows the first fault's message (caption "User information input") and
// gives nothing, or gives the entries with the birth date rewritten as "%02d.%02d.%02d".
std::optional<OlcClaimEntries> CheckClaimForm(const OlcClaimForm& form, Ui& ui);

// The IGC file name of the claim, without its extension.
std::string ClaimIgcFileName(const OlcSource& source, GarminTime firstFix, const OlcClaimEntries& entries);

// Letters, digits and ! $ & ( ) * + , - . _ stay; every other byte becomes %XX.
std::string PercentEncode(std::string_view text);

// The claim text.
std::string BuildClaimText(const OlcComputation& computation, const OlcClaimEntries& entries);

// "Save OLC only" (withIgc false) and "Save with IGC": only once the computation completed.
// Asks for the file (".olc" added when the name has no extension), writes it in one piece and
// reports the outcome. Returns true when the file was written.
bool SaveClaimFile(const OlcComputation& computation, const OlcClaimEntries& entries,
                   bool withIgc, Ui& ui);

}  // namespace logwell
