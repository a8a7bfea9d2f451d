#pragma once
// The validation service's answer: one small JSON object whose "result" and "status" say
// whether the IGC file passed.
#include <optional>
#include <string>
#include <string_view>

namespace logwell::online {

struct ValidationReply {
  std::string result;
  std::string status;
  bool Passed() const { return result == "PASSED" && status == "IGC_PASSED"; }
};

// The answer as one JSON object; nothing when it does not parse. Members "result" and "status"
// must be strings (they are kept), "msg" must be a string, others may be any JSON value.
// String escapes \" \\ \/ \b \t \n \f \r only; white space also takes \v and the bytes 0x85
// and 0xA0.
std::optional<ValidationReply> ParseValidationReply(std::string_view text);

}  // namespace logwell::online
