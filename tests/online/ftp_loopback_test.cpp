// The FTP send against pyftpdlib on loopback, plain and with TLS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "online/ftp_send.h"
#include "online/loopback_server.h"
#include "support/fixtures.h"

namespace logwell::online {
namespace {

using logwell::testing::FreshFolder;
using logwell::testing::LoopbackServer;
using logwell::testing::ScriptPath;

class FtpLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshFolder("ftp");
    home_ = dir_ / "home";
    std::filesystem::create_directories(home_);
    local_ = dir_ / "flight.igc";
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    bytes += "\r\n\n\r";  // line ends must not be touched
    std::ofstream(local_, std::ios::binary) << bytes;
    sent_ = bytes;
  }

  FtpRequest Request(const LoopbackServer& server) const {
    FtpRequest request;
    request.server = "http://127.0.0.1:" + std::to_string(server.Port());
    request.user = "pilot";
    request.password = "s3cret";
    request.localFile = local_;
    request.remoteName = "club flight.igc";
    request.requireTls = false;  // the plain test server; the TLS cases ask for it
    return request;
  }

  std::filesystem::path dir_, home_, local_;
  std::string sent_;
};

TEST_F(FtpLoopback, PlainPassiveAndActiveArriveByteIdentical) {
  LoopbackServer server({"/usr/bin/python3", ScriptPath("ftp_server.py"), home_.string(), "plain"});
  ASSERT_GT(server.Port(), 0);
  for (const bool passive : {true, false}) {
    FtpRequest request = Request(server);
    request.passive = passive;
    std::string trace;
    const FtpOutcome outcome =
        SendFileByFtp(request, [&](std::string_view t) { trace.append(t); }, {}, {});
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.message, "File sent");
    EXPECT_EQ(logwell::testing::ReadWholeFile(home_ / "club flight.igc"), sent_);
    EXPECT_NE(trace.find("FTP> PASS ****"), std::string::npos);
    EXPECT_EQ(trace.find("s3cret"), std::string::npos);
    EXPECT_NE(trace.find(passive ? "FTP> EPSV" : "FTP> EPRT"), std::string::npos) << trace;
    std::filesystem::remove(home_ / "club flight.igc");
  }
}

TEST_F(FtpLoopback, FailuresNameTheStepAndTheReason) {
  LoopbackServer server({"/usr/bin/python3", ScriptPath("ftp_server.py"), home_.string(), "plain"});
  FtpRequest request = Request(server);
  request.password = "wrong";
  FtpOutcome outcome = SendFileByFtp(request, {}, {}, {});
  EXPECT_EQ(outcome.message.substr(0, 11), "Connect(): ") << outcome.message;
  EXPECT_NE(outcome.message.find("(530 "), std::string::npos) << outcome.message;

  request = Request(server);
  request.requireTls = true;  // the plain server cannot
  outcome = SendFileByFtp(request, {}, {}, {});
  EXPECT_EQ(outcome.message.substr(0, 11), "Connect(): ") << outcome.message;

  request = Request(server);
  request.server = "127.0.0.1:1";
  EXPECT_EQ(SendFileByFtp(request, {}, {}, {}).message.substr(0, 19), "CheckConnection(): ");
  request.server = "";
  EXPECT_EQ(SendFileByFtp(request, {}, {}, {}).message, "Missing server name");
  request = Request(server);
  request.localFile = dir_ / "absent.igc";
  EXPECT_EQ(SendFileByFtp(request, {}, {}, {}).message.substr(0, 12), "OpenFile(): ");
  EXPECT_FALSE(std::filesystem::exists(home_ / "club flight.igc"));
}

// TLS unless turned off: a server that cannot is refused before the user name and password go
// out. A line break in the user name or password would send commands of its own after PASS.
TEST_F(FtpLoopback, NothingGoesOutInTheClearOrAsInjectedCommands) {
  LoopbackServer server({"/usr/bin/python3", ScriptPath("ftp_server.py"), home_.string(), "plain"});
  ASSERT_GT(server.Port(), 0);
  FtpRequest request = Request(server);
  request.requireTls = FtpRequest{}.requireTls;
  std::string trace;
  FtpOutcome outcome = SendFileByFtp(request, [&](std::string_view t) { trace.append(t); }, {}, {});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message.substr(0, 11), "Connect(): ") << outcome.message;
  EXPECT_EQ(trace.find("FTP> USER"), std::string::npos) << trace;
  EXPECT_FALSE(std::filesystem::exists(home_ / "club flight.igc"));

  std::ofstream(home_ / "victim.igc") << "keep me";
  struct Case {
    std::string user, password, remote, message;
  };
  const Case cases[] = {
      {"pilot", "s3cret\r\nDELE victim.igc", "a.igc",
       "Connect(): control character in the user name or password"},
      {"pilot\r\nDELE victim.igc", "s3cret", "a.igc",
       "Connect(): control character in the user name or password"},
      {"pilot", "s3cret", "a\r\nDELE victim.igc", "PutFile(): control character in the remote name"},
  };
  for (const Case& c : cases) {
    request = Request(server);
    request.user = c.user;
    request.password = c.password;
    request.remoteName = c.remote;
    EXPECT_EQ(SendFileByFtp(request, {}, {}, {}).message, c.message);
    EXPECT_TRUE(std::filesystem::exists(home_ / "victim.igc")) << c.user << c.password << c.remote;
  }
}

TEST_F(FtpLoopback, TlsWhenAsked) {
  const auto cert = dir_ / "cert.pem";
  const auto key = dir_ / "key.pem";
  const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                           "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                           key.string() + " -out " + cert.string() + " 2>/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  LoopbackServer server({"/usr/bin/python3", ScriptPath("ftp_server.py"), home_.string(), "tls",
                         cert.string(), key.string()});
  ASSERT_GT(server.Port(), 0);
  // The test server cannot protect the data connection the way libcurl opens it, so the file
  // goes with the commands (and the password) under TLS.
  for (const bool passive : {true, false}) {
    FtpRequest request = Request(server);
    request.passive = passive;
    request.requireTls = true;
    request.tlsControlOnly = true;
    request.caFile = cert.string();
    std::string trace;
    const FtpOutcome outcome =
        SendFileByFtp(request, [&](std::string_view t) { trace.append(t); }, {}, {});
    ASSERT_TRUE(outcome.ok) << outcome.message << trace;
    EXPECT_NE(trace.find("FTP> AUTH TLS"), std::string::npos);
    EXPECT_LT(trace.find("FTP> AUTH TLS"), trace.find("FTP> USER"));
    EXPECT_EQ(logwell::testing::ReadWholeFile(home_ / "club flight.igc"), sent_);
    std::filesystem::remove(home_ / "club flight.igc");
  }
  // Without trust in the certificate the transfer stops before the login, and says why.
  FtpRequest request = Request(server);
  request.requireTls = true;
  std::string trace;
  const std::string message =
      SendFileByFtp(request, [&](std::string_view t) { trace.append(t); }, {}, {}).message;
  EXPECT_EQ(message.substr(0, 11), "Connect(): ") << message;
  EXPECT_NE(message.find("certificate"), std::string::npos) << message;
  EXPECT_EQ(trace.find("FTP> USER"), std::string::npos);
}

}  // namespace
}  // namespace logwell::online
