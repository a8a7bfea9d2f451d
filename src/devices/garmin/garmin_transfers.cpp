#include "devices/garmin/garmin_transfers.h"

#include <chrono>
#include <string>

#include "access/access_framework.h"
#include "access/pilot_scan.h"
#include "base/text.h"

namespace logwell::garmin {
namespace {

using std::chrono::milliseconds;

constexpr int kDefaultProductBudget = 30;
constexpr milliseconds kProductWait{2000};
constexpr milliseconds kArrayWait{5000};
constexpr milliseconds kTransferWait{5000};
constexpr std::size_t kProductTextLength = 80;
constexpr std::size_t kTrackNameLength = 50;

constexpr std::string_view kProductCaption = "Requesting GPS product data";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Upload waypoints";

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// The texts of one receive step: its time-out, its port error and its wrong packet.
struct StepTexts {
  std::string_view timedOut;
  std::string_view portError;
  std::string_view wrongPacket;
};

// Receives the acknowledge of `id`. Shows the step's failure and returns false when it did not
// come; an abort returns false silently.
bool AwaitAck(Session& session, std::uint8_t id, const StepTexts& texts, std::string_view caption) {
  AccessBlock& block = session.Block();
  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return false;
    case Receive::TimedOut: ShowAccessError(block, texts.timedOut, caption); return false;
    case Receive::PortError: ShowAccessError(block, texts.portError, caption); return false;
    case Receive::Packet: break;
  }
  if (IsAckOf(session.link.Last(), id)) return true;
  ShowAccessError(block, texts.wrongPacket, caption);
  return false;
}

void TakeProductData(Session& session, const ProductData& product) {
  AccessBlock& block = session.Block();
  const std::string text(CutBytes(product.description, kProductTextLength));
  block.source.SetInstrumentText(text);
  ShowAccessProduct(block, text);
  block.source.SetInstrumentName("Garmin");
  block.source.SetInstrumentId("Garmin: " + text);
  ShowAccessStatus(block, "Product data read");
  session.caps = Capabilities{};
  session.link.SendAck(kPidProductData);
}

// After the product data: the protocol array, or the built-in table when none comes.
int ReadCapabilities(Session& session, const ProductData& product) {
  AccessBlock& block = session.Block();
  for (;;) {
    switch (session.link.Next(kArrayWait)) {
      case Receive::Aborted: return -1;
      case Receive::PortError:
        ShowAccessError(block, "COM port error while waiting for protocol capability packet", kProductCaption);
        return -1;
      case Receive::TimedOut:
        if (const auto row = BuiltInCapabilities(static_cast<std::uint16_t>(product.productId), product.software)) {
          session.caps = *row;
          return 0;
        }
        ShowAccessError(block, "GPS product ID not supported", kProductCaption);
        return -1;
      case Receive::Packet: break;
    }
    const Packet& packet = session.link.Last();
    if (packet.id != kPidProtocolArray) {
      session.link.SendAck(packet.id);
      continue;
    }
    Capabilities caps;
    if (const char* error = ParseProtocolArray(packet.data, caps)) {
      ShowAccessError(block, error, kProductCaption);
      return -1;
    }
    session.link.SendAck(kPidProtocolArray);
    caps.productId = static_cast<std::uint16_t>(product.productId);
    caps.lowestVersion = product.software;
    caps.highestVersion = product.software;
    session.caps = caps;
    return 0;
  }
}

void PowerOff(Session& session) { session.link.SendCommand(kCommandPowerOff); }

}  // namespace

std::vector<std::uint8_t> TrackHeaderData(std::string_view name) {
  const std::string_view title = CutBytes(name, kTrackNameLength);
  std::vector<std::uint8_t> data;
  data.reserve(title.size() + 3);
  data.push_back(1);  // displayed
  data.push_back(0);  // colour
  for (const char c : title) data.push_back(static_cast<std::uint8_t>(c));
  data.push_back(0);
  return data;
}

bool PowerOffAfterTransfer(const FamilyEnvironment& environment) {
  return environment.commandLinePowerOff || (environment.menuPowerOff && environment.menuPowerOff(ProtocolType::GarminSerial));
}

int RequestProductData(Session& session) {
  AccessBlock& block = session.Block();
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultProductBudget;
  std::optional<ProductData> product;
  for (int requests = 0; !product && 2 * requests < budget; ++requests) {
    if (block.Aborted()) return -1;  // the frame shows "Transfer aborted"
    const std::string asking = FillTemplate("Requesting product info (%)", {(budget - 2 * requests) / 2});
    ShowAccessStatus(block, AwaitingAnswerText(block, asking, budget - 2 * requests));
    session.link.ResetParser();
    session.link.Send(Packet{kPidProductRequest, {}});
    for (int answers = 0; answers < 2; ++answers) {
      const Receive got = session.link.Next(kProductWait);
      if (got == Receive::Aborted) return -1;
      if (got == Receive::PortError) {
        ShowAccessError(block, "COM port read error", kProductCaption);
        return -1;
      }
      if (got == Receive::TimedOut) break;
      product = ReadProductData(session.link.Last());
      // A receiver may acknowledge the request first; the product data must follow it.
      if (product || !IsAckOf(session.link.Last(), kPidProductRequest)) break;
    }
  }
  if (!product) {
    ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
    return -1;
  }
  TakeProductData(session, *product);
  if (ReadCapabilities(session, *product) < 0) return -1;
  if (const char* error = CheckCapabilities(session.caps)) {
    ShowAccessError(block, error, "Read GPS product data");
    return -1;
  }
  return 0;
}

int DownloadTrackLog(Session& session, const FamilyEnvironment& environment) {
  AccessBlock& block = session.Block();
  const Capabilities& caps = session.caps;
  if (caps.trackTransfer == 0) {
    ShowAccessError(block, "E212 No track log protocol defined", kTrackCaption);
    return -1;
  }
  ShowAccessStatus(block, "Requesting track log download");
  session.link.SendCommand(kCommandTrackLog);
  // Every failure from here on tells the receiver to stop sending.
  const auto fail = [&session](std::string_view text) {
    session.link.SendCommand(kCommandAbort);
    if (!text.empty()) ShowAccessError(session.Block(), text, kTrackCaption);
    return -1;
  };
  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return fail({});
    case Receive::TimedOut: return fail("E200 Timeout while waiting for data packet");
    case Receive::PortError: return fail("E200 COM port error while waiting for data packet");
    case Receive::Packet: break;
  }
  if (!IsAckOf(session.link.Last(), kPidCommand)) return fail("E201 Bad acknowledge packet type or format");

  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return fail({});
    case Receive::TimedOut: return fail("E202 Timeout while waiting for record count packet");
    case Receive::PortError: return fail("E202 COM port error while waiting for count packet");
    case Receive::Packet: break;
  }
  if (session.link.Last().id != kPidRecords || session.link.Last().data.size() < 2)
    return fail("E203 Bad record count packet");
  const std::uint16_t count = ReadU16(session.link.Last().data, 0);
  session.link.SendAck(kPidRecords);

  std::vector<TrackPoint> points;
  points.reserve(count);
  const Clock::time_point start = Clock::now();
  for (std::uint16_t i = 1; i <= count; ++i) {
    switch (session.link.Next(kTransferWait)) {
      case Receive::Aborted: return fail({});
      case Receive::TimedOut: return fail("E205 Timeout while waiting for log data packet");
      case Receive::PortError: return fail("E205 COM port error while waiting for log data packet");
      case Receive::Packet: break;
    }
    const Packet& packet = session.link.Last();
    if (packet.id == kPidTrackPoint) {
      auto point = DecodeTrackPoint(caps.trackPointType, packet.data);
      if (!point) return fail("E206 Packet type/length mismatch");
      if (points.empty()) point->segmentStart = 1;
      points.push_back(*point);
      if (environment.reportPosition) environment.reportPosition(*point);
      session.link.SendAck(kPidTrackPoint);
    } else if (packet.id == kPidTrackHeader) {
      if (caps.trackTransfer == 300) return fail("E208 Packet type/protocol mismatch");
      session.link.SendAck(kPidTrackHeader);
    } else {
      return fail("E209 Bad data packet");
    }
    if (i % 5 == 0) {
      const long long elapsed = MillisecondsSince(start);
      const long long left = elapsed * (count - i) / i / 1000;
      ShowAccessStatus(block, FillTemplate("Track position % of % (%m %s)", {i, count, left / 60, left % 60}));
      if (environment.notify) environment.notify(FillTemplate("Progress %/%", {i, count}));
    }
  }

  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return fail({});
    case Receive::TimedOut: return fail("E211 Timeout while waiting for transfer complete packet");
    case Receive::PortError: return fail("E211 COM port error while waiting for transfer complete packet");
    case Receive::Packet: break;
  }
  if (session.link.Last().id != kPidTransferComplete || session.link.Last().data.size() < 2)
    return fail("E210 Bad transfer complete packet type or format");
  session.link.SendAck(kPidTransferComplete);
  const long long took = MillisecondsSince(start);
  ShowAccessStatus(block, FormatText("%zu track positions read (%lld.%03lld secs)", points.size(), took / 1000,
                                     took % 1000));
  if (PowerOffAfterTransfer(environment)) PowerOff(session);
  block.points = std::move(points);
  return static_cast<int>(block.points.size());
}

int DownloadWaypoints(Session& session, const FamilyEnvironment& environment, bool scanOnly) {
  AccessBlock& block = session.Block();
  const Capabilities& caps = session.caps;
  if (caps.waypointTransfer == 0) {
    ShowAccessError(block, "E310 No waypoint log protocol defined", kWaypointCaption);
    return -1;
  }
  ShowAccessStatus(block, "Requesting waypoint download");
  session.link.SendCommand(kCommandWaypoints);
  const auto fail = [&session](std::string_view text) {
    session.link.SendCommand(kCommandAbort);
    if (!text.empty()) ShowAccessError(session.Block(), text, kWaypointCaption);
    return -1;
  };
  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return fail({});
    case Receive::TimedOut: return fail("E300 Timeout while waiting for ack. packet");
    case Receive::PortError: return fail("E300 COM port error while waiting for ack. packet");
    case Receive::Packet: break;
  }
  if (!IsAckOf(session.link.Last(), kPidCommand)) return fail("E301 Bad acknowledge packet type or format");

  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return fail({});
    case Receive::TimedOut: return fail("E302 Timeout while waiting for record count packet");
    case Receive::PortError: return fail("E302 COM port error while waiting for count packet");
    case Receive::Packet: break;
  }
  if (session.link.Last().id != kPidRecords || session.link.Last().data.size() < 2)
    return fail("E303 Bad record count packet");
  const std::uint16_t count = ReadU16(session.link.Last().data, 0);
  session.link.SendAck(kPidRecords);
  const GarminTime now = CalendarToGarminTime(CurrentUtcCalendar());

  std::vector<Waypoint> waypoints;
  if (!scanOnly) waypoints.reserve(count);
  const Clock::time_point start = Clock::now();
  int received = 0;
  for (std::uint16_t i = 1; i <= count; ++i) {
    switch (session.link.Next(kTransferWait)) {
      case Receive::Aborted: return fail({});
      case Receive::TimedOut: return fail("E305 Timeout while waiting for wpt. data packet");
      case Receive::PortError: return fail("E305 COM port error while waiting for wpt. data packet");
      case Receive::Packet: break;
    }
    const Packet& packet = session.link.Last();
    Waypoint waypoint;
    const WaypointDecode decoded =
        packet.id == kPidWaypoint ? DecodeWaypoint(caps.waypointType, packet.data, now, waypoint)
                                  : WaypointDecode::TooShort;
    if (decoded == WaypointDecode::TooShort) return fail("E306 Bad waypoint data packet");
    if (decoded == WaypointDecode::BadTypeByte) return fail("E309 Bad waypoint data packet");
    if (scanOnly) ScanForPilotIds(block, waypoint);
    session.link.SendAck(kPidWaypoint);
    ++received;
    if (environment.notify) environment.notify(FillTemplate("Progress %/%", {i, count}));
    if (i % 5 == 0) ShowAccessStatus(block, FillTemplate("Waypoint % of % received", {i, count}));
    if (!scanOnly) waypoints.push_back(waypoint);
  }

  switch (session.link.Next(kTransferWait)) {
    case Receive::Aborted: return fail({});
    case Receive::TimedOut: return fail("E308 Timeout while waiting for transfer complete packet");
    case Receive::PortError: return fail("E308 COM port error while waiting for transfer complete packet");
    case Receive::Packet: break;
  }
  if (session.link.Last().id != kPidTransferComplete || session.link.Last().data.size() < 2)
    return fail("E307 Bad transfer complete packet type or format");
  session.link.SendAck(kPidTransferComplete);
  if (!scanOnly) {
    const long long took = MillisecondsSince(start);
    ShowAccessStatus(block, FormatText("%d of %u waypoints read (%lld.%03lld secs)", received, unsigned{count},
                                       took / 1000, took % 1000));
    block.waypoints = std::move(waypoints);
  }
  return received;
}

int UploadWaypoints(Session& session, const FamilyEnvironment& environment) {
  AccessBlock& block = session.Block();
  const Capabilities& caps = session.caps;
  if (block.waypoints.empty()) return 0;
  if (caps.waypointTransfer == 0) {
    ShowAccessError(block, "E406 No waypoint log protocol defined", kUploadCaption);
    return -1;
  }
  const auto total = static_cast<long long>(block.waypoints.size());
  if (total > 0xFFFF) {
    // The record count is a 16-bit number: more would announce a wrong count.
    ShowAccessError(block, "Too many waypoints for one transfer", kUploadCaption);
    return -1;
  }
  const auto abort = [&session] {
    session.link.SendCommand(kCommandAbort);
    return -1;
  };
  session.link.Send(NumberPacket(kPidRecords, static_cast<std::uint16_t>(total)));
  if (!AwaitAck(session, kPidRecords,
                {"E400 Timeout while waiting for ack. packet", "E400 COM port error while waiting for ack. packet",
                 "E401 Bad acknowledge packet type or format"},
                kUploadCaption))
    return abort();
  long long i = 0;
  for (const Waypoint& waypoint : block.waypoints) {
    ++i;
    if (block.Aborted()) return abort();
    if (i % 5 == 0) ShowAccessStatus(block, FillTemplate("Sending waypoint % of %", {i, total}));
    session.link.Send(Packet{kPidWaypoint, EncodeWaypoint(caps.waypointType, waypoint)});
    if (environment.notify) environment.notify(FillTemplate("Sent wpt %/%", {i, total}));
    if (!AwaitAck(session, kPidWaypoint,
                  {"E402 Timeout while waiting for ack. packet", "E402 COM port error while waiting for ack. packet",
                   "E403 Bad acknowledge packet type or format"},
                  kUploadCaption))
      return abort();
  }
  ShowAccessStatus(block, FillTemplate("Waypoint % of % sent", {total, total}));
  session.link.Send(NumberPacket(kPidTransferComplete, kCommandWaypoints));
  if (!AwaitAck(session, kPidTransferComplete,
                {"E404 Timeout while waiting for ack. packet", "E404 COM port error while waiting for ack. packet",
                 "E405 Bad acknowledge packet type or format"},
                kUploadCaption))
    return abort();
  if (PowerOffAfterTransfer(environment)) PowerOff(session);
  return 0;
}

int UploadTrackLog(Session& session, const FamilyEnvironment& environment, const std::vector<Waypoint>& points,
                   int ctrNumber, std::string_view name) {
  AccessBlock& block = session.Block();
  const Capabilities& caps = session.caps;
  const std::string_view caption = ctrNumber > 0 ? "Upload CTR" : "Upload track log";
  if (points.empty()) return 0;
  if (caps.trackTransfer == 0) {
    ShowAccessError(block, "E508 No track log protocol defined", caption);
    return -1;
  }
  // A301 and A302 announce the header with the points. (Both send it: announcing a record
  // that never comes would leave the receiver waiting for it.)
  const bool header = caps.trackTransfer != 300;
  const auto total = static_cast<long long>(points.size());
  if (total + (header ? 1 : 0) > 0xFFFF) {
    ShowAccessError(block, "Too many points for one track log", caption);
    return -1;
  }
  const auto abort = [&session] {
    session.link.SendCommand(kCommandAbort);
    return -1;
  };
  session.link.Send(NumberPacket(kPidRecords, static_cast<std::uint16_t>(total + (header ? 1 : 0))));
  if (!AwaitAck(session, kPidRecords,
                {"E500 Timeout while waiting for ack. packet", "E500 COM port error while waiting for ack. packet",
                 "E501 Bad acknowledge packet type or format"},
                caption))
    return abort();
  if (header) {
    session.link.Send(Packet{kPidTrackHeader, TrackHeaderData(name.empty() ? points.front().Id() : name)});
    if (!AwaitAck(session, kPidTrackHeader,
                  {"E502 Timeout while waiting for ack. packet", "E502 COM port error while waiting for ack. packet",
                   "E503 Bad acknowledge packet type or format"},
                  caption))
      return abort();
  }
  const std::uint16_t pointType = caps.trackTransfer == 300 ? 300 : caps.trackTransfer == 301 ? 301 : 302;
  long long i = 0;
  for (const Waypoint& waypoint : points) {
    ++i;
    if (block.Aborted()) return abort();
    if (i % 5 == 0) {
      ShowAccessStatus(block, ctrNumber > 0 ? FillTemplate("CTR %: Sending point % of %", {ctrNumber, i, total})
                                            : FillTemplate("Sending point % of %", {i, total}));
    }
    TrackPoint point;
    point.latitude = waypoint.latitude;
    point.longitude = waypoint.longitude;
    session.link.Send(Packet{kPidTrackPoint, EncodeTrackPoint(pointType, point)});
    if (!AwaitAck(session, kPidTrackPoint,
                  {"E504 Timeout while waiting for ack. packet", "E504 COM port error while waiting for ack. packet",
                   "E505 Bad acknowledge packet type or format"},
                  caption))
      return abort();
  }
  ShowAccessStatus(block, ctrNumber > 0 ? FillTemplate("CTR %: Point % of % sent", {ctrNumber, total, total})
                                        : FillTemplate("Point % of % sent", {total, total}));
  session.link.Send(NumberPacket(kPidTransferComplete, kCommandTrackLog));
  if (!AwaitAck(session, kPidTransferComplete,
                {"E506 Timeout while waiting for ack. packet", "E506 COM port error while waiting for ack. packet",
                 "E507 Bad acknowledge packet type or format"},
                caption))
    return abort();
  if (environment.commandLinePowerOff) PowerOff(session);
  return 0;
}

}  // namespace logwell::garmin
