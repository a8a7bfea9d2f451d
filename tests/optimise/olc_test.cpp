// The OLC computation, its scoring and texts, and the claim file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "flights.h"
#include "optimise/claim_file.h"
#include "optimise/olc.h"
#include "sim/flight_generator.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

class RecordingView final : public OlcView {
 public:
  void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
  void ShowKind(OlcKind, const OlcKindResult&) override { ++kinds; }
  void ShowResult(std::string_view text) override { result = text; }
  std::vector<std::string> statuses;
  int kinds = 0;
  std::string result;
};

std::vector<TrackPoint> FaiFlight() {
  sim::FlightPlan plan;
  plan.course = sim::CourseShape::FaiTriangle;
  plan.courseLengthKm = 45;
  plan.duration = std::chrono::seconds(2 * 3600);
  plan.fixInterval = std::chrono::milliseconds(3000);
  return sim::GenerateFlight(plan);
}

TEST(Olc, ComputesScoresAndTheBestResult) {
  RecordingView view;
  OlcComputation computation(FaiFlight(), OlcSource{}, view);
  testing::ScriptedUi ui;
  ASSERT_TRUE(computation.Start(ui));
  computation.Wait();
  ASSERT_EQ(computation.CurrentState(), OlcComputation::State::Completed);
  EXPECT_EQ(view.statuses.front(), "Computing distance matrix");
  EXPECT_EQ(view.statuses.back(), "Optimization completed");
  const auto& fai = computation.Kind(OlcKind::FaiTriangle);
  ASSERT_TRUE(fai.found);
  EXPECT_NEAR(fai.legs[0] + fai.legs[1] + fai.legs[2], 45000.0, 2500.0);
  EXPECT_EQ(computation.Scores().best, OlcBest::FaiTriangle);
  EXPECT_EQ(view.result, BestResultText(computation.Scores()));
  EXPECT_EQ(view.result.rfind("Best result is FAI triangle with ", 0), 0u);
  EXPECT_EQ(computation.ProgressText(), "Done:");
}

TEST(Olc, RefusesFewerThanFivePositionsAndHalts) {
  RecordingView view;
  testing::ScriptedUi ui;
  std::vector<TrackPoint> four(4);
  OlcComputation tooFew(four, OlcSource{}, view);
  EXPECT_FALSE(tooFew.Start(ui));
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, "Number of positions must be 5 or more");

  OlcComputation halted(FaiFlight(), OlcSource{}, view);
  halted.Halt();
  halted.Run();
  EXPECT_EQ(halted.CurrentState(), OlcComputation::State::Halted);
  EXPECT_EQ(view.statuses.back(), "Computation halted");
}

TEST(Olc, BestResultRuleFavoursTrianglesOnTies) {
  OlcKindResult free, triangle, fai;
  free.found = triangle.found = fai.found = true;
  // FAI triangle with the same points as the free triangle: the FAI triangle is reported.
  free.distance = 10000;     // 15 points
  triangle.distance = 20000; // 35 points
  fai.distance = 17500;      // 35 points
  auto scores = ScoreOlc(free, triangle, fai);
  EXPECT_EQ(scores.best, OlcBest::FaiTriangle);
  EXPECT_EQ(BestResultText(scores), "Best result is FAI triangle with 35.00 points");
  fai.found = false;
  scores = ScoreOlc(free, triangle, fai);
  EXPECT_EQ(BestResultText(scores), "Best result is free triangle with 35.00 points");
  free.distance = 30000;
  scores = ScoreOlc(free, triangle, fai);
  EXPECT_EQ(BestResultText(scores), "Best result is free distance with 45.00 points");
}

TEST(Olc, KindTextsShowPositionsAndTriangleShares) {
  const std::vector<TrackPoint> track{testing::PointAtKm(0, 0, 36000, 46.5, 8.0),
                                      testing::PointAtKm(10, 0, 36060, 46.5, 8.0),
                                      testing::PointAtKm(5, 8, 36120, 46.5, 8.0),
                                      testing::PointAtKm(0, 0.1, 36180, 46.5, 8.0),
                                      testing::PointAtKm(0, 0.2, 36240, -46.5, -8.0)};
  OlcKindResult kind;
  kind.found = true;
  kind.points = {0, 1, 2, 3, 4};
  kind.legs = {10000, 9000, 11000};
  kind.closing = 1500;
  const auto texts = FormatOlcKind(track, kind, true);
  ASSERT_EQ(texts.points.size(), 5u);
  EXPECT_EQ(texts.points[0].number, "1");
  EXPECT_EQ(texts.points[0].time, "10:00:00");
  EXPECT_EQ(texts.points[0].latitude, "N 46  30  00.00");
  EXPECT_EQ(texts.points[0].longitude, "E 008  00  00.00");
  EXPECT_EQ(texts.points[4].latitude.front(), 'S');
  EXPECT_EQ(texts.points[4].longitude.front(), 'W');
  EXPECT_EQ(texts.perimeter, "30.00 km");
  EXPECT_EQ(texts.scoredDistance, "28.50 km");
  EXPECT_EQ(texts.closing, "1.50");
  EXPECT_EQ(texts.legShares[0], "33.33 %");
}

OlcClaimForm GoodForm() {
  OlcClaimForm form;
  form.firstName = "Anna Maria";
  form.lastName = "Muller&Co";
  form.birthDate = "3.7.1975";
  form.gliderType = "Alpha 6";
  form.startPlace = "Fiesch";
  form.classIndex = 2;
  form.regionIndex = 9;  // CH
  form.flightNumber = "2";
  return form;
}

TEST(OlcClaim, FormChecksComeInOrder) {
  struct Case {
    void (*edit)(OlcClaimForm&);
    const char* message;
  };
  const Case cases[] = {
      {[](OlcClaimForm& f) { f.firstName.clear(); }, "Missing first name"},
      {[](OlcClaimForm& f) { f.lastName = " "; }, "Missing last name"},
      {[](OlcClaimForm& f) { f.birthDate.clear(); }, "Missing birth date"},
      {[](OlcClaimForm& f) { f.birthDate = "3/7/75"; }, "Bad birth date format"},
      {[](OlcClaimForm& f) { f.classIndex = -1; }, "Combo box read error"},
      {[](OlcClaimForm& f) { f.gliderType.clear(); }, "Missing glider type"},
      {[](OlcClaimForm& f) { f.startPlace.clear(); }, "Missing start place"},
      {[](OlcClaimForm& f) { f.flightNumber.clear(); }, "Missing flight number"},
      {[](OlcClaimForm& f) { f.flightNumber = "2x"; }, "Bad flight number input"},
      {[](OlcClaimForm& f) { f.flightNumber = "36"; }, "Flight number out of range"},
  };
  for (const auto& c : cases) {
    OlcClaimForm form = GoodForm();
    c.edit(form);
    testing::ScriptedUi ui;
    EXPECT_FALSE(CheckClaimForm(form, ui));
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].text, c.message);
    EXPECT_EQ(ui.Boxes()[0].caption, "User information input");
  }
  testing::ScriptedUi ui;
  const auto entries = CheckClaimForm(GoodForm(), ui);
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->birthDate, "03.07.75");
  EXPECT_EQ(entries->classNumber, 3);
  EXPECT_EQ(entries->regionCode, "CH");
}

TEST(OlcClaim, PercentEncodingKeepsOnlyTheSafeCharacters) {
  EXPECT_EQ(PercentEncode("Az09!$&()*+,-._"), "Az09!$&()*+,-._");
  EXPECT_EQ(PercentEncode("a b/\xC3\xA9=%"), "a%20b%2F%C3%A9%3D%25");
}

// A Ui that saves where the test says.
class SavingUi final : public Ui {
 public:
  explicit SavingUi(std::filesystem::path target) : target_(std::move(target)) {}
  void ShowErrorBox(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  void ShowInfoBox(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  Answer AskOkCancel(std::string_view, std::string_view, Answer a) override { return a; }
  Answer AskYesNo(std::string_view, std::string_view, Answer a) override { return a; }
  Answer AskYesNoCancel(std::string_view, std::string_view, Answer a) override { return a; }
  void ShowStatus(std::string_view) override {}
  void ShowProduct(std::string_view) override {}
  std::optional<std::vector<int>> ChooseFromList(const ListChoice&) override { return std::nullopt; }
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm&) override { return NewTrackLogChoice::Cancel; }
  std::optional<std::string> ChooseSaveFile(const SaveFileChoice& choice) override {
    suggested = choice.suggestedName;
    return target_.string();
  }
  std::vector<std::string> messages;
  std::string suggested;

 private:
  std::filesystem::path target_;
};

TEST(OlcClaim, ClaimTextAndFileWithNewIgc) {
  // A flight from 23:50 to past midnight: the finish gets 24 hours added.
  std::vector<TrackPoint> track;
  const GarminTime start = 1054029600 + 13 * 3600 + 50 * 60;  // 2023-05-26 23:50:00
  for (int i = 0; i < 30; ++i) {
    track.push_back(testing::PointAtKm(i * 0.5, (i % 4) * 0.3, start + i * 60, 46.5, 8.0));
  }
  RecordingView view;
  OlcComputation computation(track, OlcSource{}, view);
  computation.Run();
  ASSERT_EQ(computation.CurrentState(), OlcComputation::State::Completed);
  testing::ScriptedUi checkUi;
  const auto entries = CheckClaimForm(GoodForm(), checkUi);
  ASSERT_TRUE(entries);
  const std::string claim = BuildClaimText(computation, *entries);
  EXPECT_EQ(claim.rfind("OLCvnolc=Anna%20Maria&na=Muller&Co&geb=03.07.75&gty=Alpha%206&sta=Fiesch"
                        "&region=CH&gid=&klasse=3&igcfn=2023-05-26-XLW-000-02&flugzeug=1&ft=",
                        0),
            0u)
      << claim;
  const auto claimPoints = computation.ClaimPoints();
  const GarminTime s0 = track[claimPoints[0]].time;
  EXPECT_NE(claim.find("&ft=" + std::to_string(s0 / 86400 + 142078) + "&s0="), std::string::npos);
  EXPECT_NE(claim.find("&w0bh=N&w0bg=46&w0bm=3"),
            std::string::npos)
      << claim;
  if (track[claimPoints[4]].time % 86400 <= s0 % 86400) {
    EXPECT_NE(claim.find("&s4=24:"), std::string::npos) << claim;
  }
  EXPECT_EQ(claim.substr(claim.size() - 20), "&software=Logwell507");

  const auto dir = std::filesystem::temp_directory_path() / "logwell-olc-test";
  std::filesystem::create_directories(dir);
  SavingUi ui(dir / "claim");
  ASSERT_TRUE(SaveClaimFile(computation, *entries, true, ui));
  EXPECT_EQ(ui.suggested, "2023-05-26-XLW-000-02");
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back(), "File written. NO security record");
  std::ifstream in(dir / "claim.olc", std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str().rfind(claim + "&IGCigcIGC=A", 0), 0u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace logwell
