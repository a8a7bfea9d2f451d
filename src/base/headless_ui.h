#pragma once
// The Ui of logwell-cli and of hidden unattended runs: nobody is there to answer, so no box is
// shown. Errors go to stderr, information and status texts to stdout, and every question
// takes the answer its caller documents for an unattended run.
#include <cstdio>
#include <mutex>

#include "base/ui.h"

namespace logwell {

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
};

}  // namespace logwell
