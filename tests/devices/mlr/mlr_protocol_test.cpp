// The MLR codec: the product answer, the standard NMEA sentences of a transfer and the upload
// sentence, good and broken.
#include "devices/mlr/mlr_protocol.h"

#include <gtest/gtest.h>

#include "access/nmea.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::mlr {
namespace {

std::vector<std::string_view> Fields(std::string& line) { return SplitNmeaSentence(line, 20); }

TEST(MlrCodec, ProductAnswersOfEachMaker) {
  struct Case {
    std::string line;
    std::string text;  // empty: refused
  };
  const Case cases[] = {
      {"$PMLR,24,MLR,SP24XC,398", "MLR SP24XC SW3.98"},
      {"$PMLR,24,digifly,Leonardo,205", "Digifly Leonardo SW2.05"},
      {"$PMLR,24,CPilot,Evo,1000", "CPilot Evo SW10.00"},
      {"$PMLR,24,CoMo,One,7", "CoMo One SW0.07"},
      {"$PMLR,24,Garmin,Etrex,100", ""},
      {"$PMLR,24,MLR,,100", ""},
      {"$PMLR,24,MLR,SP24,1a0", ""},
      {"$PMLR,24,MLR,SP24", ""},
      {"$PMLR,25,MLR,SP24,100", ""},
  };
  for (const Case& c : cases) {
    std::string line = c.line;
    ProductData product;
    const auto refusal = ParseProductAnswer(Fields(line), product);
    if (c.text.empty()) {
      ASSERT_TRUE(refusal) << c.line;
      EXPECT_TRUE(refusal->starts_with("Unsupported record $PMLR")) << *refusal;
    } else {
      ASSERT_FALSE(refusal) << *refusal;
      EXPECT_EQ(ProductText(product), c.text);
    }
  }
  EXPECT_EQ(TransferRequest(1), AppendNmeaChecksum("$PMLR,59,1,"));
}

TEST(MlrCodec, RmcAndGgaMakeOneFix) {
  std::string rmc = "$GPRMC,123519,A,4807.0380,N,01131.0005,W,022.4,084.4,230324,003.1,W";
  std::string gga = "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,";
  FixInProgress fix;
  ASSERT_FALSE(ParseRmc(Fields(rmc), fix));
  TrackPoint point;
  ASSERT_FALSE(ParseGga(Fields(gga), fix, point));
  EXPECT_EQ(point.time, CalendarToGarminTime(CalendarTime{2024, 3, 0, 23, 12, 35, 19}));
  EXPECT_EQ(point.latitude, DegreesToSemicircles(48 + 7.038 / 60));
  EXPECT_EQ(point.longitude, DegreesToSemicircles(-(11 + 31.0005 / 60)));
  EXPECT_EQ(point.gpsAltitude, 5454);

  for (const char* bad : {
           "$GPRMC,123519,V,4807.038,N,01131.000,E,0,0,230394,,",  // no fix
           "$GPRMC,126019,A,4807.038,N,01131.000,E,0,0,230394,,",  // 60 minutes
           "$GPRMC,123519,A,4860.038,N,01131.000,E,0,0,230394,,",
           "$GPRMC,123519,A,9100.000,N,01131.000,E,0,0,230394,,",
           "$GPRMC,123519,A,4807.038,X,01131.000,E,0,0,230394,,",
           "$GPRMC,123519,A,4807.038,N,1131.000,E,0,0,230394,,",
           "$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,231394,,",
           "$GPRMC,123519,A,4807.038,N,01131.000,E,0,0,2303,,",
           "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,",  // GGA before RMC
       }) {
    std::string line = bad;
    FixInProgress fresh;
    EXPECT_TRUE(ParseRmc(Fields(line), fresh)) << bad;
  }
  // A GGA of another second, or without metres, does not complete the fix.
  for (const char* bad : {"$GPGGA,123520,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,",
                          "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,F,46.9,M,,",
                          "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,5x5.4,M,46.9,M,,"}) {
    std::string line = bad;
    FixInProgress pending = fix;
    pending.pending = true;
    EXPECT_TRUE(ParseGga(Fields(line), pending, point)) << bad;
  }
}

TEST(MlrCodec, WaypointSentencesBothWays) {
  Waypoint w;
  w.SetId("fiesch");
  w.SetDescription("Fiesch, west*top");
  w.latitude = DegreesToSemicircles(46.4097);
  w.longitude = DegreesToSemicircles(-8.1364);
  std::string sentence;
  ASSERT_EQ(WaypointSentence(w, sentence), 0);
  EXPECT_EQ(sentence, AppendNmeaChecksum("$GPWPL,4624.582,N,00808.184,W,FIESCH0Fiesch  west top"));
  std::string line = sentence.substr(0, sentence.size() - 2);
  Waypoint back;
  ASSERT_FALSE(ParseWaypoint(Fields(line), back));
  EXPECT_EQ(back.Id(), "FIESCH");
  EXPECT_EQ(back.Description(), "Fiesch  west top");
  EXPECT_NEAR(back.latitude, w.latitude, 100);
  EXPECT_NEAR(back.longitude, w.longitude, 100);
  // A plain NMEA waypoint: its identifier is its name.
  std::string plain = "$GPWPL,4917.16,N,12310.64,W,003";
  ASSERT_FALSE(ParseWaypoint(Fields(plain), back));
  EXPECT_EQ(back.Id(), "003");

  w.SetId("");
  EXPECT_EQ(WaypointSentence(w, sentence), -306);
  w.SetId("A;B");
  EXPECT_EQ(WaypointSentence(w, sentence), -305);
}

}  // namespace
}  // namespace logwell::mlr
