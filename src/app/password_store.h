#pragma once
// The remembered web-logbook password. The desktop keyring keeps it when a Secret Service
// answers on the session bus; otherwise the settings file keeps it scrambled (that file is
// written for its owner alone). Scrambling keeps the password out of casual sight in the file,
// nothing more: whoever can read the file as its owner can unscramble it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"

namespace logwell {

enum class PasswordPlace { NotKept, Keyring, SettingsFile };

// Where a password of this user is remembered (the keyring first), or nothing.
std::optional<std::string> RecallPassword(const SettingsStore& settings, std::string_view user);
// Remembers the password of `user` and says where; a password too long for the settings value
// and no keyring: NotKept. Remembering in the keyring clears the settings value.
PasswordPlace RememberPassword(SettingsStore& settings, std::string_view user, std::string_view password);
// Drops the password of `user` from the keyring and the settings value (not to be remembered).
void ForgetPassword(SettingsStore& settings, std::string_view user);
// What the window tells the user about where the password went.
std::string_view PasswordPlaceText(PasswordPlace place);

// The settings value's form: 40 bytes whatever the password (at most 38 bytes), bound to the
// user name; Unscramble refuses a value of another user or a damaged one.
inline constexpr std::size_t kScrambledSize = 40;
inline constexpr std::size_t kMaxScrambledPassword = kScrambledSize - 2;
std::optional<std::vector<std::uint8_t>> ScramblePassword(std::string_view password, std::string_view user);
std::optional<std::string> UnscramblePassword(std::span<const std::uint8_t> value, std::string_view user);

// True when a Secret Service answers (a session bus is named and the service replies).
bool KeyringAvailable();

}  // namespace logwell
