// What of a box's text is cut, and how the headless program prints the lines below a message.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/headless_ui.h"
#include "base/ui.h"

namespace logwell {
namespace {

TEST(BoxText, TheMessageIsCutAndItsDetailsStayWhole) {
  const std::string longLine(150, 'x');
  const std::string details = "/dev/ttyUSB0: cannot be opened (No such file or directory)\r\n" + std::string(120, 'p');
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {longLine, longLine.substr(0, kMaxBoxTextLength)},
      {"E204 COM port read error\r\n" + longLine, "E204 COM port read error\r\n" + longLine},
      {longLine + "\r\n" + details, longLine.substr(0, kMaxBoxTextLength) + "\r\n" + details},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CutBoxText(c.text), c.shown);
}

TEST(HeadlessUi, DetailsGoOnIndentedLinesUnderTheMessage) {
  std::FILE* err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  HeadlessUi ui(stdout, err, true);
  ui.ShowErrorBox("E204 COM port read error\r\nThe instrument stopped answering.", "Read GPS track log");
  std::rewind(err);
  char buffer[256] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, err);
  std::fclose(err);
  EXPECT_EQ(std::string(buffer, n), "Read GPS track log: E204 COM port read error\n  The instrument stopped answering.\n");
}

}  // namespace
}  // namespace logwell
