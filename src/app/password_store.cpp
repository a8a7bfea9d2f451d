#include "app/password_store.h"

#include <algorithm>
#include <cstdlib>

#ifdef LOGWELL_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace logwell {
namespace {

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : text) hash = (hash ^ static_cast<std::uint8_t>(c)) * 0x100000001b3ULL;
  return hash;
}

// A byte stream that depends on the user name: the user's hash through the splitmix64 mixer.
class KeyStream {
 public:
  explicit KeyStream(std::string_view user) : state_(Fnv1a(user)) {}
  std::uint8_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return static_cast<std::uint8_t>((z ^ (z >> 31)) >> 56);
  }

 private:
  std::uint64_t state_;
};

// One byte that a value unscrambled with another user's stream almost never matches.
std::uint8_t Check(std::string_view password) { return static_cast<std::uint8_t>(Fnv1a(password) >> 56); }

#ifdef LOGWELL_HAVE_LIBSECRET
const SecretSchema* Schema() {
  static const SecretSchema schema = {
      "org.logwell.WebLogbook",
      SECRET_SCHEMA_NONE,
      {{"user", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
      0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &schema;
}

std::optional<std::string> KeyringLookup(const std::string& user) {
  GError* error = nullptr;
  gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "user", user.c_str(), nullptr);
  if (error != nullptr) g_error_free(error);
  if (found == nullptr) return std::nullopt;
  std::string password(found);
  secret_password_free(found);
  return password;
}

bool KeyringStore(const std::string& user, const std::string& password) {
  GError* error = nullptr;
  const std::string label = "Logwell web logbook (" + user + ")";
  const gboolean stored = secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                     password.c_str(), nullptr, &error, "user", user.c_str(),
                                                     nullptr);
  if (error != nullptr) g_error_free(error);
  return stored != FALSE;
}

void KeyringClear(const std::string& user) {
  GError* error = nullptr;
  secret_password_clear_sync(Schema(), nullptr, &error, "user", user.c_str(), nullptr);
  if (error != nullptr) g_error_free(error);
}
#endif

}  // namespace

bool KeyringAvailable() {
#ifdef LOGWELL_HAVE_LIBSECRET
  // Without a named session bus libsecret would try to start one; there is no service then.
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (bus == nullptr || *bus == '\0') return false;
  GError* error = nullptr;
  SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  if (service == nullptr) return false;
  g_object_unref(service);
  return true;
#else
  return false;
#endif
}

std::optional<std::vector<std::uint8_t>> ScramblePassword(std::string_view password, std::string_view user) {
  if (password.size() > kMaxScrambledPassword) return std::nullopt;
  KeyStream key(user);
  std::vector<std::uint8_t> value(kScrambledSize);
  value[0] = static_cast<std::uint8_t>(password.size() ^ key.Next());
  value[1] = static_cast<std::uint8_t>(Check(password) ^ key.Next());
  for (std::size_t i = 0; i < kMaxScrambledPassword; ++i) {
    const std::uint8_t plain = i < password.size() ? static_cast<std::uint8_t>(password[i]) : 0;
    value[2 + i] = static_cast<std::uint8_t>(plain ^ key.Next());
  }
  return value;
}

std::optional<std::string> UnscramblePassword(std::span<const std::uint8_t> value, std::string_view user) {
  if (value.size() != kScrambledSize) return std::nullopt;
  KeyStream key(user);
  const std::size_t length = value[0] ^ key.Next();
  const std::uint8_t check = value[1] ^ key.Next();
  if (length > kMaxScrambledPassword) return std::nullopt;
  std::string password;
  for (std::size_t i = 0; i < kMaxScrambledPassword; ++i) {
    const auto plain = static_cast<char>(value[2 + i] ^ key.Next());
    if (i < length) password += plain;
  }
  if (Check(password) != check) return std::nullopt;
  return password;
}

std::optional<std::string> RecallPassword(const SettingsStore& settings, std::string_view user) {
  if (user.empty()) return std::nullopt;
#ifdef LOGWELL_HAVE_LIBSECRET
  if (KeyringAvailable()) {
    if (auto found = KeyringLookup(std::string(user))) return found;
  }
#endif
  // A password from a file others could read is not used (Load said how to fix the file).
  if (settings.SecretRefused()) return std::nullopt;
  const auto& value = settings.Binary(Setting::TrackvaultPassword);
  if (std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; })) return std::nullopt;
  return UnscramblePassword(value, user);
}

PasswordPlace RememberPassword(SettingsStore& settings, std::string_view user, std::string_view password) {
  if (user.empty()) return PasswordPlace::NotKept;
  const std::vector<std::uint8_t> cleared(kScrambledSize, 0);
#ifdef LOGWELL_HAVE_LIBSECRET
  if (KeyringAvailable() && KeyringStore(std::string(user), std::string(password))) {
    settings.SetBinary(Setting::TrackvaultPassword, cleared);
    return PasswordPlace::Keyring;
  }
#endif
  const auto scrambled = ScramblePassword(password, user);
  if (!scrambled) {
    settings.SetBinary(Setting::TrackvaultPassword, cleared);  // an older password must not stay
    return PasswordPlace::NotKept;
  }
  settings.SetBinary(Setting::TrackvaultPassword, *scrambled);
  return PasswordPlace::SettingsFile;
}

void ForgetPassword(SettingsStore& settings, std::string_view user) {
  settings.SetBinary(Setting::TrackvaultPassword, std::vector<std::uint8_t>(kScrambledSize, 0));
#ifdef LOGWELL_HAVE_LIBSECRET
  if (!user.empty() && KeyringAvailable()) KeyringClear(std::string(user));
#else
  static_cast<void>(user);
#endif
}

std::string_view PasswordPlaceText(PasswordPlace place) {
  switch (place) {
    case PasswordPlace::Keyring: return "Password remembered in the desktop keyring";
    case PasswordPlace::SettingsFile:
      return "Password remembered in the settings file (scrambled, readable by you alone)";
    case PasswordPlace::NotKept: break;
  }
  return "Password not remembered";
}

}  // namespace logwell
