#include "sim/sim_family.h"

#include "sim/number_argument.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "track/igc/igc_reader.h"

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

bool ReadFaultOption(SimArguments& arguments, AnswerFaults& faults) {
  if (!arguments.Is("--fault")) return false;
  const std::string value = arguments.Text();
  const std::size_t equals = value.find('=');
  if (equals == 0 || equals == std::string::npos) arguments.Refuse();
  std::string kind = value.substr(equals + 1);
  std::size_t number = 0;
  if (const std::size_t at = kind.find('@'); at != std::string::npos) {
    const char* first = kind.data() + at + 1;
    const char* last = kind.data() + kind.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) arguments.Refuse();
    kind.resize(at);
  }
  Fault fault;
  if (kind == "silence") {
    fault.kind = Fault::Kind::Silence;
  } else if (kind == "delay") {
    fault.kind = Fault::Kind::Delay;
    fault.delay = std::chrono::milliseconds(number);
  } else if (kind == "corrupt-byte") {
    fault.kind = Fault::Kind::CorruptByte;
    fault.offset = number;
  } else if (kind == "corrupt-checksum") {
    fault.kind = Fault::Kind::CorruptChecksum;
  } else if (kind == "garbage") {
    fault.kind = Fault::Kind::Garbage;
  } else if (kind == "drop") {
    fault.kind = Fault::Kind::DropLine;
  } else if (kind == "hangup") {
    fault.kind = Fault::Kind::HangUp;
    fault.offset = number;
  } else {
    arguments.Refuse();
  }
  faults[value.substr(0, equals)].push_back(fault);
  return true;
}

std::string IgcFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<TrackPoint> IgcFileFlight(const std::string& path) {
  igc::IgcDecodeResult decoded = igc::DecodeIgcText(IgcFileText(path));
  if (!decoded.Ok()) throw std::runtime_error(path + ": " + decoded.error);
  return std::move(decoded.points);
}

}  // namespace logwell::sim
