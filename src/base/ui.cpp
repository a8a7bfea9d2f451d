#include "base/ui.h"

#include <system_error>

namespace logwell {

std::string CutBoxText(std::string_view text) {
  return std::string(text.substr(0, kMaxBoxTextLength));
}

void Ui::ShowSystemError(int errorNumber, std::string_view caption) {
  ShowErrorBox(std::generic_category().message(errorNumber), caption);
}

bool Ui::ShowSkippableNotice(std::string_view text, std::string_view caption) {
  ShowInfoBox(text, caption);
  return false;
}

}  // namespace logwell
