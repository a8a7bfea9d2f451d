#pragma once
// The online verbs of logwell-cli: upload, validate and ftp-send.
#include <span>

#include "app/command_line.h"

namespace logwell::cli {

int RunUpload(const CliVerb& verb, std::span<const char* const> arguments);
int RunValidate(const CliVerb& verb, std::span<const char* const> arguments);
int RunFtpSend(const CliVerb& verb, std::span<const char* const> arguments);

}  // namespace logwell::cli
