#include "base/headless_ui.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace logwell {
namespace {

const std::vector<std::string> kStatuses = {
    "Connecting to GPS",
    "Track position 5 of 200 (0m 1s)",
    "Track position 10 of 200 (0m 1s)",
    "Track position 200 of 200 (0m 0s)",
    "200 track positions read",
};

// What the Ui writes for kStatuses and one error to `out` (its error stream too).
void ShowAll(std::FILE* out) {
  HeadlessUi ui(out, out);
  for (const std::string& status : kStatuses) ui.ShowStatus(status);
  ui.ShowErrorBox("E204 COM port read error", "Read track log");
  ui.ShowStatus("Track position 10 of 20");
}

// On a terminal a transfer's progress rewrites one line in place, with the share done; the
// texts around it, and an error in between, keep their own lines, and every line ends (whatever
// else writes to the terminal starts on a line of its own).
TEST(HeadlessUi, ProgressRewritesOneLineOnATerminal) {
  int master = -1;
  int slave = -1;
  termios raw{};
  ::cfmakeraw(&raw);
  ASSERT_EQ(::openpty(&master, &slave, nullptr, &raw, nullptr), 0);
  ASSERT_TRUE(::isatty(slave));
  std::FILE* out = ::fdopen(slave, "w");
  ASSERT_NE(out, nullptr);
  ShowAll(out);
  std::fclose(out);
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof(buffer))) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  EXPECT_EQ(shown,
            "Connecting to GPS\n"
            "Track position 5 of 200 (0m 1s)\n"
            "\x1b[1A\rTrack position 10 of 200 (0m 1s)  5%\x1b[K\n"
            "\x1b[1A\rTrack position 200 of 200 (0m 0s)  100%\x1b[K\n"
            "200 track positions read\n"
            "Read track log: E204 COM port read error\n"
            "Track position 10 of 20\n");
}

// To a file or pipe every status text is a plain line.
TEST(HeadlessUi, EveryStatusIsALineWhenNotATerminal) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ShowAll(out);
  std::rewind(out);
  std::string shown;
  for (int c; (c = std::fgetc(out)) != EOF;) shown += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(shown,
            "Connecting to GPS\n"
            "Track position 5 of 200 (0m 1s)\n"
            "Track position 10 of 200 (0m 1s)\n"
            "Track position 200 of 200 (0m 0s)\n"
            "200 track positions read\n"
            "Read track log: E204 COM port read error\n"
            "Track position 10 of 20\n");
}

}  // namespace
}  // namespace logwell
