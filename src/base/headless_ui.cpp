#include "base/headless_ui.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

#include "base/text.h"

namespace logwell {

namespace {

// The whole number that starts at `at`, or nothing; `at` moves past it.
std::optional<long long> NumberAt(std::string_view text, std::size_t& at) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (error != std::errc() || value < 0) return std::nullopt;
  at = static_cast<std::size_t>(end - text.data());
  return value;
}

// The text with each run of digits as one '#': texts of the same shape report the same thing.
std::string ShapeOf(std::string_view text) {
  std::string shape;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (std::isdigit(static_cast<unsigned char>(text[at])) == 0) {
      shape += text[at];
    } else if (shape.empty() || shape.back() != '#') {
      shape += '#';
    }
  }
  return shape;
}

}  // namespace

std::optional<ProgressCounts> ProgressOf(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (std::isdigit(static_cast<unsigned char>(text[at])) == 0) continue;
    if (at > 0 && std::isdigit(static_cast<unsigned char>(text[at - 1])) != 0) continue;
    std::size_t next = at;
    const auto done = NumberAt(text, next);
    if (!done || text.substr(next, 4) != " of ") continue;
    next += 4;
    const auto total = NumberAt(text, next);
    if (total && *total > 0) return ProgressCounts{std::min(*done, *total), *total};
  }
  return std::nullopt;
}

HeadlessUi::HeadlessUi(std::FILE* out, std::FILE* err, bool quiet)
    : out_(out), err_(err), quiet_(quiet), terminal_(out != nullptr && ::isatty(::fileno(out)) != 0) {}

void HeadlessUi::Print(std::FILE* stream, std::string_view caption, std::string_view text) {
  const std::string cutCaption = CutBoxText(caption);
  // The details below a message go on lines of their own, indented under it.
  std::string cutText = CutBoxText(text);
  for (std::size_t at = cutText.find("\r\n"); at != std::string::npos; at = cutText.find("\r\n", at)) {
    cutText.replace(at, 2, "\n  ");
  }
  std::lock_guard lock(mutex_);
  lastIsStatus_ = false;
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
  lastIsStatus_ = false;
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
  std::string shape = terminal_ ? ShapeOf(text) : std::string();
  std::string line;
  if (terminal_ && lastIsStatus_ && shape == lastShape_) {
    // The same report with new numbers: back up one line, rewrite it with the share done,
    // clear what an earlier longer text left. Every line still ends, so that whatever else
    // writes to the terminal starts on a line of its own.
    line = "\x1b[1A\r" + std::string(text);
    if (const auto progress = ProgressOf(text)) {
      line += FormatText("  %lld%%", progress->done * 100 / progress->total);
    }
    line += "\x1b[K";
  } else {
    line = std::string(text);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
  lastIsStatus_ = terminal_;
  lastShape_ = std::move(shape);
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
