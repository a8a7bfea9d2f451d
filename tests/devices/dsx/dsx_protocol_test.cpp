// The DSX codec: the identification line and the pilot data lines.
#include "devices/dsx/dsx_protocol.h"

#include <gtest/gtest.h>

namespace logwell::dsx {
namespace {

TEST(DsxCodec, IdentificationLine) {
  ProductData product;
  EXPECT_FALSE(ParseIdentity("DSX,TRACER,1234,3.4", product));
  EXPECT_EQ(ProductText(product), "DSX TRACER, S/N 1234, SW 3.4");
  EXPECT_FALSE(ParseIdentity("Conn", product));  // not an identification at all: ignored
  EXPECT_FALSE(LooksLikeIdentity("#"));
  for (const std::string_view refused : {"DSX,", "DSX,TRACER,1234", "DSX,TRACER,1234,3.4,extra", "DSX,,1234,3.4",
                                         "DSX,TRA\x01" "CER,1,2", "DSX,A,B,0123456789012345678901234"}) {
    const auto refusal = ParseIdentity(refused, product);
    ASSERT_TRUE(refusal) << refused;
    EXPECT_TRUE(refusal->starts_with("Unsupported record (identification): DSX,")) << *refusal;
  }
}

TEST(DsxCodec, PilotDataLinesLeaveBlankFieldsOut) {
  PilotData data;
  data.pilotName = "  Jane Doe ";
  data.competitionNumber = "";
  data.competitionClass = "Sport\r\nH6evil";
  data.callSign = "   ";
  data.aircraftType = std::string(50, 'x');
  data.telephone = "+41 78 000 00 00";
  const std::vector<std::string> expected{"H1Jane Doe\r", "H3Sport  H6evil\r", "H5" + std::string(40, 'x') + "\r",
                                          "H6+41 78 000 00 00\r"};
  EXPECT_EQ(PilotDataLines(data), expected);
  EXPECT_TRUE(PilotDataLines(PilotData{}).empty());
}

}  // namespace
}  // namespace logwell::dsx
