#include "support/scripted_ui.h"

namespace logwell::testing {

void ScriptedUi::ScriptAnswer(Answer answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

void ScriptedUi::ScriptChoice(std::optional<std::vector<int>> chosen) {
  std::lock_guard lock(mutex_);
  chosen_.push_back(std::move(chosen));
}

void ScriptedUi::ScriptNewTrackLog(NewTrackLogChoice choice) {
  std::lock_guard lock(mutex_);
  newTrackLog_.push_back(choice);
}

void ScriptedUi::Record(UiEventKind kind, std::string_view caption, std::string_view text) {
  const bool isBox = kind != UiEventKind::Status && kind != UiEventKind::Product;
  std::lock_guard lock(mutex_);
  events_.push_back({kind, isBox ? CutBoxText(caption) : std::string(caption),
                     isBox ? CutBoxText(text) : std::string(text)});
}

Answer ScriptedUi::NextAnswer(Answer unattended) {
  std::lock_guard lock(mutex_);
  if (answers_.empty()) return unattended;
  const Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void ScriptedUi::ShowErrorBox(std::string_view text, std::string_view caption) {
  Record(UiEventKind::Error, caption, text);
}

void ScriptedUi::ShowFileError(std::string_view text, std::string_view caption,
                               std::string_view path, int errorNumber) {
  Record(UiEventKind::Error, caption, text);
  std::lock_guard lock(mutex_);
  fileErrorDetails_.push_back(FileErrorDetail(path, errorNumber));
}

std::vector<std::string> ScriptedUi::FileErrorDetails() const {
  std::lock_guard lock(mutex_);
  return fileErrorDetails_;
}

void ScriptedUi::ShowInfoBox(std::string_view text, std::string_view caption) {
  Record(UiEventKind::Info, caption, text);
}

Answer ScriptedUi::AskOkCancel(std::string_view text, std::string_view caption, Answer unattended) {
  Record(UiEventKind::OkCancel, caption, text);
  return NextAnswer(unattended);
}

Answer ScriptedUi::AskYesNo(std::string_view text, std::string_view caption, Answer unattended) {
  Record(UiEventKind::YesNo, caption, text);
  return NextAnswer(unattended);
}

Answer ScriptedUi::AskYesNoCancel(std::string_view text, std::string_view caption,
                                  Answer unattended) {
  Record(UiEventKind::YesNoCancel, caption, text);
  return NextAnswer(unattended);
}

void ScriptedUi::ShowStatus(std::string_view text) { Record(UiEventKind::Status, {}, text); }

void ScriptedUi::ShowProduct(std::string_view text) { Record(UiEventKind::Product, {}, text); }

std::optional<std::vector<int>> ScriptedUi::ChooseFromList(const ListChoice& choice) {
  Record(UiEventKind::Choice, choice.title, choice.prompt);
  std::lock_guard lock(mutex_);
  choices_.push_back(choice);
  if (chosen_.empty()) return std::nullopt;
  auto chosen = std::move(chosen_.front());
  chosen_.pop_front();
  return chosen;
}

NewTrackLogChoice ScriptedUi::AskNewTrackLog(const NewTrackLogForm& form) {
  Record(UiEventKind::NewTrackLog, "New Track Log", form.newStart);
  std::lock_guard lock(mutex_);
  if (newTrackLog_.empty()) return NewTrackLogChoice::Cancel;
  const NewTrackLogChoice choice = newTrackLog_.front();
  newTrackLog_.pop_front();
  return choice;
}

NewTrackLogChoice ScriptedUi::AskExistingFile(std::string_view path) {
  Record(UiEventKind::NewTrackLog, "File already exists", path);
  std::lock_guard lock(mutex_);
  if (newTrackLog_.empty()) return NewTrackLogChoice::Cancel;
  const NewTrackLogChoice choice = newTrackLog_.front();
  newTrackLog_.pop_front();
  return choice;
}

void ScriptedUi::ScriptIgcForm(std::optional<IgcFileFormatForm> form) {
  std::lock_guard lock(mutex_);
  igcForms_.push_back(std::move(form));
}

void ScriptedUi::ScriptSaveFile(std::optional<std::string> path) {
  std::lock_guard lock(mutex_);
  saveFiles_.push_back(std::move(path));
}

bool ScriptedUi::EditIgcFileFormat(IgcFileFormatForm& form) {
  Record(UiEventKind::IgcForm, form.rawLog ? "Save IGC track log from GPS" : "IGC File Format",
         form.flightNumber);
  std::lock_guard lock(mutex_);
  shownIgcForms_.push_back(form);
  if (igcForms_.empty() || !igcForms_.front()) {
    if (!igcForms_.empty()) igcForms_.pop_front();
    return false;
  }
  form = *igcForms_.front();
  igcForms_.pop_front();
  return true;
}

std::optional<std::string> ScriptedUi::ChooseSaveFile(const SaveFileChoice& choice) {
  Record(UiEventKind::SaveFile, choice.title, choice.suggestedName);
  std::lock_guard lock(mutex_);
  if (saveFiles_.empty()) return std::nullopt;
  auto path = std::move(saveFiles_.front());
  saveFiles_.pop_front();
  return path;
}

std::vector<IgcFileFormatForm> ScriptedUi::ShownIgcForms() const {
  std::lock_guard lock(mutex_);
  return shownIgcForms_;
}

std::vector<UiEvent> ScriptedUi::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<UiEvent> ScriptedUi::Boxes() const {
  std::lock_guard lock(mutex_);
  std::vector<UiEvent> boxes;
  for (const UiEvent& e : events_) {
    if (e.kind != UiEventKind::Status && e.kind != UiEventKind::Product &&
        e.kind != UiEventKind::IgcForm && e.kind != UiEventKind::SaveFile) {
      boxes.push_back(e);
    }
  }
  return boxes;
}

std::vector<std::string> ScriptedUi::StatusTexts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const UiEvent& e : events_) {
    if (e.kind == UiEventKind::Status) texts.push_back(e.text);
  }
  return texts;
}

std::string ScriptedUi::LastStatus() const {
  const auto texts = StatusTexts();
  return texts.empty() ? std::string() : texts.back();
}

std::vector<ListChoice> ScriptedUi::Choices() const {
  std::lock_guard lock(mutex_);
  return choices_;
}

void ScriptedUi::Clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
  fileErrorDetails_.clear();
  choices_.clear();
}

}  // namespace logwell::testing
