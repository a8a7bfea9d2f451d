#pragma once
// Helpers for the fault tables and aborts of the family tests: fault cases mostly wait for
// time-outs, so they run side by side, each against its own virtual instrument; an abort test
// waits until the transfer is under way.
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace logwell::testing {

// What a failed download leaves behind: its result, the size of the track log, the boxes shown.
struct FaultOutcome {
  int result = 0;
  std::size_t points = 0;
  std::vector<std::string> errors;
};

// Runs `run(i)` for every case i on a thread of its own and returns the outcomes in order.
inline std::vector<FaultOutcome> RunSideBySide(std::size_t count, const std::function<FaultOutcome(std::size_t)>& run) {
  std::vector<std::future<FaultOutcome>> runs;
  for (std::size_t i = 0; i < count; ++i) runs.push_back(std::async(std::launch::async, run, i));
  std::vector<FaultOutcome> outcomes;
  for (auto& r : runs) outcomes.push_back(r.get());
  return outcomes;
}

// Each failed download ended with one box starting with its case's message (`messageOf(i)`)
// and left the three-fix track log as it was.
inline void ExpectEachFaultEnded(const std::vector<FaultOutcome>& outcomes,
                                 const std::function<std::string(std::size_t)>& messageOf) {
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const std::string message = messageOf(i);
    SCOPED_TRACE(message);
    const FaultOutcome& outcome = outcomes[i];
    EXPECT_LT(outcome.result, 0);
    EXPECT_EQ(outcome.points, 3u);
    ASSERT_EQ(outcome.errors.size(), 1u);
    EXPECT_TRUE(outcome.errors[0].starts_with(message)) << outcome.errors[0];
  }
}

// Waits (at most `limit`) until a status text satisfies `seen`; false when none did.
inline bool WaitForStatus(const ScriptedUi& ui, const std::function<bool(const std::string&)>& seen,
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const std::string& text : ui.StatusTexts()) {
      if (seen(text)) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace logwell::testing
