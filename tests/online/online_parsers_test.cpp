#include <gtest/gtest.h>

#include <string>

#include "online/ftp_send.h"
#include "online/http_session.h"
#include "online/response_check.h"
#include "online/validation.h"
#include "online/web_logbook.h"

namespace logwell::online {
namespace {

TEST(ValidationReply, ParsesOnlyTheDefinedLanguage) {
  struct Case {
    std::string text;
    bool parses;
    bool passes;
  };
  const Case cases[] = {
      {R"({"result":"PASSED","status":"IGC_PASSED","msg":"ok"})", true, true},
      {"\x85\xA0\v{ \"result\" : \"PASSED\",\r\n\"status\":\"IGC_PASSED\",\f\"msg\":\"\" }\t", true,
       true},
      {R"({"result":"PASSED","status":"IGC_FAILED","msg":"ok"})", true, false},
      {R"({"result":"PASSED","status":"IGC_PASSED","msg":"\u00e9"})", false, false},
      {R"({"result":"PASSED","status":"IGC_PASSED","msg":"a\"\\\/\b\t\n\f\r"})", true, true},
      {R"({"result":"PASSED","status":"IGC_PASSED","msg":"\x"})", false, false},
      {R"({"result":"PASSED","status":"IGC_PASSED","msg":1})", false, false},
      {R"({"result":1,"status":"IGC_PASSED"})", false, false},
      {R"({"result":"PASSED","status":"IGC_PASSED","n":-1.5e+3,"a":[1,{"b":null}],"t":true})",
       true, true},
      {R"({"result":"PASSED","status":"IGC_PASSED","n":01})", false, false},
      {R"({"result":"PASSED","status":"IGC_PASSED"} x)", false, false},
      {R"({"result":"PASSED","status":"IGC_PASSED",})", false, false},
      {"{}", true, false},
      {"", false, false},
      {R"({"result":"PASS)", false, false},
      {std::string(100, '[') + std::string(100, ']'), false, false},
      {"{\"a\":" + std::string(200, '[') + std::string(200, ']') + "}", false, false},
  };
  for (const Case& c : cases) {
    const auto reply = ParseValidationReply(c.text);
    EXPECT_EQ(reply.has_value(), c.parses) << c.text;
    EXPECT_EQ(reply && reply->Passed(), c.passes) << c.text;
  }
}

TEST(ResponseCheck, StatusAndLocationNumbers) {
  EXPECT_EQ(ReadStatusCode("HTTP/1.1 302 Found\r\n"), 302);
  EXPECT_EQ(ReadStatusCode("HTTP/1.0 200\r\n"), 200);
  EXPECT_EQ(ReadStatusCode("HTTP/1.1 2000 x\r\n"), kCheckNoStatus);
  EXPECT_EQ(ReadStatusCode("garbage"), kCheckNoStatus);
  EXPECT_EQ(CheckStatus("HTTP/1.1 200 OK\r\n", 302), kCheckWrongStatus);

  const std::string prefix = "http://h/tv.html?l=2&a=28&user_id=";
  struct Case {
    std::string headers;
    bool ampersand;
    int code;
    std::int64_t number;
  };
  const Case cases[] = {
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "4711\r\n\r\n", false, 0, 4711},
      {"HTTP/1.1 302 Found\r\nlocation:" + prefix + "12\r\n\r\n", false, 0, 12},
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "4711 \r\n\r\n", false, kCheckBadDigits, 0},
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "\r\n\r\n", false, kCheckBadDigits, 0},
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "5&x=1\r\n\r\n", false, kCheckBadDigits, 0},
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "5&x=1\r\n\r\n", true, 0, 5},
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "5\n\r\n", false, kCheckBadDigits, 0},
      {"HTTP/1.1 302 Found\r\nLocation: http://other/tv.html\r\n\r\n", false,
       kCheckPrefixNotFound, 0},
      {"HTTP/1.1 302 Found\r\nServer: x\r\n\r\n", false, kCheckNoLocation, 0},
      {"", false, kCheckNoHeaders, 0},
      {"HTTP/1.1 302 Found\r\nLocation: " + prefix + "99999999999999999999999\r\n", false,
       kCheckBadDigits, 0},
  };
  for (const Case& c : cases) {
    std::int64_t number = 0;
    EXPECT_EQ(ReadLocationNumber(c.headers, prefix, c.ampersand, number), c.code) << c.headers;
    if (c.code == 0) {
      EXPECT_EQ(number, c.number);
    }
  }
}

TEST(LogbookForm, PartsInOrderAroundTheKmlDocument) {
  const std::string form =
      BuildLogbookForm(3, "Ozone Rush", "<Folder/>\r\n", "---------------------------19868644317078");
  const std::string b = "-----------------------------19868644317078";
  std::size_t at = 0;
  for (const std::string& piece :
       {b + "\r\nContent-Disposition: form-data; name=\"form\"\r\n\r\ntrip_form\r\n",
        b + "\r\nContent-Disposition: form-data; name=\"start\"\r\n\r\nx\r\n",
        b + "\r\nContent-Disposition: form-data; name=\"class_id\"\r\n\r\n3\r\n",
        b + "\r\nContent-Disposition: form-data; name=\"brandmodel\"\r\n\r\nOzone Rush\r\n",
        b + "\r\nContent-Disposition: form-data; name=\"cnt\"\r\n\r\n1\r\n",
        b + "\r\nContent-Disposition: form-data; name=\"description\"\r\n\r\n \r\n",
        b + "\r\nContent-Disposition: form-data; name=\"tracklog\"; "
            "filename=\"2016-03-19_17-39.kml\"\r\nContent-Type: application/kml\r\n\r\n"
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n<open>1</open>\r\n"
            "<Folder/>\r\n</Document>\r\n\r\n" +
            b + "--\r\n"}) {
    ASSERT_EQ(form.compare(at, piece.size(), piece), 0) << "at " << at << ":\n" << form;
    at += piece.size();
  }
  EXPECT_EQ(at, form.size());
}

TEST(OnlineText, SecretsMaskedAndServerNames) {
  EXPECT_EQ(MaskSecrets("GET /x?pw=s%C3%A9cret%26x&y HTTP/1.1 sécret&x", {"sécret&x"}),
            "GET /x?pw=****&y HTTP/1.1 ****");
  EXPECT_EQ(MaskSecrets("abc", {""}), "abc");
  EXPECT_EQ(FtpHostOf("http://ftp.club.org/").value(), "ftp.club.org");
  EXPECT_EQ(FtpHostOf("ftp.club.org:2121").value(), "ftp.club.org:2121");
  EXPECT_FALSE(FtpHostOf("http://").has_value());
  EXPECT_EQ(ServiceUserAgent().substr(0, 8), "Logwell ");
  EXPECT_EQ(BuildValidationForm("a\"b\x1B.igc", "DATA", "BoundaryForLogwellOnlineIgcValidation"),
            "--BoundaryForLogwellOnlineIgcValidation\r\nContent-Disposition: form-data; "
            "name=\"igcfile\"; filename=\"a?b?.igc\"\r\nContent-Type: application/octet-stream"
            "\r\n\r\nDATA\r\n--BoundaryForLogwellOnlineIgcValidation--\r\n");
}

TEST(OnlineText, FormBoundariesAreDrawnAndAvoidTheContent) {
  const std::string first = NewFormBoundary({});
  const std::string second = NewFormBoundary({first});
  EXPECT_NE(first, second);
  EXPECT_GE(first.size(), 40u);
  EXPECT_EQ(first.find_first_of("\r\n\"; "), std::string::npos);
}

}  // namespace
}  // namespace logwell::online
