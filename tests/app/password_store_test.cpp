// The remembered web-logbook password: its scrambled settings value and where it is kept.
#include "app/password_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <sstream>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

TEST(ScrambledPassword, RoundTripsAndRefusesWhatItDidNotWrite) {
  const std::string longest(kMaxScrambledPassword, 'x');
  for (const std::string& password : {std::string(), std::string("s3cret&pw=1"), std::string("Zoë ß €"), longest}) {
    const auto value = ScramblePassword(password, "anna");
    ASSERT_TRUE(value.has_value()) << password;
    ASSERT_EQ(value->size(), kScrambledSize);
    if (!password.empty()) {
      EXPECT_EQ(std::search(value->begin(), value->end(), password.begin(), password.end()), value->end());
    }
    EXPECT_EQ(UnscramblePassword(*value, "anna"), password);
    EXPECT_EQ(UnscramblePassword(*value, "bert"), std::nullopt) << password;  // another user's value
  }
  EXPECT_EQ(ScramblePassword(longest + "y", "anna"), std::nullopt);
  auto damaged = *ScramblePassword("s3cret", "anna");
  damaged[5] ^= 0x20;
  EXPECT_EQ(UnscramblePassword(damaged, "anna"), std::nullopt);
  EXPECT_EQ(UnscramblePassword(std::vector<std::uint8_t>(12, 1), "anna"), std::nullopt);
}

// Without a Secret Service the settings file keeps the password scrambled, readable by its
// owner alone; a password too long for the value is not kept and an older one is dropped.
TEST(RememberedPassword, SettingsFileWithoutAKeyring) {
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ASSERT_FALSE(KeyringAvailable());
  std::string pattern = (fs::temp_directory_path() / "logwell-password-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const SettingsPaths paths{dir / "user" / "logwell.ini", dir / "etc" / "logwell.ini"};
  testing::ScriptedUi ui;
  {
    SettingsStore settings("/docs");
    settings.Load(paths, ui);
    EXPECT_EQ(RecallPassword(settings, "anna"), std::nullopt);
    EXPECT_EQ(RememberPassword(settings, "anna", "s3cret&pw=1"), PasswordPlace::SettingsFile);
    ASSERT_TRUE(settings.Save());
  }
  struct stat info {};
  ASSERT_EQ(::stat(paths.userFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::ostringstream text;
  text << std::ifstream(paths.userFile).rdbuf();
  EXPECT_EQ(text.str().find("s3cret"), std::string::npos);
  SettingsStore again("/docs");
  again.Load(paths, ui);
  EXPECT_EQ(RecallPassword(again, "anna"), "s3cret&pw=1");
  EXPECT_EQ(RecallPassword(again, "bert"), std::nullopt);
  EXPECT_EQ(RememberPassword(again, "anna", std::string(kMaxScrambledPassword + 1, 'x')), PasswordPlace::NotKept);
  EXPECT_EQ(RecallPassword(again, "anna"), std::nullopt);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
