#pragma once
// How an instrument family offers its virtual instrument to logwell-sim: one record with its
// name, a line for the model list, its options for the usage text and the function that reads
// those options into a factory of its model. The records are listed in sim/families.cpp.
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "sim/flight_generator.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

// Makes the model once the whole command line has been accepted; may throw (a file that
// cannot be read, say), which ends the program with status 1.
using ModelFactory = std::function<std::unique_ptr<InstrumentModel>()>;

// An option a family does not take, or a bad value; what() is "bad option FLAG VALUE".
class BadSimOption : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The arguments after the family name, read one flag at a time:
//   while (arguments.Next()) {
//     if (arguments.Is("--model")) model = arguments.Text();
//     else if (arguments.Is("--paced")) paced = true;
//     else arguments.Refuse();
//   }
class SimArguments {
 public:
  explicit SimArguments(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

  // Moves to the next flag (past the value the current one took); false after the last.
  bool Next();
  bool Is(std::string_view flag) const { return arguments_[flag_] == flag; }
  // The current flag's value: the argument after it. Refused when there is none.
  std::string Text();
  // The value as a whole decimal number in low..high; refused otherwise.
  long Number(long low, long high);
  // Throws BadSimOption for the current flag.
  [[noreturn]] void Refuse() const;

 private:
  std::vector<std::string> arguments_;
  std::size_t flag_ = 0;
  std::size_t next_ = 0;
};

// The generated flight several families serve, seed 1 and 60 minutes unless the options
// "--seed N" and "--minutes N" say otherwise.
FlightPlan DefaultSimFlight();
// True when the current flag is one of the flight's; its value then goes into `plan`.
bool ReadFlightOption(SimArguments& arguments, FlightPlan& plan);
// The whole text of a file a family serves (an IGC file); throws std::runtime_error naming
// the file when it cannot be read.
std::string IgcFileText(const std::string& path);
// The fixes of an IGC file a family serves instead of a generated flight; throws
// std::runtime_error naming the file when it cannot be read or decoded.
std::vector<TrackPoint> IgcFileFlight(const std::string& path);

// True when the current flag is "--fault"; its value "REQUEST=KIND[@N]" adds a fault to the
// answer of REQUEST (as the family names its requests). A bad value is refused.
bool ReadFaultOption(SimArguments& arguments, AnswerFaults& faults);

struct SimFamily {
  std::string_view name;         // logwell-sim's first argument
  std::string_view description;  // one line for the model list
  std::string_view options;      // for the usage text, one or more lines; empty when none
  // Reads the family's options; throws BadSimOption on one it does not take.
  ModelFactory (*readOptions)(SimArguments& arguments);
};

// Every family logwell-sim offers, in the order of its usage text.
std::span<const SimFamily* const> SimFamilies();

}  // namespace logwell::sim
