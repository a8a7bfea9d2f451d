// The real serial back end against virtual instruments on pseudo-terminals.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "access/connect.h"
#include "access/debug_buffer.h"
#include "access/nmea.h"
#include "access/serial_port.h"
#include "sim/echo_model.h"
#include "sim/flight_generator.h"
#include "sim/nmea_stream_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::VirtualInstrument;
using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;
using Clock = std::chrono::steady_clock;

constexpr ConnectTiming kQuick{0ms};

// What a protocol module makes of one request and its answer, with the codes the modules use.
enum ExchangeCode { kOk = 0, kTimeOut = -1, kReadError = -2, kChecksumError = -3, kAborted = -4 };

struct Exchange {
  int code = kOk;
  std::string answer;
};

Exchange AskAndWait(AccessBlock& block, std::string_view sentence, std::chrono::milliseconds timeout) {
  if (WritePortText(block, sentence) != 0) return {kReadError, {}};
  ChunkReader reader(200);
  NmeaLineAssembler assembler;
  switch (reader.ReadUntil(block, timeout, [&](std::uint8_t b) { return assembler.Feed(b); })) {
    case ReadResult::Complete: break;
    case ReadResult::TimedOut: return {kTimeOut, {}};
    case ReadResult::ReadError: return {kReadError, {}};
    case ReadResult::Aborted: return {kAborted, {}};
  }
  std::string line = assembler.Line();
  std::vector<char> work(line.begin(), line.end());
  std::array<std::size_t, 20> fields{};
  if (ParseNmeaSentence(work, fields) < 0) return {kChecksumError, line};
  return {kOk, line};
}

class VirtualPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DebugBuffer::Global().Clear();
    block_.owner = &ui_;
    block_.portName = instrument_.DevicePath();
  }
  VirtualInstrument instrument_{std::make_unique<sim::EchoNmeaModel>()};
  ScriptedUi ui_;
  AccessBlock block_;
};

class BaudRateTest : public VirtualPortTest, public ::testing::WithParamInterface<int> {};

TEST_P(BaudRateTest, ExchangesSentencesBothWays) {
  ASSERT_EQ(ConnectComPort(block_, GetParam(), false, kQuick), 0);
  ASSERT_NE(block_.port, nullptr);
  EXPECT_TRUE(ui_.Boxes().empty());

  const std::string request = AppendNmeaChecksum("$PLWTST,1,2");
  const Exchange reply = AskAndWait(block_, request, 2s);
  EXPECT_EQ(reply.code, kOk);
  EXPECT_EQ(reply.answer + "\r\n", AppendNmeaChecksum("$LWECHO,PLWTST,1,2"));
  const auto received = instrument_.Received();
  EXPECT_EQ(std::string(received.begin(), received.end()), request);

  // Both directions are traced, the text as it went over the line.
  const auto trace = DebugBuffer::Global().Contents();
  EXPECT_EQ(std::string(trace.begin(), trace.end()), request + reply.answer + "\r\n");
  ClosePort(block_);
  EXPECT_EQ(block_.port, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rates, BaudRateTest, ::testing::ValuesIn(kSupportedBaudRates));

TEST_F(VirtualPortTest, ReconfiguresInTheMiddleOfAnExchange) {
  ASSERT_EQ(ConnectComPort(block_, 9600, true, kQuick), 0);
  EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$A"), 2s).code, kOk);
  ASSERT_EQ(ReconfigureComPort(block_, 128000, 0ms), 0);
  EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$B"), 2s).code, kOk);
  EXPECT_TRUE(ui_.Boxes().empty());
}

TEST_F(VirtualPortTest, BinaryWritesAreTracedAsHexDump) {
  ASSERT_EQ(ConnectComPort(block_, 115200, false, kQuick), 0);
  const std::array<std::uint8_t, 3> packet{0x10, 0xFE, 0x03};
  ASSERT_EQ(WritePortBytes(block_, packet), 0);
  const auto trace = DebugBuffer::Global().Contents();
  EXPECT_EQ(std::string(trace.begin(), trace.end()), " 10 FE 03\r\n");
}

struct FaultCase {
  const char* name;
  Fault fault;
  int expected;
};

TEST_F(VirtualPortTest, EveryInjectedFaultIsReported) {
  ASSERT_EQ(ConnectComPort(block_, 57600, false, kQuick), 0);
  const FaultCase cases[] = {
      {"delay", {Fault::Kind::Delay, 150ms}, kOk},
      {"garbage", {Fault::Kind::Garbage}, kOk},
      {"corrupted checksum", {Fault::Kind::CorruptChecksum}, kChecksumError},
      {"corrupted byte", {Fault::Kind::CorruptByte, 0ms, 4}, kChecksumError},
      {"dropped line", {Fault::Kind::DropLine}, kTimeOut},
      {"silence", {Fault::Kind::Silence}, kTimeOut},
  };
  for (const FaultCase& c : cases) {
    instrument_.ClearFaults();
    instrument_.Inject(c.fault);
    const auto start = Clock::now();
    EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$PLWTST"), 400ms).code, c.expected) << c.name;
    if (c.fault.kind == Fault::Kind::Delay) {
      EXPECT_GE(Clock::now() - start, 150ms);
    }
    block_.port->Purge();
  }
  // Silence lasts until cleared; the line is good again afterwards.
  EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$PLWTST"), 300ms).code, kTimeOut);
  instrument_.ClearFaults();
  EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$PLWTST"), 2s).code, kOk);
}

TEST_F(VirtualPortTest, HangUpInTheMiddleIsAReadError) {
  ASSERT_EQ(ConnectComPort(block_, 19200, false, kQuick), 0);
  instrument_.Inject({Fault::Kind::HangUp, 0ms, 5});
  const auto start = Clock::now();
  EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$PLWTST"), 5s).code, kReadError);
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_TRUE(instrument_.HungUp());
}

TEST_F(VirtualPortTest, AbortIsNoticedWhileWaitingForAnAnswer) {
  ASSERT_EQ(ConnectComPort(block_, 38400, false, kQuick), 0);
  instrument_.Inject({Fault::Kind::Silence});
  Clock::time_point abortedAt;
  std::jthread aborter([&] {
    std::this_thread::sleep_for(225ms);  // in the middle of a 50 ms read
    abortedAt = Clock::now();
    block_.abortRequested = 1;
    block_.WakePause();
  });
  EXPECT_EQ(AskAndWait(block_, AppendNmeaChecksum("$PLWTST"), 30s).code, kAborted);
  aborter.join();
  const auto reaction = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - abortedAt);
  RecordProperty("abort_reaction_ms", static_cast<int>(reaction.count()));
  // One read lasts at most 50 ms; allow for a loaded machine.
  EXPECT_LT(reaction, 500ms);
}

TEST_F(VirtualPortTest, PortIsHeldExclusively) {
  ASSERT_EQ(ConnectComPort(block_, 9600, false, kQuick), 0);
  AccessBlock second;
  second.owner = &ui_;
  second.portName = block_.portName;
  second.connectSeconds = 2;
  EXPECT_EQ(ConnectComPort(second, 9600, false, kQuick), -1);
  EXPECT_EQ(second.port, nullptr);
  EXPECT_TRUE(ui_.StatusTexts().empty());  // a busy port is not waited for
  const auto boxes = ui_.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Connecting to GPS on " + block_.portName);
  EXPECT_TRUE(boxes[0].text.starts_with("Could not open serial port (sure it's the right one ?)\r\n" +
                                              block_.portName + ": busy (another program holds it)\r\n"))
      << boxes[0].text;
  // Once the first access lets go, the port opens again.
  ClosePort(block_);
  EXPECT_EQ(ConnectComPort(second, 9600, false, kQuick), 0);
}

TEST(ConnectComPort, DeviceThatRefusesLineSettingsIsClosedAndReported) {
  ScriptedUi ui;
  AccessBlock block;
  block.owner = &ui;
  block.portName = "/dev/null";
  EXPECT_EQ(ConnectComPort(block, 9600, false, kQuick), -1);
  EXPECT_EQ(block.port, nullptr);
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Connecting to GPS on /dev/null",
                                               "Error while initialising port"}}));
}

TEST(ReconfigureComPort, RefusedSettingsAreReportedAndThePortStaysOpen) {
  ScriptedUi ui;
  AccessBlock block;
  block.owner = &ui;
  int error = 0;
  block.port = SerialPort::Open("/dev/null", error);
  ASSERT_NE(block.port, nullptr) << error;
  EXPECT_EQ(ReconfigureComPort(block, 57600, 0ms), -1);
  EXPECT_NE(block.port, nullptr);
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Initialising COM port",
                                               "Error getting COM port state"}}));
}

TEST(ConnectComPort, WithoutAnOwnerStillFailsCleanly) {
  AccessBlock block;
  block.portName = "/dev/ttyLOGWELL-absent";
  block.connectSeconds = 1;
  EXPECT_EQ(ConnectComPort(block, 4800, false, kQuick), -1);
  EXPECT_EQ(ReadPortChunk(block, std::span<std::uint8_t>{}), -1);
  EXPECT_EQ(WritePortText(block, "x"), -1);
}

TEST(SerialPort, PseudoTerminalIsRecognisedAndTakesEveryRate) {
  VirtualInstrument instrument{std::make_unique<sim::EchoNmeaModel>()};
  int error = 0;
  auto port = SerialPort::Open(instrument.DevicePath(), error);
  ASSERT_NE(port, nullptr) << error;
  EXPECT_TRUE(port->IsPseudoTerminal());
  for (int rate : kSupportedBaudRates) {
    EXPECT_TRUE(port->Configure(rate, rate == 9600)) << rate;
    EXPECT_EQ(port->BaudRate(), rate);
  }
}

TEST(SerialPort, WriteTimeoutFollowsTheLineRate) {
  EXPECT_EQ(WriteTimeout(4800, 100), 300ms);
  EXPECT_EQ(WriteTimeout(9600, 100), 200ms);
  EXPECT_EQ(WriteTimeout(128000, 0), 0ms);
}

TEST(DropFlowControlBytes, RemovesXonAndXoffOnly) {
  std::vector<std::uint8_t> bytes{'a', 0x11, 'b', 0x13, 0x13, 'c', 0x12};
  bytes.resize(DropFlowControlBytes(bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'a', 'b', 'c', 0x12}));
}

}  // namespace
}  // namespace logwell

namespace logwell::sim {
namespace {

TEST(NmeaStreamModel, StreamsFixesOfAFlightThroughTheSerialBackEnd) {
  FlightPlan plan;
  plan.duration = std::chrono::seconds(60);
  plan.launchLatitude = -33.25;
  plan.launchLongitude = -70.5;
  const auto points = GenerateFlight(plan);
  VirtualInstrument instrument(std::make_unique<NmeaStreamModel>(points, std::chrono::milliseconds(20)));
  testing::ScriptedUi ui;
  AccessBlock block;
  block.owner = &ui;
  block.portName = instrument.DevicePath();
  ASSERT_EQ(ConnectComPort(block, 4800, false, ConnectTiming{std::chrono::milliseconds(0)}), 0);

  ChunkReader reader(2000);
  NmeaLineAssembler assembler;
  std::vector<std::string> lines;
  while (lines.size() < 6) {
    ASSERT_EQ(reader.ReadUntil(block, std::chrono::seconds(2), [&](std::uint8_t b) { return assembler.Feed(b); }),
              ReadResult::Complete);
    lines.push_back(assembler.Line());
  }
  for (std::string& line : lines) {
    std::vector<char> work(line.begin(), line.end());
    std::array<std::size_t, 20> fields{};
    ASSERT_GE(ParseNmeaSentence(work, fields), 10) << line;
    const std::string_view kind = NmeaField(work, fields[0]);
    EXPECT_TRUE(kind == "$GPRMC" || kind == "$GPGGA") << line;
    EXPECT_NE(line.find(",S,070"), std::string::npos) << line;
  }
  EXPECT_NE(lines[0].find(",3315.0000,S,07030.0000,W,"), std::string::npos) << lines[0];
}

TEST(NmeaStreamModel, FixSentencesFormatTimePositionAndAltitude) {
  TrackPoint point;
  point.time = 1054029600 + 3723;  // 2023-05-26 11:02:03
  point.milliseconds = 250;
  point.latitude = DegreesToSemicircles(46.999999999);
  point.longitude = DegreesToSemicircles(-8.5);
  point.gpsAltitude = 12345;
  EXPECT_EQ(FixSentences(point, nullptr),
            AppendNmeaChecksum("$GPRMC,110203.250,A,4700.0000,N,00830.0000,W,0.0,0.0,260523,,,A") +
                AppendNmeaChecksum("$GPGGA,110203.250,4700.0000,N,00830.0000,W,1,08,1.0,1234.5,M,0.0,M,,"));
}

}  // namespace
}  // namespace logwell::sim
