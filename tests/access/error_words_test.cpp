// The words under the numbered transfer errors: each message the modules can show has them, and
// the numbered format errors say what their number means in the module that shows it.
#include "access/error_words.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace logwell {
namespace {

TEST(ErrorWords, SayWhatHappenedAndWhatToTry) {
  const struct {
    const char* message;
    ProtocolType protocol;
    const char* words;  // a part of them; empty: none
  } cases[] = {
      {"E204 COM port read error", ProtocolType::Flymaster, "stopped answering or was unplugged: check the cable"},
      {"E203 COM port read error", ProtocolType::Flytec, "stopped answering or was unplugged"},
      {"E200 COM port error while waiting for data packet", ProtocolType::GarminSerial, "was unplugged"},
      {"E202 COM port write error", ProtocolType::Dsx, "Nothing could be sent to the instrument"},
      {"E202 Timeout while waiting for record count packet", ProtocolType::GarminSerial, "stopped sending"},
      {"E205 Bad checksum (3 restarts at point 10)", ProtocolType::LogIt, "checksum does not match"},
      {"E205 Bad record type (FF)", ProtocolType::Flytec, "garbled"},
      {"E182 Unsupported waypoint transfer protocol", ProtocolType::GarminSerial, "does not read"},
      {"E204 Track log memory allocation", ProtocolType::Flytec, "larger than the memory"},
      {"E302 Missing command acknowledge", ProtocolType::Graviter, "did not confirm the command"},
      {"E206 Format error 28", ProtocolType::Flytec,
       "first line of the flight (A record: maker and logger serial) is too short"},
      {"E206 Format error 25", ProtocolType::Flytec, "positions came before the date of the flight"},
      {"E206 Format error 99", ProtocolType::Flytec, "could not be read (fault 99)"},
      // The same code and number mean different things in different modules.
      {"E302 Format error 11", ProtocolType::Flymaster, "its name is empty"},
      {"E302 Format error 12", ProtocolType::Flytec, "its short name is longer than 6 characters"},
      {"E702 Format error 22", ProtocolType::Flytec, "An airspace line the instrument sent could not be read (fault 22)"},
      // No code, or not one: nothing is added.
      {"COM port read error", ProtocolType::Dsx, ""},
      {"No valid response from GPS", ProtocolType::Flytec, ""},
      {"E20 COM port read error", ProtocolType::Flytec, ""},
      {"E206 Format error x", ProtocolType::Flytec, ""},
  };
  for (const auto& c : cases) {
    const auto words = ErrorCodeWords(c.message, c.protocol);
    if (*c.words == '\0') {
      EXPECT_FALSE(words.has_value()) << c.message << ": " << words.value_or("");
      EXPECT_EQ(WithErrorWords(c.message, c.protocol), c.message);
      continue;
    }
    ASSERT_TRUE(words.has_value()) << c.message;
    EXPECT_NE(words->find(c.words), std::string::npos) << c.message << ": " << *words;
    EXPECT_EQ(WithErrorWords(c.message, c.protocol), std::string(c.message) + "\r\n" + *words);
  }
  EXPECT_EQ(WithErrorWords("E204 COM port read error", ProtocolType::Flymaster),
            "E204 COM port read error\r\nThe instrument stopped answering or was unplugged: check the cable "
            "and that the instrument is switched on, then try again.");
}

// Every numbered message in the program's sources, its numbers filled in, has its words: a new
// message without them fails here.
TEST(ErrorWords, EveryNumberedMessageOfTheModulesHasThem) {
  const std::regex literal("\"(E(?:[0-9]{3}|%d) [^\"\n]*)\"");
  const std::regex placeholder("%[0-9]*z?[duX]|%");
  std::set<std::string> messages;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(LOGWELL_SOURCE_DIR)) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator it(source.begin(), source.end(), literal), end; it != end; ++it) {
      std::string message = std::regex_replace((*it)[1].str(), placeholder, "7");
      messages.insert(message.starts_with("E7 ") ? "E207" + message.substr(2) : message);
    }
  }
  EXPECT_GT(messages.size(), 100u);  // the walk really found the modules' messages
  for (const std::string& message : messages) {
    EXPECT_TRUE(ErrorCodeWords(message, ProtocolType::GarminSerial).has_value()) << message;
  }
}

}  // namespace
}  // namespace logwell
