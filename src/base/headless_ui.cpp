#include "base/headless_ui.h"

#include <algorithm>

namespace logwell {

HeadlessUi::HeadlessUi(std::FILE* out, std::FILE* err, bool quiet)
    : out_(out), err_(err), quiet_(quiet) {}

void HeadlessUi::Print(std::FILE* stream, std::string_view caption, std::string_view text) {
  const std::string cutCaption = CutBoxText(caption);
  // The details below a message go on lines of their own, indented under it.
  std::string cutText = CutBoxText(text);
  for (std::size_t at = cutText.find("\r\n"); at != std::string::npos; at = cutText.find("\r\n", at)) {
    cutText.replace(at, 2, "\n  ");
  }
  std::lock_guard lock(mutex_);
  if (cutCaption.empty()) {
    std::fprintf(stream, "%s\n", cutText.c_str());
  } else {
    std::fprintf(stream, "%s: %s\n", cutCaption.c_str(), cutText.c_str());
  }
  std::fflush(stream);
}

void HeadlessUi::ShowErrorBox(std::string_view text, std::string_view caption) {
  Print(err_, caption, text);
}

void HeadlessUi::ShowFileError(std::string_view text, std::string_view caption,
                               std::string_view path, int errorNumber) {
  const std::string line =
      CutBoxText(caption) + ": " + CutBoxText(text) + ": " + FileErrorDetail(path, errorNumber);
  std::lock_guard lock(mutex_);
  std::fprintf(err_, "%s\n", line.c_str());
  std::fflush(err_);
}

void HeadlessUi::ShowInfoBox(std::string_view text, std::string_view caption) {
  Print(out_, caption, text);
}

Answer HeadlessUi::AskOkCancel(std::string_view, std::string_view, Answer unattended) {
  return unattended;
}

Answer HeadlessUi::AskYesNo(std::string_view, std::string_view, Answer unattended) {
  return unattended;
}

Answer HeadlessUi::AskYesNoCancel(std::string_view, std::string_view, Answer unattended) {
  return unattended;
}

// Status and product lines are printed whole: in a script's log they name the files written,
// and a path cut at a window's line length names no file.
void HeadlessUi::ShowStatus(std::string_view text) {
  if (quiet_ || text.empty()) return;
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

void HeadlessUi::ShowProduct(std::string_view text) { ShowStatus(text); }

std::optional<std::vector<int>> HeadlessUi::ChooseFromList(const ListChoice& choice) {
  if (choice.lines.empty()) return std::nullopt;
  // Nobody can choose: the line the chooser opens with stands, as OK would take it. (Taking
  // every line of a Track List would merge the flights of different days into one log.)
  const int last = static_cast<int>(choice.lines.size()) - 1;
  return std::vector<int>{std::clamp(choice.preselected, 0, last)};
}

NewTrackLogChoice HeadlessUi::AskNewTrackLog(const NewTrackLogForm&) {
  return NewTrackLogChoice::Overwrite;
}

bool HeadlessUi::EditIgcFileFormat(IgcFileFormatForm& form) { return Ui::EditIgcFileFormat(form); }

std::optional<std::string> HeadlessUi::ChooseSaveFile(const SaveFileChoice& choice) {
  return Ui::ChooseSaveFile(choice);
}

}  // namespace logwell
