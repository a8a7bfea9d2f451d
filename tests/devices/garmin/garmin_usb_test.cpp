// The Garmin USB byte path against a scripted device behind the pipe interface (no USB bus is
// needed): the packet cut, the session start with its pipe changes, and whole accesses through
// the registered USB workers.
#include <gtest/gtest.h>

#include <deque>
#include <future>
#include <mutex>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "devices/garmin/garmin_usb.h"
#include "devices/garmin/garmin_workers.h"
#include "geo/units.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

using namespace garmin;
using std::chrono::milliseconds;

std::vector<std::uint8_t> Usb(std::uint8_t type, std::uint16_t id, std::vector<std::uint8_t> data = {}) {
  return BuildUsbPacket(type, id, data);
}
std::vector<std::uint8_t> App(std::uint16_t id, std::vector<std::uint8_t> data = {}) {
  return Usb(kUsbApplicationLayer, id, std::move(data));
}
std::vector<std::uint8_t> Number(std::uint16_t id, std::uint16_t number) {
  return App(id, NumberPacket(static_cast<std::uint8_t>(id), number).data);
}

// One scripted read: bytes, nothing within the wait, or a failed pipe.
struct Read {
  enum class Kind { Bytes, Nothing, Fail } kind = Kind::Bytes;
  std::vector<std::uint8_t> bytes;
};
Read Bytes(std::vector<std::uint8_t> bytes) { return {Read::Kind::Bytes, std::move(bytes)}; }
const Read kNothing{Read::Kind::Nothing, {}};
const Read kFail{Read::Kind::Fail, {}};

// The device side: scripted reads per pipe, and a reaction to each packet written.
class ScriptedPipes : public UsbPipes {
 public:
  bool WriteBulk(std::span<const std::uint8_t> bytes, milliseconds) override {
    std::function<void(const UsbPacket&)> react;
    {
      std::lock_guard lock(mutex);
      if (writeFails) return false;
      written.emplace_back(bytes.begin(), bytes.end());
      react = onWrite;
    }
    if (react) react(*ParseUsbPacket(bytes));
    return true;
  }
  int ReadBulk(std::span<std::uint8_t> buffer, milliseconds) override { return Take(bulk, buffer); }
  int ReadInterrupt(std::span<std::uint8_t> buffer, milliseconds) override { return Take(interrupt, buffer); }
  std::optional<std::uint32_t> ApiVersion() override { return 10004; }

  std::mutex mutex;
  std::deque<Read> interrupt, bulk;
  std::vector<std::vector<std::uint8_t>> written;
  std::function<void(const UsbPacket&)> onWrite;
  bool writeFails = false;

 private:
  int Take(std::deque<Read>& pipe, std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex);
    if (pipe.empty()) return 0;
    Read& next = pipe.front();
    if (next.kind != Read::Kind::Bytes) {
      const int result = next.kind == Read::Kind::Fail ? kPipeFailed : 0;
      pipe.pop_front();
      return result;
    }
    // A piece larger than the read comes in several reads, as from a real pipe.
    const std::size_t n = std::min(buffer.size(), next.bytes.size());
    std::copy_n(next.bytes.begin(), n, buffer.begin());
    next.bytes.erase(next.bytes.begin(), next.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (next.bytes.empty()) pipe.pop_front();
    return static_cast<int>(n);
  }
};

TEST(GarminUsb, PacketIsBuiltAndCutAt267Bytes) {
  const auto packet = Usb(kUsbApplicationLayer, 0x1234, {7, 8});
  EXPECT_EQ(packet, (std::vector<std::uint8_t>{20, 0, 0, 0, 0x34, 0x12, 0, 0, 2, 0, 0, 0, 7, 8}));

  ScriptedPipes pipes;
  UsbLink link(pipes, {});
  std::vector<std::uint8_t> data(300, 0x55);
  pipes.interrupt = {Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable))};
  pipes.bulk = {Bytes(App(kPidTrackPoint, data))};
  UsbPacket got;
  ASSERT_EQ(link.ReadPacket(got), 0);
  EXPECT_TRUE(link.BulkPipe());
  EXPECT_EQ(got.size, 300u);
  EXPECT_EQ(got.data.size(), kUsbMaxPacket - kUsbHeaderSize);

  // Interrupt pieces of 64 bytes are joined while full ones come.
  UsbLink fresh(pipes, {});
  pipes.interrupt = {Bytes(App(kPidWaypoint, std::vector<std::uint8_t>(100, 1)))};
  ASSERT_EQ(fresh.ReadPacket(got), 0);
  EXPECT_EQ(got.data.size(), 100u);
  EXPECT_FALSE(fresh.BulkPipe());

  // The failures of each pipe.
  struct Case {
    bool bulk;
    std::deque<Read> interrupt, bulkPipe;
    int code;
  };
  for (const Case& c : std::vector<Case>{
           {false, {kFail}, {}, -1},
           {false, {Bytes(Usb(kUsbProtocolLayer, kUsbSessionStarted))}, {}, -2},
           {false, {Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable))}, {kFail}, -3},
           {false, {Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable))}, {Bytes(Usb(7, 1))}, -4},
           {false, {Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable))}, {Bytes({20, 0, 0})}, -5},
           {false, {Bytes(Usb(9, 1))}, {}, -6},
           {true, {}, {kFail}, -7},
           {true, {}, {Bytes(Usb(kUsbProtocolLayer, 1))}, -8},
           {true, {}, {Bytes({20, 0, 0, 0, 1})}, -9},
       }) {
    SCOPED_TRACE(c.code);
    ScriptedPipes script;
    script.interrupt = c.interrupt;
    script.bulk = c.bulkPipe;
    UsbLink one(script, {});
    one.interruptTries = 1;
    if (c.bulk) {
      // Data-available once puts the link on the bulk pipe for good.
      script.interrupt.push_front(Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable)));
      script.bulk.push_front(Bytes(App(kPidAck)));
      UsbPacket first;
      ASSERT_EQ(one.ReadPacket(first), 0);
      ASSERT_TRUE(one.BulkPipe());
    }
    EXPECT_EQ(one.ReadPacket(got), c.code);
  }
}

TEST(GarminUsb, SessionStartAndItsFallbacks) {
  const auto available = Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable));
  const auto started = Bytes(Usb(kUsbProtocolLayer, kUsbSessionStarted, {0x39, 0x30, 0, 0}));
  struct Case {
    const char* name;
    std::deque<Read> interrupt, bulk;
    bool writeFails;
    std::string message;  // empty: started
    bool bulkAfter;
  };
  const std::vector<Case> cases = {
      {"answer on the interrupt pipe", {started}, {}, false, "", false},
      {"data available, then the bulk pipe", {available}, {started}, false, "", true},
      {"bulk time-out falls back to interrupt", {available, started}, {kNothing}, false, "", false},
      {"write fails", {}, {}, true, "E001 Bulk OUT error", false},
      {"interrupt fails", {kFail}, {}, false, "E002 Start session error", false},
      {"bulk fails", {available}, {kFail}, false, "E003 Start session error (-1)", false},
      {"data available with data", {Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable, {1}))}, {}, false,
       "E005 Start session error", false},
      {"another packet", {Bytes(Usb(kUsbProtocolLayer, 9))}, {}, false, "E006 Start session error", false},
      {"never an answer", {}, {}, false, "E007 Start session error", false},
      {"interrupt fails after the fallback", {available, kFail}, {kNothing}, false, "E008 Start session error", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPipes pipes;
    pipes.interrupt = c.interrupt;
    pipes.bulk = c.bulk;
    pipes.writeFails = c.writeFails;
    UsbLink link(pipes, {});
    link.interruptTries = 2;
    link.interruptPause = milliseconds(1);
    std::string message;
    const bool ok = link.StartSession(message, milliseconds(200));
    EXPECT_EQ(ok, c.message.empty());
    EXPECT_EQ(message, c.message);
    if (ok) {
      EXPECT_EQ(link.UnitId(), 12345u);
      EXPECT_EQ(link.BulkPipe(), c.bulkAfter);
      ASSERT_EQ(pipes.written.size(), 1u);
      EXPECT_EQ(pipes.written[0], Usb(kUsbProtocolLayer, kUsbStartSession));
    }
  }
}

// A receiver on USB as the scripted device plays it: session start by data-available and the
// bulk pipe, product data, extended product data, the protocol array (unless told not to send
// it), a track log of A301/D301 and waypoints taken.
struct UsbReceiver {
  explicit UsbReceiver(bool protocolArray) {
    pipes.onWrite = [this, protocolArray](const UsbPacket& packet) {
      std::deque<Read>& out = pipes.bulk;  // the caller holds no lock here
      std::lock_guard lock(pipes.mutex);
      if (packet.type == kUsbProtocolLayer && packet.id == kUsbStartSession) {
        pipes.interrupt.push_back(Bytes(Usb(kUsbProtocolLayer, kUsbDataAvailable)));
        out.push_back(Bytes(Usb(kUsbProtocolLayer, kUsbSessionStarted, {0x39, 0x30, 0, 0})));
        return;
      }
      if (packet.id == kPidProductRequest) {
        std::vector<std::uint8_t> product{0x82, 0, 0x68, 1};
        for (const char c : std::string("USB GPS")) product.push_back(static_cast<std::uint8_t>(c));
        product.push_back(0);
        out.push_back(Bytes(App(kPidProductData, product)));
        out.push_back(Bytes(App(kPidExtendedProductData, {'x', 0})));
        if (protocolArray) {
          out.push_back(Bytes(App(kPidProtocolArray, {'P', 0, 0, 'L', 1, 0, 'A', 10, 0, 'A', 100, 0, 'D', 108, 0,
                                                      'A', 0x2D, 1, 'D', 0x36, 1, 'D', 0x2D, 1})));
        } else {
          out.push_back(Bytes(Number(kPidRecords, 0)));
        }
        return;
      }
      if (packet.id == kPidCommand && ReadU16(packet.data, 0) == kCommandTrackLog) {
        out.push_back(Bytes(Number(kPidRecords, static_cast<std::uint16_t>(points.size() + 1))));
        out.push_back(Bytes(App(kPidTrackHeader, {1, 0, 'T', 0})));
        for (const TrackPoint& point : points) out.push_back(Bytes(App(kPidTrackPoint, EncodeTrackPoint(301, point))));
        out.push_back(Bytes(Number(kPidTransferComplete, kCommandTrackLog)));
        return;
      }
      if (packet.id == kPidWaypoint) {
        Waypoint waypoint;
        if (DecodeWaypoint(108, packet.data, 0, waypoint) == WaypointDecode::Ok) taken.push_back(waypoint);
      }
    };
    for (int i = 0; i < 250; ++i) {
      TrackPoint point;
      point.latitude = DegreesToSemicircles(46.0 + i * 1e-4);
      point.longitude = DegreesToSemicircles(8.0 - i * 1e-4);
      point.time = 1000000000u + static_cast<std::uint32_t>(i);
      point.gpsAltitude = 10 * (1000 + i);
      points.push_back(point);
    }
  }
  ScriptedPipes pipes;
  std::vector<TrackPoint> points;
  std::vector<Waypoint> taken;
};

struct UsbRig {
  // `failure`: what the opener reports instead of the scripted device.
  explicit UsbRig(bool protocolArray, UsbOpenFailure failure = UsbOpenFailure::None) : receiver(protocolArray) {
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      TakeOverDownload(log, std::move(download.log), ui);
    };
    RegisterGarminUsbWorkers(table, context, [this, failure] {
      UsbOpenResult opened;
      ++opens;
      opened.failure = failure;
      if (failure == UsbOpenFailure::None) opened.pipes = std::make_unique<Forward>(receiver.pipes);
      if (failure == UsbOpenFailure::NoPermission) opened.message = "No permission (rule)";
      return opened;
    });
  }
  int opens = 0;
  // The worker owns what the opener gives it; the scripted device outlives it.
  struct Forward : UsbPipes {
    explicit Forward(ScriptedPipes& device) : to(device) {}
    bool WriteBulk(std::span<const std::uint8_t> b, milliseconds t) override { return to.WriteBulk(b, t); }
    int ReadBulk(std::span<std::uint8_t> b, milliseconds t) override { return to.ReadBulk(b, t); }
    int ReadInterrupt(std::span<std::uint8_t> b, milliseconds t) override { return to.ReadInterrupt(b, t); }
    std::optional<std::uint32_t> ApiVersion() override { return to.ApiVersion(); }
    ScriptedPipes& to;
  };
  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr) {
    std::promise<int> done;
    auto finished = done.get_future();
    if (framework.StartCommandAccess("Test", &ui, access, ProtocolType::GarminUsb, 0,
                                     [&done, completion](AccessBlock& block) {
                                       const int result = block.result;
                                       if (completion) completion(block);
                                       done.set_value(result);
                                     },
                                     upload) != 0)
      return -1000;
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& e : ui.Boxes())
      if (e.kind == testing::UiEventKind::Error) texts.push_back(e.caption + ": " + e.text.substr(0, e.text.find("\r\n")));
    return texts;
  }

  UsbReceiver receiver;
  AccessTable table;
  testing::ScriptedUi ui;
  AccessFramework framework{table};
  FamilyEnvironment context;
  TrackLog log;
};

TEST(GarminUsb, TrackLogAndWaypointUploadThroughTheWorkers) {
  UsbRig rig(true);
  ASSERT_EQ(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead), 250)
      << (rig.Errors().empty() ? "" : rig.Errors().front());
  ASSERT_EQ(rig.log.points.size(), 250u);
  for (std::size_t i = 0; i < rig.log.points.size(); ++i) {
    ASSERT_EQ(rig.log.points[i].time, rig.receiver.points[i].time);
    ASSERT_EQ(rig.log.points[i].latitude, rig.receiver.points[i].latitude);
    ASSERT_EQ(rig.log.points[i].gpsAltitude, rig.receiver.points[i].gpsAltitude);
  }
  EXPECT_EQ(rig.log.source.InstrumentId(), "Garmin USB: 12345");
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Garmin);

  std::vector<Waypoint> upload(2);
  upload[0].SetId("TOP");
  upload[1].SetId("LZ");
  upload[1].type = 1;
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, &upload), 0);
  ASSERT_EQ(rig.receiver.taken.size(), 2u);
  EXPECT_EQ(rig.receiver.taken[1].Id(), "LZ");
  EXPECT_EQ(rig.receiver.taken[1].type, 1);
  EXPECT_TRUE(rig.Errors().empty()) << rig.Errors().front();
}

TEST(GarminUsb, MissingProtocolArrayHasNoTableFallback) {
  UsbRig rig(false);
  rig.log.points.resize(3);
  EXPECT_LT(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead), 0);
  EXPECT_EQ(rig.Errors(), std::vector<std::string>{"Read GPS product data: E124 Bad protocol array data packet"});
  EXPECT_EQ(rig.log.points.size(), 3u);
}

// A receiver that is not there is looked for once a second within the connect budget; one the
// user may not open is reported at once, with the message that names the udev rule.
TEST(GarminUsb, OpenFailures) {
  UsbRig absent(true, UsbOpenFailure::NotFound);
  absent.framework.connectSeconds = 2;
  EXPECT_LT(absent.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  EXPECT_EQ(absent.opens, 2);
  EXPECT_EQ(absent.Errors(), std::vector<std::string>{"Connecting to GPS: Could not open USB port"});

  UsbRig denied(true, UsbOpenFailure::NoPermission);
  EXPECT_LT(denied.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  EXPECT_EQ(denied.opens, 1);
  EXPECT_EQ(denied.Errors(), std::vector<std::string>{"Connecting to GPS: No permission (rule)"});
}

}  // namespace
}  // namespace logwell
