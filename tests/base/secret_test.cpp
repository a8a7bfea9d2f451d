// Secrets in the process: taken out of the environment, the process undumpable while one is
// held, buffers wiped.
#include "base/secret.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace logwell {
namespace {

TEST(Secret, EnvironmentPasswordIsTakenOutAndTheProcessUndumpableWhileHeld) {
  ::setenv("LOGWELL_TEST_SECRET", "s3cret", 1);
  char* const where = std::getenv("LOGWELL_TEST_SECRET");
  EXPECT_EQ(TakeEnvironmentSecret("LOGWELL_TEST_SECRET"), "s3cret");
  EXPECT_EQ(std::getenv("LOGWELL_TEST_SECRET"), nullptr);
  EXPECT_NE(std::string(where, 6), "s3cret");  // the old value's bytes are wiped too
  EXPECT_EQ(TakeEnvironmentSecret("LOGWELL_TEST_SECRET"), std::nullopt);

  ASSERT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);
  {
    const SecretHold outer;
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    {
      const SecretHold inner;
    }
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);  // the outer one still holds
  }
  EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);

  std::string password = "a much longer password than fits in a short string";
  const char* bytes = password.data();
  const std::size_t size = password.size();
  WipeSecret(password);
  EXPECT_TRUE(password.empty());
  EXPECT_EQ(std::string(bytes, size), std::string(size, '\0'));
}

}  // namespace
}  // namespace logwell
