#include "sim/sim_family.h"

#include "sim/number_argument.h"

namespace logwell::sim {

bool SimArguments::Next() {
  if (next_ >= arguments_.size()) return false;
  flag_ = next_++;
  return true;
}

std::string SimArguments::Text() {
  if (flag_ + 1 >= arguments_.size()) Refuse();
  next_ = flag_ + 2;
  return arguments_[flag_ + 1];
}

long SimArguments::Number(long low, long high) {
  long value = 0;
  if (!ParseNumberArgument(Text().c_str(), low, high, value)) Refuse();
  return value;
}

void SimArguments::Refuse() const {
  const std::string value = flag_ + 1 < arguments_.size() ? arguments_[flag_ + 1] : "";
  throw BadSimOption("bad option " + arguments_[flag_] + " " + value);
}

FlightPlan DefaultSimFlight() {
  FlightPlan plan;
  plan.seed = 1;
  plan.duration = std::chrono::minutes(60);
  return plan;
}

bool ReadFlightOption(SimArguments& arguments, FlightPlan& plan) {
  if (arguments.Is("--seed")) {
    plan.seed = static_cast<std::uint32_t>(arguments.Number(0, 0xFFFFFFFFL));
  } else if (arguments.Is("--minutes")) {
    plan.duration = std::chrono::minutes(arguments.Number(0, 24 * 60));
  } else {
    return false;
  }
  return true;
}

}  // namespace logwell::sim
