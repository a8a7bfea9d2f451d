#pragma once
// A Ui for the waypoint fuzz targets: shows nothing and answers every question from a fixed
// rotation, so that the identifier questions take each of their answers.
#include "base/ui.h"

namespace logwell::fuzzing {

class SilentUi final : public Ui {
 public:
  void ShowErrorBox(std::string_view, std::string_view) override {}
  void ShowInfoBox(std::string_view, std::string_view) override {}
  Answer AskOkCancel(std::string_view, std::string_view, Answer unattended) override { return unattended; }
  Answer AskYesNo(std::string_view, std::string_view, Answer) override {
    return ++turn_ % 2 ? Answer::Yes : Answer::No;
  }
  Answer AskYesNoCancel(std::string_view, std::string_view, Answer unattended) override {
    return unattended;
  }
  void ShowStatus(std::string_view) override {}
  void ShowProduct(std::string_view) override {}
  std::optional<std::vector<int>> ChooseFromList(const ListChoice& choice) override {
    const unsigned pick = ++turn_ % (choice.lines.size() + 1);
    if (pick == choice.lines.size()) return std::nullopt;
    return std::vector<int>{static_cast<int>(pick)};
  }
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm&) override {
    return NewTrackLogChoice::Cancel;
  }

 private:
  unsigned turn_ = 0;
};

}  // namespace logwell::fuzzing
