#pragma once
// An OLC view that shows nothing, for tests that only read the computation's results.
#include "optimise/olc.h"

namespace logwell::testing {

class SilentOlcView final : public OlcView {
 public:
  void ShowStatus(std::string_view) override {}
  void ShowKind(OlcKind, const OlcKindResult&) override {}
  void ShowResult(std::string_view) override {}
};

}  // namespace logwell::testing
