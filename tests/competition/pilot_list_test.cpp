#include "competition/pilot_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fixtures.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

PilotRecord Pilot(std::string name, std::int32_t compId, std::int32_t civlId) {
  PilotRecord pilot;
  pilot.name = std::move(name);
  pilot.compId = compId;
  pilot.civlId = civlId;
  return pilot;
}

PilotList Parse(std::string_view text) {
  std::string error;
  auto pilots = ParsePilotList(text, error);
  EXPECT_TRUE(pilots.has_value()) << error;
  return pilots.value_or(PilotList{});
}

std::string Refusal(std::string_view text) {
  std::string error;
  EXPECT_FALSE(ParsePilotList(text, error).has_value()) << text;
  return error;
}

TEST(PilotListCsv, ReadsFieldsHeadersAndLineEnds) {
  const PilotList pilots = Parse(
      "\xEF\xBB\xBFname,CompId,CivlId\r\n"
      "  Jane Doe , 17 , 1234 ,GPS A,,,Vario D,ignored\r\n"
      "\r\n"
      "Only A Name\n"
      "Neg Ative,-5,\r"
      "\"Smith, John\",8,9\n");
  ASSERT_EQ(pilots.size(), 4u);
  EXPECT_EQ(pilots[0].name, "Jane Doe");
  EXPECT_EQ(pilots[0].compId, 17);
  EXPECT_EQ(pilots[0].civlId, 1234);
  EXPECT_EQ(pilots[0].devices[0], "GPS A");
  EXPECT_EQ(pilots[0].devices[3], "Vario D");
  EXPECT_EQ(pilots[1], Pilot("Only A Name", -1, -1));
  EXPECT_EQ(pilots[2], Pilot("Neg Ative", -1, -1));
  EXPECT_EQ(pilots[3], Pilot("Smith, John", 8, 9));
}

// A name goes into file names and onto terminals: a line break inside quotes keeps the record
// whole, and control characters (an escape sequence) are dropped; a quote that never closes
// still ends its record at the line's end.
TEST(PilotListCsv, LineBreaksInQuotesAndControlCharacters) {
  const PilotList pilots = Parse(
      "\"Jane\r\nDoe\",17,1234\r\n"
      "\"Esc\x1B]0;x\x07" "ape\",5,6,\"GPS\x1B[2J\"\n"
      "\"Open quote,8,9\n"
      "Last,1,2\n");
  ASSERT_EQ(pilots.size(), 4u);
  EXPECT_EQ(pilots[0], Pilot("Jane Doe", 17, 1234));
  EXPECT_EQ(pilots[1].name, "Esc]0;xape");
  EXPECT_EQ(pilots[1].devices[0], "GPS[2J");
  EXPECT_EQ(pilots[2].name, "Open quote,8,9");
  EXPECT_EQ(pilots[3], Pilot("Last", 1, 2));
}

TEST(PilotListCsv, SpreadsheetSeparatorsColumnsAndWindows1252) {
  // Semicolons (a spreadsheet where the comma is the decimal sign), columns by the header.
  EXPECT_EQ(Parse("Name;CivlId;CompId\r\nEva Example;40105;105\r\n\"Zupan; Gregor\";;107\r\n"),
            (PilotList{Pilot("Eva Example", 105, 40105), Pilot("Zupan; Gregor", 107, -1)}));
  EXPECT_EQ(Parse("Name\tCompId\tCivlId\nAnn Lee\t3\t33\n"), (PilotList{Pilot("Ann Lee", 3, 33)}));
  // A comma inside a name of a semicolon list is part of the name.
  EXPECT_EQ(Parse("Doe, Jane;17;1234\n"), (PilotList{Pilot("Doe, Jane", 17, 1234)}));

  std::string notice;
  std::string error;
  const auto latin = ParsePilotList("Name,CompId,CivlId\r\nM\xFCller \x80,5,6\r\n", error, &notice);
  ASSERT_TRUE(latin.has_value()) << error;
  EXPECT_EQ(latin->front().name, "M\xC3\xBCller \xE2\x82\xAC");  // "Müller €"
  EXPECT_EQ(notice, "The pilot list is not UTF-8: read as Windows-1252");
  notice.clear();
  ASSERT_TRUE(ParsePilotList("M\xC3\xBCller,5,6\n", error, &notice).has_value());
  EXPECT_EQ(notice, "");
}

TEST(PilotListCsv, WritesWhatItReadsBack) {
  PilotList pilots{Pilot("Jane Doe", 17, 1234), Pilot("Smith, \"Jo\"", -1, 5),
                   Pilot("Nobody", -1, -1)};
  pilots[0].devices[1] = "Flytec 6030";
  const std::string text = WritePilotListCsv(pilots);
  EXPECT_TRUE(text.starts_with("Name,CompId,CivlId,Device1,Device2,Device3,Device4\r\n"
                               "Jane Doe,17,1234,,Flytec 6030,,\r\n"));
  EXPECT_NE(text.find("\r\nNobody,,,,,,\r\n"), std::string::npos);
  EXPECT_EQ(Parse(text), pilots);
}

TEST(PilotList, RefusesTheWholeFile) {
  struct Case {
    std::string_view text;
    std::string_view message;
  };
  const Case cases[] = {
      {"A,1,2\nName,CompId,CivlId\n", "Bad CompId number on line 2"},  // a header only first
      {"A,x1,2\n", "Bad CompId number on line 1"},
      {"\r\nA,1,2\r\nB,3,2b\r\n", "Bad CivlId number on line 3"},
      {"Name;CompId;CivlId\nA;101;7\nB;102;8\nC;101;9\n", "Comp. ID 101 on line 4 is already on line 2"},
      {"A\t1\t7\nB\t2\t7\n", "CIVL ID 7 on line 2 is already on line 1"},
      {"Name;CompId;CIVL\nA;1;2\n", "The header on line 1 has no column CivlId"},
      {"Name;Comp;CivlId\nA;1;2\n", "The header on line 1 has no column CompId"},
      {"\r\n\n", "No pilots found"},
      {"<Fs></Fs>", "Missing opening tag '<?xml>'"},
      {"\xFF\xFE<?xml version=\"1.0\"?>", "Unknown BOM before opening tag '<?xml>'"},
      {"\xFF\xFE<RACE></RACE>", "Unknown BOM before opening tag '<RACE>'"},
      {"<?xml version=\"1.0\"?><Fs><FsParticipants><FsParticipant/></FsParticipants></Fs>",
       "Missing data for pilot 1 in list"},
      {"<?xml version=\"1.0\"?><Fs><FsParticipants><FsParticipant name=\"A\" id=\"1\"/>"
       "<FsParticipant id=\"2\"/></FsParticipants></Fs>",
       "Missing name for pilot 2 in list"},
      {"<?xml version=\"1.0\"?><Fs><FsParticipants><FsParticipant name=\"A\" id=\"-1\"/>"
       "</FsParticipants></Fs>",
       "Bad/missing comp. ID for pilot 1 in list"},
      {"<?xml version=\"1.0\"?><Fs><FsParticipants><FsParticipant name=\"A\" id=\"1\" "
       "CIVLID=\"x\"/></FsParticipants></Fs>",
       "Bad CIVL ID for pilot 1 in list"},
      {"<?xml version=\"1.0\"?><Fs><FsParticipants></FsParticipants></Fs>", "No pilots found"},
      {"<?xml version=\"1.0\"?><Fs><FsParticipants></Fs>",
       "Tag <FsParticipants> is terminated by <Fs>"},
      {"<RACE><tblPilot><pilLastName></pilLastName></tblPilot></RACE>",
       "Missing name for pilot 1 in list"},
      {"<RACE><tblPilot><pilLastName>B</pilLastName><pilNumber>7x</pilNumber></tblPilot></RACE>",
       "Bad/missing pilot ID for pilot 1 in list"},
      {"<RACE><tblPilot><pilLastName>B</pilLastName><pilIDGlobal>-3</pilIDGlobal></tblPilot>"
       "</RACE>",
       "Bad/missing CIVL ID for pilot 1 in list"},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.text), c.message) << c.text;
  const std::string longName(81, 'x');
  EXPECT_EQ(Refusal("<RACE><tblPilot><pilLastName>" + longName + "</pilLastName></tblPilot></RACE>"),
            "Name too long for pilot 1 in list");
}

TEST(PilotList, ReadsTheScoringProgramsDatabases) {
  const PilotList fs = Parse(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Fs version=\"3.5\">"
      "<FsCompetition><FsParticipants>"
      "<FsParticipant id=\"12\" name=\"Ann &amp; Bee\" CIVLID=\"4567\" />"
      "<FsParticipant id=\"13\" name=\"Carl\"><FsCivlPilot id=\"89\"/></FsParticipant>"
      "<FsParticipant id=\"14\" name=\"Dora\"></FsParticipant>"
      "</FsParticipants><FsTasks><FsTask name=\"x\"/></FsTasks></FsCompetition></Fs>");
  EXPECT_EQ(fs, (PilotList{Pilot("Ann & Bee", 12, 4567), Pilot("Carl", 13, 89),
                           Pilot("Dora", 14, -1)}));

  const PilotList race = Parse(
      "<RACE><tblPilot><pilFirstName>Jane</pilFirstName><pilLastName>Doe</pilLastName>"
      "<pilNumber>3</pilNumber><pilIDGlobal>777</pilIDGlobal></tblPilot>"
      "<tblPilot><pilFirstName></pilFirstName><pilLastName>Solo</pilLastName></tblPilot>"
      "</RACE>");
  EXPECT_EQ(race, (PilotList{Pilot("Jane Doe", 3, 777), Pilot("Solo", -1, -1)}));
}

TEST(PilotList, DisplayTextsAndLookUp) {
  const PilotList pilots{Pilot("A", 1, 10), Pilot("B", 2, -1), Pilot("C", -1, 30),
                         Pilot("D", -1, -1)};
  EXPECT_EQ(PilotDisplayText(pilots[0]), "A (comp. 1, CIVL 10)");
  EXPECT_EQ(PilotDisplayText(pilots[1]), "B (comp. 2)");
  EXPECT_EQ(PilotDisplayText(pilots[2]), "C (CIVL 30)");
  EXPECT_EQ(PilotDisplayText(pilots[3]), "D");
  EXPECT_EQ(FindPilot(pilots, 2, -1), &pilots[1]);
  EXPECT_EQ(FindPilot(pilots, -1, 30), &pilots[2]);
  EXPECT_EQ(FindPilot(pilots, 9, -1), nullptr);
  EXPECT_EQ(FindPilot(pilots, -1, -1), nullptr);
}

TEST(PilotList, FileFailuresAndSaving) {
  testing::ScriptedUi ui;
  const auto dir = std::filesystem::temp_directory_path() / "logwell_pilot_list_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  EXPECT_FALSE(ReadPilotListFile(dir / "missing.csv", ui));
  {
    std::FILE* f = std::fopen((dir / "empty.csv").c_str(), "wb");
    std::fclose(f);
  }
  EXPECT_FALSE(ReadPilotListFile(dir / "empty.csv", ui));
  ASSERT_EQ(ui.Boxes().size(), 2u);
  EXPECT_EQ(ui.Boxes()[0].text, "Error opening database file");
  EXPECT_EQ(ui.Boxes()[1].text, "Database file is empty");
  EXPECT_EQ(ui.Boxes()[1].caption, "Decoding pilot list file");

  ui.Clear();
  EXPECT_EQ(SavePilotListCsv({}, dir / "list.csv", ui), -1);
  const PilotList pilots{Pilot("A", 1, 10)};
  EXPECT_EQ(SavePilotListCsv(pilots, dir / "list.csv", ui), 0);
  ui.ScriptAnswer(Answer::No);
  EXPECT_EQ(SavePilotListCsv(pilots, dir / "list.csv", ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "File already exists, overwrite ?");
  EXPECT_EQ(SavePilotListCsv(pilots, dir / "no-such-folder" / "list.csv", ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "File write error");
  EXPECT_EQ(ReadPilotListFile(dir / "list.csv", ui), pilots);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace logwell
