#include "base/ui.h"

#include <algorithm>
#include <system_error>

namespace logwell {

std::string CutBoxText(std::string_view text) {
  // The message is cut; the lines below it (a file and its reason, what an error code means
  // and what to try) are its details and stay whole.
  const std::size_t lineEnd = text.find("\r\n");
  std::string cut(text.substr(0, std::min(lineEnd, kMaxBoxTextLength)));
  if (lineEnd != std::string_view::npos) cut += text.substr(lineEnd);
  return cut;
}

void Ui::ShowSystemError(int errorNumber, std::string_view caption) {
  ShowErrorBox(std::generic_category().message(errorNumber), caption);
}

std::string FileErrorDetail(std::string_view path, int errorNumber) {
  std::string detail(path);
  if (errorNumber != 0) detail += ": " + std::generic_category().message(errorNumber);
  return detail;
}

void Ui::ShowFileError(std::string_view text, std::string_view caption, std::string_view path,
                       int errorNumber) {
  ShowErrorBox(std::string(text) + "\r\n" + FileErrorDetail(path, errorNumber), caption);
}

bool Ui::ShowSkippableNotice(std::string_view text, std::string_view caption) {
  ShowInfoBox(text, caption);
  return false;
}

}  // namespace logwell
