// The settings file: defaults, the system-wide starting copy, what is written back, and texts
// that the INI reader could otherwise cut (long lines, comment marks, spaces at the ends).
#include "app/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/fixtures.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::UiEventKind;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "logwell-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    paths_ = {dir_ / "user" / "logwell" / "logwell.ini", dir_ / "etc" / "logwell" / "logwell.ini"};
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path dir_;
  SettingsPaths paths_;
  ScriptedUi ui_;
};

TEST(SettingsTable, HasTheValuesWithTheirDefaults) {
  ASSERT_EQ(SettingRows().size(), 84u);
  EXPECT_EQ(SettingRows().back().name, "LogbookLoginInQuery");
  EXPECT_EQ(SettingRows().front().name, "PilotListName");
  EXPECT_EQ(SettingRows()[69].name, "TrackvaultPassword");
  SettingsStore store("/home/pilot/Documents");
  EXPECT_EQ(store.Text(Setting::TrackLogDir), "/home/pilot/Documents");
  EXPECT_EQ(store.Text(Setting::Baudrate), "9600");
  EXPECT_EQ(store.Text(Setting::PortName), "COM1");
  EXPECT_EQ(store.Number(Setting::LogFilter), 1);
  EXPECT_EQ(store.Number(Setting::CompTimeStart), 555674400);
  EXPECT_EQ(store.Number(Setting::TrackGapTime), 1200);
  EXPECT_EQ(store.Number(Setting::LoopFlightGap), 800);
  EXPECT_EQ(store.Number(Setting::IgcSaveMask), 5);
  EXPECT_EQ(store.Number(Setting::CtrSegError), 10);
  EXPECT_EQ(store.Number(Setting::VarioFilter), 0);
  EXPECT_EQ(store.Text(Setting::IgcFlightNo), "1");
  EXPECT_EQ(store.Text(Setting::IgcGliderType), "None");
  EXPECT_EQ(store.Text(Setting::OlcRegion), "");
  EXPECT_EQ(store.Text(Setting::ContestRules), "xcontest");
  EXPECT_EQ(store.Number(Setting::FtpTls), 1);  // FTP through TLS unless turned off
  EXPECT_EQ(store.Number(Setting::LogbookAllowHttp), 0);
  EXPECT_EQ(store.Text(Setting::FtpUserId), store.Text(Setting::FtpAddress));
  EXPECT_EQ(store.Binary(Setting::TrackvaultPassword), std::vector<std::uint8_t>(40, 0));
}

TEST_F(SettingsTest, FirstStartWithoutAnyFileGivesDefaultsAndSavesEveryValue) {
  SettingsStore store("/docs");
  ASSERT_TRUE(store.Load(paths_, ui_));
  EXPECT_FALSE(store.FileExisted());
  EXPECT_TRUE(store.IsDefault(Setting::PortName));
  ASSERT_TRUE(store.Save());
  SettingsStore again("/docs");
  ASSERT_TRUE(again.Load(paths_, ui_));
  const std::string text = testing::ReadWholeFile(paths_.userFile);
  for (const SettingRow& row : SettingRows()) {
    EXPECT_NE(text.find("\n" + std::string(row.name) + "="), std::string::npos) << row.name;
  }
  EXPECT_TRUE(ui_.Boxes().empty());
  // The file holds account passwords: only its owner may read it.
  EXPECT_EQ(fs::status(paths_.userFile).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SettingsTest, NewUserStartsFromTheSystemWideCopy) {
  WriteFile(paths_.defaultFile, "[Logwell]\nPortName=/dev/ttyUSB0\nTrackGapTime=600\n");
  SettingsStore store("/docs");
  ASSERT_TRUE(store.Load(paths_, ui_));
  EXPECT_EQ(store.Text(Setting::PortName), "/dev/ttyUSB0");
  EXPECT_EQ(store.Number(Setting::TrackGapTime), 600);
  EXPECT_EQ(store.Number(Setting::LoopFlightGap), 800);
  // The user's own file wins once it exists.
  WriteFile(paths_.userFile, "[Logwell]\nPortName=COM4\n");
  ASSERT_TRUE(store.Load(paths_, ui_));
  EXPECT_EQ(store.Text(Setting::PortName), "COM4");
  EXPECT_EQ(store.Number(Setting::TrackGapTime), 1200);
}

TEST_F(SettingsTest, ValuesSurviveARoundTrip) {
  const std::string longFolder = "/home/pilot/My Flights  ;#\"\\ " + std::string(230, 'x') + " ";
  const std::vector<std::uint8_t> password = {0x00, 0x7F, 0xFF, 0x3B, 0x20};
  {
    SettingsStore store("/docs");
    ASSERT_TRUE(store.Load(paths_, ui_));
    store.SetText(Setting::TrackLogDir, longFolder);
    store.SetText(Setting::IgcPilotName, " Jane ; Doe # x\t");
    store.SetText(Setting::OlcCallSign, "Öl 😀");
    ASSERT_TRUE(store.SetNumber(Setting::UtcOffsetForTN, -3));
    ASSERT_TRUE(store.SetNumber(Setting::CompTimeStop, 4294967295));
    EXPECT_FALSE(store.SetNumber(Setting::CompTimeStop, 4294967296));
    store.SetBinary(Setting::TrackvaultPassword, password);
    ASSERT_TRUE(store.Save());
  }
  SettingsStore store("/docs");
  ASSERT_TRUE(store.Load(paths_, ui_));
  EXPECT_EQ(store.Text(Setting::TrackLogDir), longFolder.substr(0, 268));
  EXPECT_EQ(store.Text(Setting::IgcPilotName), " Jane ; Doe # x\t");
  EXPECT_EQ(store.Text(Setting::OlcCallSign), "Öl 😀");
  EXPECT_EQ(store.Number(Setting::UtcOffsetForTN), -3);
  EXPECT_EQ(store.Number(Setting::CompTimeStop), 4294967295);
  std::vector<std::uint8_t> expected(40, 0);
  std::copy(password.begin(), password.end(), expected.begin());
  EXPECT_EQ(store.Binary(Setting::TrackvaultPassword), expected);
  // No line is longer than the reader's 200 bytes.
  std::ifstream in(paths_.userFile);
  for (std::string line; std::getline(in, line);) EXPECT_LT(line.size(), 200u) << line;
}

TEST_F(SettingsTest, ExistingFileGetsChangedValuesAndThoseItHeld) {
  WriteFile(paths_.userFile, "[Logwell]\nTrackGapTime=600\nFuture=\"kept\"\n");
  SettingsStore store("/docs");
  ASSERT_TRUE(store.Load(paths_, ui_));
  ASSERT_TRUE(store.FileExisted());
  store.SetNumber(Setting::TrackGapTime, 1200);  // back to its default
  store.SetText(Setting::IgcSite, "Monte Grappa");
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(testing::ReadWholeFile(paths_.userFile),
            "[Logwell]\nTrackGapTime=1200\nIgcSite=\"Monte Grappa\"\nFuture=\"kept\"\n");
}

TEST_F(SettingsTest, UnreadableValuesKeepTheirDefaults) {
  WriteFile(paths_.userFile,
            "[Logwell]\nTrackGapTime=12x\nLogFilter=99999999999\nTrackvaultPassword=ABC\n"
            "PortName=\"half\nIgcSite=Plain text\n[Other]\nCtrSegError=3\n");
  SettingsStore store("/docs");
  ASSERT_TRUE(store.Load(paths_, ui_));
  EXPECT_EQ(store.Number(Setting::TrackGapTime), 1200);
  EXPECT_EQ(store.Number(Setting::LogFilter), 1);
  EXPECT_EQ(store.Binary(Setting::TrackvaultPassword), std::vector<std::uint8_t>(40, 0));
  EXPECT_EQ(store.Text(Setting::PortName), "COM1");
  EXPECT_EQ(store.Text(Setting::IgcSite), "Plain text");
  EXPECT_EQ(store.Number(Setting::CtrSegError), 10);
}

TEST_F(SettingsTest, UnreadableFileIsReportedAndNeverOverwritten) {
  // A folder where the file should be cannot be read, not even by root.
  fs::create_directories(paths_.userFile);
  SettingsStore store("/docs");
  EXPECT_FALSE(store.Load(paths_, ui_));
  ASSERT_EQ(ui_.Boxes().size(), 1u);
  EXPECT_EQ(ui_.Boxes()[0].kind, UiEventKind::Error);
  EXPECT_EQ(ui_.Boxes()[0].caption, "Registry access error");
  EXPECT_FALSE(store.Save());
  EXPECT_TRUE(fs::is_directory(paths_.userFile));
}

TEST(SettingText, EncodesAndDecodes) {
  std::string decoded;
  EXPECT_EQ(EncodeSettingText("a;b"), "\"a\\x3Bb\"");
  ASSERT_TRUE(DecodeSettingText("\"a\\x3Bb\"", decoded));
  EXPECT_EQ(decoded, "a;b");
  for (const char* bad : {"\"a\\q\"", "\"a\\x4\"", "\"a\"b\"", "\"a\\\""}) {
    EXPECT_FALSE(DecodeSettingText(bad, decoded)) << bad;
  }
}

}  // namespace
}  // namespace logwell
