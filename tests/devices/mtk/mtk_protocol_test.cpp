// The $PMTK sentences: the memory request, and real and broken answers.
#include <gtest/gtest.h>

#include "access/nmea.h"
#include "devices/mtk/mtk_protocol.h"

namespace logwell::mtk {
namespace {

// A sentence as the assembler hands it over: checksum appended, without CR LF.
std::string Line(std::string_view body) {
  std::string line = AppendNmeaChecksum(body);
  line.resize(line.size() - 2);
  return line;
}

TEST(MtkProtocol, FixedRequestsCarryTheirChecksums) {
  for (std::string_view request : {kProductRequest, kStatusRequest, kLoggingOffRequest,
                                   kMemoryUsedRequest, kLoggingOnRequest, kEraseRequest}) {
    const std::string_view body = request.substr(0, request.find('*'));
    EXPECT_EQ(AppendNmeaChecksum(body), request);
  }
  EXPECT_EQ(ReadMemoryRequest(0x1A00, 256), AppendNmeaChecksum("$PMTK182,7,00001A00,00000100"));
}

TEST(MtkProtocol, Answers) {
  struct Case {
    std::string body;  // checksum appended unless `raw`
    bool raw;
    SentenceStatus status;
    Answer::Kind kind;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"$PMTK705,AXN_1.0-B_1.3_C01,0001,TSI-747A,1.0", false, SentenceStatus::Ok,
       Answer::Kind::Product, 0},
      {"$PMTK182,3,7,2", false, SentenceStatus::Ok, Answer::Kind::Status, 2},
      {"$PMTK182,3,8,0001A2F0", false, SentenceStatus::Ok, Answer::Kind::MemoryUsed, 0x1A2F0},
      {"$PMTK182,8,00000100,FFAA01", false, SentenceStatus::Ok, Answer::Kind::MemoryChunk, 0x100},
      {"$PMTK001,182,5,3", false, SentenceStatus::Ok, Answer::Kind::Acknowledge, 0},
      {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", false,
       SentenceStatus::Ok, Answer::Kind::Other, 0},
      {"$PMTK182,8,00000100,FFAA01*00", true, SentenceStatus::BadChecksum, Answer::Kind::Other, 0},
      {"$PMTK182,8,00000100,FFAA01", true, SentenceStatus::BadChecksum, Answer::Kind::Other, 0},
      {"$PMTK182,8,00000100,FFA", false, SentenceStatus::Malformed, Answer::Kind::Other, 0},
      {"$PMTK182,8,00000100,FFZZ", false, SentenceStatus::Malformed, Answer::Kind::Other, 0},
      {"$PMTK182,8,X0000100,FF", false, SentenceStatus::Malformed, Answer::Kind::Other, 0},
      {"$PMTK182,3,8,-5", false, SentenceStatus::Malformed, Answer::Kind::Other, 0},
      {"$PMTK001,182,5,9", false, SentenceStatus::Malformed, Answer::Kind::Other, 0},
      {"$PMTK705", false, SentenceStatus::Malformed, Answer::Kind::Other, 0},
  };
  for (const Case& c : cases) {
    const std::string line = c.raw ? c.body : Line(c.body);
    Answer answer;
    EXPECT_EQ(ReadAnswer(line, answer), c.status) << c.body;
    if (c.status != SentenceStatus::Ok) continue;
    EXPECT_EQ(answer.kind, c.kind) << c.body;
    if (c.kind != Answer::Kind::Product && c.kind != Answer::Kind::Acknowledge) {
      EXPECT_EQ(answer.value, c.value) << c.body;
    }
  }
  Answer answer;
  ASSERT_EQ(ReadAnswer(Line("$PMTK182,8,00000100,FFAA01"), answer), SentenceStatus::Ok);
  EXPECT_EQ(answer.data, (std::vector<std::uint8_t>{0xFF, 0xAA, 0x01}));
  ASSERT_EQ(ReadAnswer(Line("$PMTK705,AXN_1.0,0001,TSI,1.0"), answer), SentenceStatus::Ok);
  EXPECT_EQ(answer.firmware, "AXN_1.0,0001");
  ASSERT_EQ(ReadAnswer(Line("$PMTK001,182,5,3"), answer), SentenceStatus::Ok);
  EXPECT_EQ(answer.command, "182,5");
  EXPECT_EQ(answer.result, 3);
}

}  // namespace
}  // namespace logwell::mtk
