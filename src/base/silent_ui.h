#pragma once
// A Ui that shows nothing and answers every question as a hidden run would: for a look into a
// file whose reader's messages nobody should see (is this flight saved there already?).
#include <optional>
#include <string_view>
#include <vector>

#include "base/ui.h"

namespace logwell {

class SilentUi final : public Ui {
 public:
  void ShowErrorBox(std::string_view, std::string_view) override {}
  void ShowInfoBox(std::string_view, std::string_view) override {}
  Answer AskOkCancel(std::string_view, std::string_view, Answer unattended) override { return unattended; }
  Answer AskYesNo(std::string_view, std::string_view, Answer unattended) override { return unattended; }
  Answer AskYesNoCancel(std::string_view, std::string_view, Answer unattended) override {
    return unattended;
  }
  void ShowStatus(std::string_view) override {}
  void ShowProduct(std::string_view) override {}
  std::optional<std::vector<int>> ChooseFromList(const ListChoice&) override { return std::nullopt; }
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm&) override { return NewTrackLogChoice::Cancel; }
};

}  // namespace logwell
