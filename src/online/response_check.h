#pragma once
// Reading a web logbook response: the status code from the raw header text, and the number the
// server hands back at the end of its "Location:" URL. Failures are the negative check codes
// the step errors show (negated): -1 no status, -2 another status, -4 no headers,
// -6 no Location header, -7 the expected URL not found, -8 the digits not ended as required.
#include <cstdint>
#include <string_view>

namespace logwell::online {

inline constexpr int kCheckNoStatus = -1;
inline constexpr int kCheckWrongStatus = -2;
inline constexpr int kCheckNoHeaders = -4;
inline constexpr int kCheckNoLocation = -6;
inline constexpr int kCheckPrefixNotFound = -7;
inline constexpr int kCheckBadDigits = -8;

// The status code of the status line ("HTTP/1.1 302 Found") as a decimal number, or
// kCheckNoStatus.
int ReadStatusCode(std::string_view headers);

// 0 when the status is `wanted`, else kCheckNoStatus or kCheckWrongStatus.
int CheckStatus(std::string_view headers, int wanted);

// The number after `urlPrefix` in the value of the Location header (the name in any case),
// which must end at a carriage return, or also at "&" when `ampersandEnds`. 0 and `number`
// set, or a negative check code.
int ReadLocationNumber(std::string_view headers, std::string_view urlPrefix, bool ampersandEnds,
                       std::int64_t& number);

}  // namespace logwell::online
