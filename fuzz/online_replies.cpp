// Feeds arbitrary bytes to the readers of the online services' answers: the validation reply
// parser, and the status and Location readers of the web logbook. Each gives a result or a
// refusal; the Location reader's number, when it gives one, is what the text holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/response_check.h"
#include "online/validation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto reply = logwell::online::ParseValidationReply(bytes);
  if (reply && reply->Passed() && (reply->result != "PASSED" || reply->status != "IGC_PASSED")) {
    std::abort();
  }
  const int status = logwell::online::ReadStatusCode(bytes);
  if (status != logwell::online::kCheckNoStatus && (status < 100 || status > 999)) std::abort();
  const std::string prefix = "http://h/tv.html?l=2&a=28&user_id=";
  for (const bool ampersand : {false, true}) {
    std::int64_t number = -1;
    const int code = logwell::online::ReadLocationNumber(bytes, prefix, ampersand, number);
    if (code > 0 || code < logwell::online::kCheckBadDigits) std::abort();
    if (code == 0) {
      if (number < 0 || bytes.find(prefix) == std::string_view::npos) std::abort();
    }
  }
  return 0;
}
