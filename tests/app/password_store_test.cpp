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

#include "base/text.h"
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

// A password in a settings file others may read: Load says so with the fix, the password is not
// used, and the next save (or chmod) makes the file the owner's alone.
TEST(RememberedPassword, ReadableFileIsNarrowedAndItsPasswordRefused) {
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  std::string pattern = (fs::temp_directory_path() / "logwell-password-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const SettingsPaths paths{dir / "logwell.ini", dir / "etc" / "logwell.ini"};
  const auto scrambled = *ScramblePassword("s3cret", "anna");
  std::string hex;
  for (const std::uint8_t byte : scrambled) hex += FormatText("%02X", byte);
  // A hand-made file, world-readable, with the password in it.
  std::ofstream(paths.userFile) << "[Logwell]\nTrackvaultUserId=anna\nTrackvaultPassword=" << hex << "\n";
  ASSERT_EQ(::chmod(paths.userFile.c_str(), 0644), 0);
  testing::ScriptedUi ui;
  SettingsStore settings("/docs");
  ASSERT_TRUE(settings.Load(paths, ui));
  EXPECT_TRUE(settings.SecretRefused());
  EXPECT_EQ(RecallPassword(settings, "anna"), std::nullopt);
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_NE(ui.Boxes()[0].text.find("password is not used"), std::string::npos) << ui.Boxes()[0].text;
  EXPECT_EQ(ui.FileErrorDetails(), std::vector<std::string>{"chmod 600 '" + paths.userFile.string() + "'"});
  // Saved again, the file (and the secret kept in it) is the owner's alone.
  ASSERT_TRUE(settings.Save());
  struct stat info {};
  ASSERT_EQ(::stat(paths.userFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  SettingsStore again("/docs");
  testing::ScriptedUi quiet;
  ASSERT_TRUE(again.Load(paths, quiet));
  EXPECT_TRUE(quiet.Boxes().empty());
  EXPECT_EQ(RecallPassword(again, "anna"), "s3cret");

  // A file without a secret keeps its mode; one that gets a secret is narrowed.
  ASSERT_EQ(::chmod(paths.userFile.c_str(), 0644), 0);
  ForgetPassword(again, "anna");
  ASSERT_TRUE(again.Save());
  ASSERT_EQ(::stat(paths.userFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(RememberPassword(again, "anna", "n3w"), PasswordPlace::SettingsFile);
  ASSERT_TRUE(again.Save());
  ASSERT_EQ(::stat(paths.userFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
