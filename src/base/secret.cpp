#include "base/secret.h"

#include <sys/prctl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace logwell {

namespace {

std::mutex gHoldMutex;
int gHolds = 0;
int gDumpableBefore = 1;

void WipeBytes(char* bytes, std::size_t size) {
  // Writes through a volatile pointer are never elided as dead stores.
  volatile char* out = bytes;
  for (std::size_t i = 0; i < size; ++i) out[i] = 0;
}

}  // namespace

void WipeSecret(std::string& secret) {
  // The whole capacity: text left over from a longer earlier value is wiped too.
  secret.resize(secret.capacity());
  WipeBytes(secret.data(), secret.size());
  secret.clear();
}

SecretHold::SecretHold() {
  const std::lock_guard lock(gHoldMutex);
  if (gHolds++ == 0) {
    const int before = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
    gDumpableBefore = before < 0 ? 1 : before;
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  }
}

SecretHold::~SecretHold() {
  const std::lock_guard lock(gHoldMutex);
  if (--gHolds == 0) ::prctl(PR_SET_DUMPABLE, gDumpableBefore, 0, 0, 0);
}

std::optional<std::string> TakeEnvironmentSecret(const char* name) {
  char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  std::string secret(value);
  WipeBytes(value, std::strlen(value));
  ::unsetenv(name);
  return secret;
}

}  // namespace logwell
