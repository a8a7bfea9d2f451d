#pragma once
// A Ui for tests: records every box, status and product text with its caption, and answers
// questions and choosers from a script given in advance. When the script runs dry, a question
// takes its unattended answer and a chooser cancels; the test can check that nothing was asked.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "base/ui.h"

namespace logwell::testing {

enum class UiEventKind { Error, Info, OkCancel, YesNo, YesNoCancel, Status, Product, Choice, NewTrackLog, IgcForm, SaveFile };

struct UiEvent {
  UiEventKind kind;
  std::string caption;
  std::string text;
  bool operator==(const UiEvent&) const = default;
};

class ScriptedUi final : public Ui {
 public:
  void ScriptAnswer(Answer answer);
  void ScriptChoice(std::optional<std::vector<int>> chosen);
  void ScriptNewTrackLog(NewTrackLogChoice choice);
  // The next IGC File Format form as the user leaves it, or nothing for Cancel.
  void ScriptIgcForm(std::optional<IgcFileFormatForm> form);
  // The next save-file dialog's path, or nothing for Cancel.
  void ScriptSaveFile(std::optional<std::string> path);

  void ShowErrorBox(std::string_view text, std::string_view caption) override;
  // Recorded as an error box with the operation's text; the details are kept apart.
  void ShowFileError(std::string_view text, std::string_view caption, std::string_view path,
                     int errorNumber = 0) override;
  // "path" or "path: reason" of each file error, in order.
  std::vector<std::string> FileErrorDetails() const;
  void ShowInfoBox(std::string_view text, std::string_view caption) override;
  Answer AskOkCancel(std::string_view text, std::string_view caption, Answer unattended) override;
  Answer AskYesNo(std::string_view text, std::string_view caption, Answer unattended) override;
  Answer AskYesNoCancel(std::string_view text, std::string_view caption,
                        Answer unattended) override;
  void ShowStatus(std::string_view text) override;
  void ShowProduct(std::string_view text) override;
  std::optional<std::vector<int>> ChooseFromList(const ListChoice& choice) override;
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm& form) override;
  // Answered from the same script as AskNewTrackLog; recorded with caption "File already exists".
  NewTrackLogChoice AskExistingFile(std::string_view path) override;
  // Without a script the form is cancelled, and so is the save-file dialog.
  bool EditIgcFileFormat(IgcFileFormatForm& form) override;
  std::optional<std::string> ChooseSaveFile(const SaveFileChoice& choice) override;
  // The forms as they were shown (filled with the remembered values).
  std::vector<IgcFileFormatForm> ShownIgcForms() const;

  // Everything shown so far, in order.
  std::vector<UiEvent> Events() const;
  // Only the message boxes and questions (no status or product lines, no forms or file dialogs).
  std::vector<UiEvent> Boxes() const;
  std::vector<std::string> StatusTexts() const;
  std::string LastStatus() const;
  // The choosers shown so far, with all their texts.
  std::vector<ListChoice> Choices() const;
  void Clear();

 private:
  void Record(UiEventKind kind, std::string_view caption, std::string_view text);
  Answer NextAnswer(Answer unattended);

  mutable std::mutex mutex_;
  std::vector<UiEvent> events_;
  std::vector<std::string> fileErrorDetails_;
  std::vector<ListChoice> choices_;
  std::deque<Answer> answers_;
  std::deque<std::optional<std::vector<int>>> chosen_;
  std::deque<NewTrackLogChoice> newTrackLog_;
  std::deque<std::optional<IgcFileFormatForm>> igcForms_;
  std::vector<IgcFileFormatForm> shownIgcForms_;
  std::deque<std::optional<std::string>> saveFiles_;
};

}  // namespace logwell::testing
