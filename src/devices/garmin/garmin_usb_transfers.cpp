#include "devices/garmin/garmin_usb_transfers.h"

#include <chrono>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/debug_buffer.h"
#include "access/pilot_scan.h"
#include "base/text.h"
#include "devices/garmin/garmin_transfers.h"

namespace logwell::garmin {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAfterOpen{100};
constexpr milliseconds kBetweenOpens{1000};
constexpr std::string_view kProductCaption = "Read GPS product data";
constexpr std::string_view kTrackCaption = "Read track log";
constexpr std::string_view kWaypointCaption = "Read waypoints";
constexpr std::string_view kUploadCaption = "Upload waypoints";
constexpr std::size_t kProductTextLength = 80;

void Trace(std::string_view text) { DebugBuffer::Global().AppendText(text); }

std::string ReadError(int base, int code) { return FormatText("E%d Packet read error", base + (code < 0 ? -code : code)); }

bool IsCompletion(const UsbPacket& packet) {
  return packet.id == kPidTransferComplete && packet.data.size() >= 2;
}

}  // namespace

UsbSession::UsbSession(AccessBlock& access, UsbPipes& pipes) : block(access), link(pipes, Trace) {}

std::unique_ptr<UsbPipes> OpenUsbDevice(AccessBlock& block, const UsbOpener& opener) {
  const int attempts = ConnectAttempts(block.connectSeconds);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    ShowAccessStatus(block, FillTemplate("Connecting to GPS (%)", {attempts - attempt}));
    if (block.Aborted()) return nullptr;  // the frame shows "Transfer aborted"
    UsbOpenResult opened = opener();
    if (opened.pipes) {
      Trace("USB device name:\r\n");
      Trace(FormatText("%04x:%04x\r\n", unsigned{kUsbVendor}, unsigned{kUsbProduct}));
      if (!block.Pause(kAfterOpen)) return nullptr;
      return std::move(opened.pipes);
    }
    if (opened.failure != UsbOpenFailure::NotFound) {
      // Waiting does not help a device the user may not open: say so at once.
      ShowAccessError(block, opened.message, "Connecting to GPS");
      return nullptr;
    }
    if (attempt + 1 < attempts && !block.Pause(kBetweenOpens)) return nullptr;
  }
  ShowAccessError(block, "Could not open USB port", "Connecting to GPS");
  return nullptr;
}

int UsbRequestProductData(UsbSession& session) {
  AccessBlock& block = session.block;
  UsbLink& link = session.link;
  const auto fail = [&block](std::string_view text) {
    ShowAccessError(block, text, kProductCaption);
    return -1;
  };
  const auto version = link.ApiVersion();
  if (!version) return fail("E100 Error reading API version");
  Trace(FormatText("API version = %u\r\n", *version));
  std::string message;
  if (!link.StartSession(message)) return fail(message);
  Trace(FormatText("Unit ID = %u\r\n", link.UnitId()));
  ShowAccessStatus(block, "Requesting product information");
  if (!link.WriteApplication(kPidProductRequest)) return fail("E104 Bulk OUT error");
  UsbPacket packet;
  if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(104, code));
  if (packet.id != kPidProductData || packet.data.size() <= 4) return fail("E114 Bad product data packet");
  const auto product = ReadProductData(Packet{kPidProductData, packet.data});
  const std::string text(CutBytes(product->description, kProductTextLength));
  block.source.SetInstrumentText(text);
  ShowAccessProduct(block, text);
  block.source.SetInstrumentName("Garmin");
  block.source.SetInstrumentId(FormatText("Garmin USB: %u", link.UnitId()));
  session.caps = Capabilities{};
  session.caps.productId = static_cast<std::uint16_t>(product->productId);
  session.caps.lowestVersion = product->software;
  session.caps.highestVersion = product->software;
  do {
    if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(114, code));
  } while (packet.id == kPidExtendedProductData);
  // There is no built-in table on USB: a receiver on USB always sends its protocol array.
  if (packet.id != kPidProtocolArray) return fail("E124 Bad protocol array data packet");
  if (packet.data.size() % 3 != 0) return fail("E125 Bad protocol data packet");
  if (ParseProtocolArray(packet.data, session.caps) != nullptr) return fail("E126 Bad protocol tag character");
  if (const char* error = CheckCapabilities(session.caps)) return fail(error);
  return 0;
}

int UsbDownloadTrackLog(UsbSession& session, const FamilyEnvironment& environment) {
  AccessBlock& block = session.block;
  UsbLink& link = session.link;
  const Capabilities& caps = session.caps;
  const auto fail = [&block](std::string_view text) {
    ShowAccessError(block, text, kTrackCaption);
    return -1;
  };
  if (caps.trackTransfer == 0) return fail("E237 No track log protocol defined");
  ShowAccessStatus(block, "Requesting track log download");
  if (!link.WriteCommand(kCommandTrackLog)) return fail("E203 Bulk OUT error");
  UsbPacket packet;
  if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(203, code));
  if (packet.id != kPidRecords || packet.data.size() < 2) return fail("E213 Bad record count packet");
  const std::uint16_t count = ReadU16(packet.data, 0);
  std::vector<TrackPoint> points;
  points.reserve(count);
  for (std::uint16_t i = 1; i <= count; ++i) {
    if (block.Aborted()) {
      // A new session start stops the receiver's transfer.
      link.Write(kUsbProtocolLayer, kUsbStartSession);
      ShowAccessStatus(block, "Transfer aborted");
      return -1;
    }
    if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(214, code));
    if (i == 2) ShowAccessStatus(block, "Receiving track positions");
    if (packet.id == kPidTrackPoint) {
      auto point = DecodeTrackPoint(caps.trackPointType, packet.data);
      if (!point) return fail("E224 Packet type/length mismatch");
      if (points.empty()) point->segmentStart = 1;
      points.push_back(*point);
      if (environment.reportPosition) environment.reportPosition(*point);
    } else if (packet.id == kPidTrackHeader) {
      if (caps.trackTransfer == 300) return fail("E225 Packet type/protocol mismatch");
    } else {
      return fail("E226 Bad data packet");
    }
    if (i % 100 == 0 && environment.notify) environment.notify(FillTemplate("Progress %/%", {i, count}));
  }
  if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(226, code));
  if (!IsCompletion(packet)) return fail("E236 Bad transfer complete packet type or format");
  ShowAccessStatus(block, FillTemplate("% track positions read", {static_cast<long long>(points.size())}));
  if (PowerOffAfterTransfer(environment)) link.WriteCommand(kCommandPowerOff);
  block.points = std::move(points);
  return static_cast<int>(block.points.size());
}

int UsbDownloadWaypoints(UsbSession& session, const FamilyEnvironment& /*environment*/, bool scanOnly) {
  AccessBlock& block = session.block;
  UsbLink& link = session.link;
  const Capabilities& caps = session.caps;
  const auto fail = [&block](std::string_view text) {
    ShowAccessError(block, text, kWaypointCaption);
    return -1;
  };
  if (caps.waypointTransfer == 0) return fail("E336 No waypoint protocol defined");
  ShowAccessStatus(block, "Requesting waypoint download");
  if (!link.WriteCommand(kCommandWaypoints)) return fail("E303 Bulk OUT error");
  UsbPacket packet;
  if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(303, code));
  if (packet.id != kPidRecords || packet.data.size() < 2) return fail("E313 Bad record count packet");
  const std::uint16_t count = ReadU16(packet.data, 0);
  const GarminTime now = CalendarToGarminTime(CurrentUtcCalendar());
  std::vector<Waypoint> waypoints;
  int received = 0;
  for (std::uint16_t i = 1; i <= count; ++i) {
    if (block.Aborted()) {
      link.Write(kUsbProtocolLayer, kUsbStartSession);
      ShowAccessStatus(block, "Transfer aborted");
      return -1;
    }
    if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(314, code));
    if (i == 2) ShowAccessStatus(block, "Receiving waypoints");
    Waypoint waypoint;
    const WaypointDecode decoded = packet.id == kPidWaypoint
                                       ? DecodeWaypoint(caps.waypointType, packet.data, now, waypoint)
                                       : WaypointDecode::TooShort;
    if (decoded == WaypointDecode::TooShort) return fail("E324 Bad waypoint data packet");
    if (decoded == WaypointDecode::BadTypeByte) return fail("E325 Bad waypoint data packet");
    ++received;
    if (scanOnly) {
      ScanForPilotIds(block, waypoint);
    } else {
      waypoints.push_back(waypoint);
    }
  }
  if (const int code = link.ReadPacket(packet); code < 0) return fail(ReadError(325, code));
  if (!IsCompletion(packet)) return fail("E335 Bad transfer complete packet type or format");
  if (!scanOnly) {
    ShowAccessStatus(block, FillTemplate("% waypoints read", {received}));
    block.waypoints = std::move(waypoints);
  }
  return received;
}

int UsbUploadWaypoints(UsbSession& session, const FamilyEnvironment& environment) {
  AccessBlock& block = session.block;
  UsbLink& link = session.link;
  const auto fail = [&block](std::string_view text) {
    ShowAccessError(block, text, kUploadCaption);
    return -1;
  };
  if (block.waypoints.empty()) return 0;
  if (session.caps.waypointTransfer == 0) return fail("E406 No waypoint protocol defined");
  const auto total = static_cast<long long>(block.waypoints.size());
  if (total > 0xFFFF) return fail("Too many waypoints for one transfer");
  if (!link.WriteApplication(kPidRecords, NumberPacket(kPidRecords, static_cast<std::uint16_t>(total)).data))
    return fail("E403 Bulk OUT error");
  long long i = 0;
  for (const Waypoint& waypoint : block.waypoints) {
    ++i;
    if (block.Aborted()) return -1;
    if (i % 5 == 0) ShowAccessStatus(block, FillTemplate("Sending waypoint % of %", {i, total}));
    if (!link.WriteApplication(kPidWaypoint, EncodeWaypoint(session.caps.waypointType, waypoint)))
      return fail("E404 Bulk OUT error");
    if (environment.notify) environment.notify(FillTemplate("Sent wpt %/%", {i, total}));
  }
  if (!link.WriteApplication(kPidTransferComplete, NumberPacket(kPidTransferComplete, kCommandWaypoints).data))
    return fail("E405 Bulk OUT error");
  ShowAccessStatus(block, "Transfer completed");
  if (PowerOffAfterTransfer(environment)) link.WriteCommand(kCommandPowerOff);
  return 0;
}

int UsbUploadTrackLog(UsbSession& session, const FamilyEnvironment& environment, const std::vector<Waypoint>& points,
                      int ctrNumber, std::string_view name) {
  AccessBlock& block = session.block;
  UsbLink& link = session.link;
  const Capabilities& caps = session.caps;
  const std::string_view caption = ctrNumber > 0 ? "Upload CTR" : "Upload track log";
  const auto fail = [&block, caption](std::string_view text) {
    ShowAccessError(block, text, caption);
    return -1;
  };
  if (points.empty()) return 0;
  if (caps.trackTransfer == 0) return fail("E509 No track log protocol defined");
  const bool header = caps.trackTransfer != 300;
  const auto total = static_cast<long long>(points.size());
  if (total + (header ? 1 : 0) > 0xFFFF) return fail("Too many points for one track log");
  if (!link.WriteApplication(kPidRecords,
                             NumberPacket(kPidRecords, static_cast<std::uint16_t>(total + (header ? 1 : 0))).data))
    return fail("E503 Bulk OUT error");
  if (header) {
    if (!link.WriteApplication(kPidTrackHeader, TrackHeaderData(name.empty() ? points.front().Id() : name)))
      return fail("E504 Bulk OUT error");
  }
  const std::uint16_t pointType = caps.trackTransfer == 300 ? 300 : caps.trackTransfer == 301 ? 301 : 302;
  long long i = 0;
  for (const Waypoint& waypoint : points) {
    ++i;
    if (block.Aborted()) return -1;
    if (i % 5 == 0) {
      ShowAccessStatus(block, ctrNumber > 0 ? FillTemplate("CTR %: Sending point % of %", {ctrNumber, i, total})
                                            : FillTemplate("Sending point % of %", {i, total}));
    }
    TrackPoint point;
    point.latitude = waypoint.latitude;
    point.longitude = waypoint.longitude;
    if (!link.WriteApplication(kPidTrackPoint, EncodeTrackPoint(pointType, point))) return fail("E505 Bulk OUT error");
  }
  if (!link.WriteApplication(kPidTransferComplete, NumberPacket(kPidTransferComplete, kCommandTrackLog).data))
    return fail("E506 Bulk OUT error");
  ShowAccessStatus(block, "Transfer completed");
  if (environment.commandLinePowerOff && !link.WriteCommand(kCommandPowerOff)) return fail("E507 Bulk OUT error");
  return 0;
}

}  // namespace logwell::garmin
