#pragma once
// What the numbered error messages of the instrument transfers mean to the person who meets
// them. The protocol modules number their faults ("E204 COM port read error"); the number and
// the message stay as they are, and the words below them say what happened and what to try.
// The same number means different things in different modules, so the words go by the message
// (and, for the numbered format errors, by the module).
#include <optional>
#include <string>
#include <string_view>

#include "model/access_types.h"

namespace logwell {

// The words for a message that starts with an error code ("E" and three digits, then a blank);
// nothing for a message without a code or one the table does not know.
std::optional<std::string> ErrorCodeWords(std::string_view message, ProtocolType protocol);

// The message with its words on a line of their own ("E204 COM port read error\r\nThe
// instrument stopped answering ..."); a message without words comes back as it is.
std::string WithErrorWords(std::string_view message, ProtocolType protocol);

}  // namespace logwell
