#pragma once
// The Ui of logwell-cli and of hidden unattended runs: nobody is there to answer, so no box is
// shown. Errors go to stderr, information and status texts to stdout, and every question
// takes the answer its caller documents for an unattended run.
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/ui.h"

namespace logwell {

// On a terminal a status text that differs from the one just before only in its numbers (a
// transfer's "Track position 5 of 1202 (0m 1s)", then "... 10 of 1202 ...") rewrites that line
// in place, with the share done where the text names a total ("n of m"); to a file or pipe every
// status text is a line of its own.
class HeadlessUi final : public Ui {
 public:
  // quiet: status and product lines are not printed (information and errors still are).
  explicit HeadlessUi(std::FILE* out = stdout, std::FILE* err = stderr, bool quiet = false);

  void ShowErrorBox(std::string_view text, std::string_view caption) override;
  // The whole path and reason follow the cut text: a script's log must name the file.
  void ShowFileError(std::string_view text, std::string_view caption, std::string_view path,
                     int errorNumber = 0) override;
  void ShowInfoBox(std::string_view text, std::string_view caption) override;
  Answer AskOkCancel(std::string_view text, std::string_view caption, Answer unattended) override;
  Answer AskYesNo(std::string_view text, std::string_view caption, Answer unattended) override;
  Answer AskYesNoCancel(std::string_view text, std::string_view caption,
                        Answer unattended) override;
  void ShowStatus(std::string_view text) override;
  void ShowProduct(std::string_view text) override;
  // Unattended runs take the line the chooser opens with (its preselected line).
  std::optional<std::vector<int>> ChooseFromList(const ListChoice& choice) override;
  // Unattended runs replace the current log.
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm& form) override;
  // Unattended runs take the form as filled in by the caller and the suggested file name.
  bool EditIgcFileFormat(IgcFileFormatForm& form) override;
  std::optional<std::string> ChooseSaveFile(const SaveFileChoice& choice) override;

 private:
  void Print(std::FILE* stream, std::string_view caption, std::string_view text);

  std::mutex mutex_;
  std::FILE* out_;
  std::FILE* err_;
  bool quiet_;
  bool terminal_ = false;      // out_ is a terminal
  bool lastIsStatus_ = false;  // the terminal's last line is a status text of this Ui
  std::string lastShape_;      // that text with each run of digits as '#'
};

// The counts of a status text's "n of m" ("Track position 5 of 1202 (0m 1s)": 5 and 1202), or
// nothing where it names none.
struct ProgressCounts {
  long long done = 0;
  long long total = 0;
};
std::optional<ProgressCounts> ProgressOf(std::string_view text);

}  // namespace logwell
