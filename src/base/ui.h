#pragma once
// Everything the program shows a person goes through this interface: message boxes, the status
// and product lines, and the choosers. The Qt window, the headless command line and the tests
// each provide one implementation. Workers call it from their own threads; an implementation
// returns only once the text has been shown or the question answered.
#include <optional>
#include <string>
#include <string>
#include <string_view>
#include <vector>

namespace logwell {

enum class Answer { Ok, Cancel, Yes, No };

// Captions and texts of message boxes are cut to this many characters; the lines after the first
// line of a text (its details: a file and its reason, what an error code means) are not cut.
inline constexpr std::size_t kMaxBoxTextLength = 99;
std::string CutBoxText(std::string_view text);
// "path" or "path: reason" for an errno value (0: no reason).
std::string FileErrorDetail(std::string_view path, int errorNumber);

// A list of lines from which the user picks one or several (the Track List dialogs, the split
// pieces, the track chooser of multi-track files, the pilot chooser).
struct ListChoice {
  std::string title;
  std::string prompt;      // text above the list, may be empty
  std::string header;      // column header line, may be empty
  std::string footnote;    // static text below the list, may be empty
  std::vector<std::string> lines;
  bool multiple = false;   // several lines may be chosen
  bool allButton = false;  // offers "&All", which chooses every line
  int preselected = 0;     // line selected when the chooser opens
};

// The three choices of the "New Track Log" dialog when a file is read while a log exists.
enum class NewTrackLogChoice { Overwrite, Append, Cancel };
struct NewTrackLogForm {
  std::string currentStart, currentEnd, currentDuration;  // "%d-%02d-%02d  %02d:%02d:%02d", "%02d:%02d:%02d"
  std::string newStart, newEnd, newDuration;
};

// The "IGC File Format" form of "Save log in &IGC format", and its short variant "Save IGC
// track log from GPS" (`rawLog`), which shows only the flight number and the name style.
struct IgcFileFormatForm {
  bool rawLog = false;
  std::string pilot;             // "&Pilot", up to 80 characters
  std::string flightNumber;      // "&Flight # (1-35)", up to 10
  std::string serial;            // "FR serial no.", 3 letters or digits
  std::string gliderType;        // "&Glider Type", up to 80
  std::string gliderId;          // "Glider &ID", up to 80
  std::string site;              // "&Site", up to 80
  std::string competitionClass;  // "&Class", up to 80
  bool longFileName = false;     // "Save with IGC long file name"; at most one of the two is set
  bool shortFileName = false;    // "Save with IGC short file name"
  bool addEnl = false;           // "Add ENL from trk depth"
  bool operator==(const IgcFileFormatForm&) const = default;
};

// A save-file dialog: the chosen path, or nothing when the user cancelled.
struct SaveFileChoice {
  std::string title;          // "Save track log"
  std::string filter;         // "IGC track log files (*.igc)"
  std::string suggestedName;  // may be empty
};

class Ui {
 public:
  virtual ~Ui() = default;

  virtual void ShowErrorBox(std::string_view text, std::string_view caption) = 0;
  virtual void ShowInfoBox(std::string_view text, std::string_view caption) = 0;
  // Each question names the answer that stands when nobody can be asked (a hidden or
  // headless run): the documented answer for that question.
  virtual Answer AskOkCancel(std::string_view text, std::string_view caption,
                             Answer unattended = Answer::Cancel) = 0;
  virtual Answer AskYesNo(std::string_view text, std::string_view caption,
                          Answer unattended = Answer::No) = 0;
  virtual Answer AskYesNoCancel(std::string_view text, std::string_view caption,
                                Answer unattended = Answer::Cancel) = 0;
  // The error box whose text is the system's message for an errno value.
  void ShowSystemError(int errorNumber, std::string_view caption);
  // An error about one file: the operation's own text, then the file and, when `errorNumber`
  // is not 0, the system's reason ("File open error" and "/data/x.igc: No such file or
  // directory"). A box shows the details on a second line; the headless Ui prints them whole.
  virtual void ShowFileError(std::string_view text, std::string_view caption,
                             std::string_view path, int errorNumber = 0);

  // A notice with a "&Skip further notifications" tick box; true when the user ticked it.
  // An implementation without such a box shows an information box and answers false.
  virtual bool ShowSkippableNotice(std::string_view text, std::string_view caption);

  virtual void ShowStatus(std::string_view text) = 0;
  virtual void ShowProduct(std::string_view text) = 0;

  // The indexes of the chosen lines, in list order, or nothing when the user cancelled.
  virtual std::optional<std::vector<int>> ChooseFromList(const ListChoice& choice) = 0;
  virtual NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm& form) = 0;
  // The "File already exists" dialog of the logbook save ("&Overwrite", "&Append", "&Cancel").
  // Where nobody can be asked the existing file is left alone.
  virtual NewTrackLogChoice AskExistingFile(std::string_view /*path*/) {
    return NewTrackLogChoice::Cancel;
  }

  // Shows the form filled with `form`; false when the user cancelled. Where nobody can be
  // asked the form is taken as filled in.
  virtual bool EditIgcFileFormat(IgcFileFormatForm&) { return true; }
  // Where nobody can be asked the suggested name is taken (nothing when there is none).
  virtual std::optional<std::string> ChooseSaveFile(const SaveFileChoice& choice) {
    if (choice.suggestedName.empty()) return std::nullopt;
    return choice.suggestedName;
  }
};

}  // namespace logwell
