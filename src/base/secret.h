#pragma once
// Keeping secrets (passwords) short-lived in the process: memory wiped when they go, the process
// kept out of core dumps and away from debuggers of the same user while one is held, and a
// secret handed over in the environment taken out of it.
#include <optional>
#include <string>

namespace logwell {

// Overwrites the string's bytes in a way the compiler cannot drop, then empties it.
void WipeSecret(std::string& secret);

// While at least one exists the process is not dumpable (no core file, no ptrace attach by the
// same user, /proc/self/mem closed to others); the last one gone restores what was before.
class SecretHold {
 public:
  SecretHold();
  ~SecretHold();
  SecretHold(const SecretHold&) = delete;
  SecretHold& operator=(const SecretHold&) = delete;
};

// The value of the environment variable `name`, which is then wiped in place and removed from
// the environment (children and /proc/<pid>/environ no longer show it); nothing when unset.
std::optional<std::string> TakeEnvironmentSecret(const char* name);

}  // namespace logwell
