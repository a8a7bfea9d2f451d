// Any command-line text must parse to options or a refusal, never to a crash.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace {

class SilentUi final : public logwell::Ui {
 public:
  void ShowErrorBox(std::string_view, std::string_view) override {}
  void ShowInfoBox(std::string_view, std::string_view) override {}
  logwell::Answer AskOkCancel(std::string_view, std::string_view, logwell::Answer a) override {
    return a;
  }
  logwell::Answer AskYesNo(std::string_view, std::string_view, logwell::Answer a) override {
    return a;
  }
  logwell::Answer AskYesNoCancel(std::string_view, std::string_view,
                                 logwell::Answer a) override {
    return a;
  }
  void ShowStatus(std::string_view) override {}
  void ShowProduct(std::string_view) override {}
  std::optional<std::vector<int>> ChooseFromList(const logwell::ListChoice&) override {
    return std::nullopt;
  }
  logwell::NewTrackLogChoice AskNewTrackLog(const logwell::NewTrackLogForm&) override {
    return logwell::NewTrackLogChoice::Cancel;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SilentUi ui;
  const std::string text(reinterpret_cast<const char*>(data), size);
  // NOTIFY connects to whatever socket it names (such as /dev/log); keep the fuzzer off them.
  std::string upper = text;
  std::ranges::transform(upper, upper.begin(),
                         [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper.find("NOTIFY") != std::string::npos) return 0;
  logwell::ParseCommandLine(text, ui);
  // The same bytes as process arguments, split where a NUL ends one: each is one option.
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find('\0', at), text.size());
    words.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::vector<const char*> arguments;
  for (const std::string& word : words) arguments.push_back(word.c_str());
  const logwell::ParseResult parsed = logwell::ParseArguments(arguments, ui);
  // An option's value never starts another option: the run does what the last argument says.
  if (parsed.options && words.size() == 1 && words[0].starts_with("/PILOT=") &&
      parsed.options->action != logwell::CommandAction::None) {
    std::abort();
  }
  return 0;
}
