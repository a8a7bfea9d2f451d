#include "devices/magellan/magellan_workers.h"

#include <chrono>
#include <functional>
#include <new>
#include <thread>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "access/connect.h"
#include "access/debug_buffer.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/magellan/magellan_protocol.h"
#include "model/garmin_time.h"
#include "track/formats/magellan_log.h"
#include "track/track_log.h"

namespace logwell::magellan {
namespace {

using std::chrono::milliseconds;

constexpr int kDefaultProductBudget = 30;
constexpr milliseconds kProductWait{1000};
constexpr milliseconds kAfterProduct{500};
constexpr milliseconds kCommandWait{1000};
constexpr int kCommandTries = 5;
// The receiver's first sentence of a transfer can take seconds; between sentences too.
constexpr milliseconds kSentenceWait{3000};
// Consecutive damaged copies of one sentence before the transfer is given up.
constexpr int kResendLimit = 5;
constexpr milliseconds kRateSettle{100};
constexpr milliseconds kReportInterval{1000};
constexpr const char* kAccessCaption = "GPS access";
constexpr const char* kTrackCaption = "Read track log";
constexpr const char* kWaypointCaption = "Read GPS waypoints";
constexpr const char* kUploadCaption = "Waypoint upload error";

void Trace(std::string_view text) { DebugBuffer::Global().AppendText(text); }

// Where the session stands, so that every way out leaves the receiver as it was found: at
// the rate it answered at, out of handshake mode, no transfer running.
struct Line {
  AccessBlock& block;
  Session session;
  int foundRate = kPortRate;
  bool fastRate = false;

  explicit Line(AccessBlock& b) : block(b), session(b) {}

  // Rate back and handshake off; failures are only traced (the data, if any, has arrived).
  // After an abort nothing can be awaited any more: the commands are sent blind, so that the
  // receiver is not left at the fast rate in handshake mode. After a failure each is sent once.
  void Restore(int tries = kCommandTries) {
    const bool blind = block.Aborted();
    const auto command = [&](std::string_view sentence) {
      if (blind) {
        session.Write(sentence);
        std::this_thread::sleep_for(kRateSettle);
        return true;
      }
      return session.Command(sentence, kCommandWait, tries) == Wait::Answered;
    };
    if (fastRate) {
      const std::string back = foundRate == kFactoryRate
                                    ? std::string(kDefaultRateCommand)
                                    : Sentence(FormatText("PMGNCMD,BAUD,%d", foundRate));
      if (!command(back)) Trace("Rate not switched back\r\n");
      fastRate = false;
      if (ReconfigureComPort(block, foundRate, kRateSettle) != 0) return;
    }
    if (session.handshake()) {
      if (!command(kHandshakeOffCommand)) Trace("Handshake not switched off\r\n");
      session.SetHandshake(false);
    }
  }

  // The end of a failed transfer: the receiver stops sending, then Restore.
  int Fail(const char* text, const char* caption) {
    if (text != nullptr) ShowAccessError(block, text, caption);
    if (!session.readError) {
      session.Write(kStopCommand);
      Restore(1);
    }
    return -1;
  }
  int LineFailure(const char* caption) {
    if (!session.readError) return Fail(nullptr, nullptr);  // an abort: the frame says so
    return Fail("COM port read error", caption);
  }
};

// Product data: "$PMGNCMD,VERSION" until "$PMGNVER" answers, trying 9600 and the receivers'
// factory rate of 4800 in turn.
int RequestProduct(Line& line) {
  AccessBlock& block = line.block;
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultProductBudget;
  for (int request = 0; request < budget; ++request) {
    const int rate = request % 2 == 0 ? kPortRate : kFactoryRate;
    if (request > 0 && ReconfigureComPort(block, rate) != 0) return -1;
    ShowAccessStatus(block, AwaitingAnswerText(block, FormatText("Requesting product info (%d)", budget - request),
                                               budget - request));
    if (!line.session.Write(kVersionCommand)) {
      ShowAccessError(block, "COM port write error", kAccessCaption);
      return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + kProductWait;
    while (std::chrono::steady_clock::now() < deadline) {
      ReceivedSentence answer;
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
      const Wait wait = line.session.Next(left, answer);
      if (wait == Wait::Failed) {
        if (line.session.readError) ShowAccessError(block, "COM port read error", kAccessCaption);
        return -1;
      }
      if (wait == Wait::Silent) break;
      if (!answer.checksumOk || !answer.Is("PMGNVER")) continue;
      // "$PMGNVER,<product id>,<software version>,<model>"
      const auto fields = answer.Fields();
      const std::string id = fields.size() > 1 ? std::string(fields[1]) : "";
      const std::string version = fields.size() > 2 ? std::string(fields[2]) : "";
      const std::string model = fields.size() > 3 ? std::string(fields[3]) : "";
      line.foundRate = rate;
      ShowAccessStatus(block, "Product data read");
      ShowAccessProduct(block, FormatText("Magellan %s, SW %s", model.c_str(), version.c_str()));
      block.source.SetInstrumentName("Magellan");
      block.source.SetInstrumentText(CutText("Magellan " + model, 50));
      block.source.SetInstrumentId(CutText("Magellan: " + id + "," + version, 50));
      return block.Pause(kAfterProduct) ? 0 : -1;
    }
  }
  ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
  return -1;
}

// Handshake mode on, proven by the acknowledgement of a second version request; then the
// fast rate when the receiver acknowledges the switch. A receiver that does not acknowledge is
// read without handshake mode, where a damaged sentence ends the transfer.
int OpenTransfer(Line& line) {
  Session& session = line.session;
  AccessBlock& block = line.block;
  if (!session.Write(kHandshakeOnCommand)) return line.Fail("COM port write error", kAccessCaption);
  session.SetHandshake(true);
  const Wait version = session.Command(kVersionCommand, kCommandWait, 2);
  if (version == Wait::Failed) return line.LineFailure(kAccessCaption);
  if (version == Wait::Silent) {
    Trace("No handshake mode\r\n");
    session.SetHandshake(false);
  }
  // The version answer that follows (acknowledged in handshake mode).
  ReceivedSentence answer;
  Wait wait = Wait::Answered;
  while ((wait = session.Next(milliseconds(300), answer)) == Wait::Answered) {
    if (!answer.Is("PMGNCSM")) session.Acknowledge(answer);
    if (answer.checksumOk && answer.Is("PMGNVER")) break;
  }
  if (wait == Wait::Failed) return line.LineFailure(kAccessCaption);
  if (!session.handshake()) return 0;
  const Wait rate = session.Command(kFastRateCommand, kCommandWait, 1);
  if (rate == Wait::Failed) return line.LineFailure(kAccessCaption);
  if (rate == Wait::Silent) {
    Trace("Rate switch not acknowledged\r\n");
    return 0;
  }
  // A receiver that cannot switch says so right after its acknowledgement.
  while ((wait = session.Next(milliseconds(100), answer)) == Wait::Answered) {
    if (answer.checksumOk && answer.Is("PMGNCMD")) {
      session.Acknowledge(answer);
      const auto fields = answer.Fields();
      if (fields.size() > 1 && fields[1] == "UNABLE") return 0;
    }
  }
  if (wait == Wait::Failed) return line.LineFailure(kAccessCaption);
  if (ReconfigureComPort(block, kFastRate, kRateSettle) != 0) return -1;
  line.fastRate = true;
  return 0;
}

// What a transfer's sentence handler says: go on, or the message that ends the transfer.
using SentenceHandler = std::function<const std::string*(const ReceivedSentence&)>;

// Sends a transfer command and hands every sentence to `take` until "$PMGNCMD,END". A damaged
// sentence never reaches `take`: in handshake mode it is asked for again, otherwise the
// transfer fails.
int ReceiveTransfer(Line& line, std::string_view command, const char* caption,
                    const SentenceHandler& take) {
  Session& session = line.session;
  const Wait sent = session.Command(command, kCommandWait, kCommandTries);
  if (sent == Wait::Failed) return line.LineFailure(caption);
  if (sent == Wait::Silent) return line.Fail("No valid response from GPS", caption);
  int damaged = 0;
  while (true) {
    ReceivedSentence sentence;
    const Wait wait = session.Next(kSentenceWait, sentence);
    if (wait == Wait::Failed) return line.LineFailure(caption);
    if (wait == Wait::Silent) return line.Fail("Timeout receiving data", caption);
    if (!sentence.checksumOk) {
      Trace("Bad checksum\r\n");
      if (!session.handshake() || ++damaged > kResendLimit) {
        return line.Fail("Bad checksum in data block", caption);
      }
      if (!session.Acknowledge(sentence)) return line.Fail("COM port write error", caption);
      continue;
    }
    damaged = 0;
    if (sentence.Is("PMGNCSM")) continue;  // a late acknowledgement
    const auto fields = sentence.Fields();
    if (sentence.Is("PMGNCMD") && fields.size() > 1 && (fields[1] == "END" || fields[1] == "UNABLE")) {
      if (fields[1] == "UNABLE") session.Acknowledge(sentence);
      break;
    }
    if (!session.Acknowledge(sentence)) return line.Fail("COM port write error", caption);
    if (const std::string* error = take(sentence)) return line.Fail(error->c_str(), caption);
  }
  line.Restore();
  return 0;
}

class Throttle {
 public:
  bool Due() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < kReportInterval) return false;
    last_ = now;
    return true;
  }

 private:
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now() - kReportInterval;
};

// The waypoints into block.waypoints, or with `scanOnly` to the pilot-ID scan.
int DownloadWaypoints(Line& line, const FamilyEnvironment& environment, bool scanOnly) {
  AccessBlock& block = line.block;
  std::vector<Waypoint> waypoints;
  int count = 0;
  std::string error;
  Throttle throttle;
  const int result = ReceiveTransfer(line, kWaypointCommand, kWaypointCaption,
                                     [&](const ReceivedSentence& sentence) -> const std::string* {
    if (!sentence.Is("PMGNWPL")) return nullptr;
    ++count;
    const auto waypoint = ParseWaypointSentence(sentence);
    if (!waypoint) {
      error = FormatText("Bad waypoint sentence %d", count);
      return &error;
    }
    if (scanOnly) {
      ScanForPilotIds(block, *waypoint);
    } else {
      waypoints.push_back(*waypoint);
    }
    if (throttle.Due() && environment.notify) environment.notify(FormatText("Waypoint count %d", count));
    return nullptr;
  });
  if (result < 0) return -1;
  if (!scanOnly) {
    block.waypoints = std::move(waypoints);
    ShowAccessStatus(block, FormatText("%d waypoints received", count));
  }
  return count;
}

int Start(Line& line) {
  if (RequestProduct(line) < 0) return -1;
  return OpenTransfer(line);
}

}  // namespace

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment) {
  block.source.kind = TrackSourceKind::Magellan;
  block.source.timeIsUtc = 0;
  block.source.signState = SignState::NotSignable;
  block.source.altitudeFlag = 0;
  Line line(block);
  if (Start(line) < 0) return -1;
  if (ScansForPilotIds(block) && DownloadWaypoints(line, environment, true) < 0) return -1;
  if (ScansForPilotIds(block) && OpenTransfer(line) < 0) return -1;
  const int referenceYear = CurrentUtcCalendar().year;
  std::vector<TrackPoint> points;
  int sentences = 0;
  std::string error;
  Throttle throttle;
  const int result = ReceiveTransfer(line, kTrackCommand, kTrackCaption,
                                     [&](const ReceivedSentence& sentence) -> const std::string* {
    if (!sentence.Is("PMGNTRK")) return nullptr;
    ++sentences;
    TrackPoint point;
    const MagellanTrackLine parsed = ParseMagellanTrackSentence(sentence.body, referenceYear, point);
    if (parsed == MagellanTrackLine::Bad) {
      error = FormatText("Bad track log sentence %d", sentences);
      return &error;
    }
    if (parsed == MagellanTrackLine::NotValid) return nullptr;
    point.segmentStart = points.empty() ? 1 : 0;
    if (!AppendTrackPoint(points, point)) {
      error = "Track log memory allocation";
      return &error;
    }
    if (environment.reportPosition) environment.reportPosition(point);
    if (throttle.Due()) ShowAccessStatus(block, FormatText("%zu points received", points.size()));
    return nullptr;
  });
  if (result < 0) return -1;
  if (points.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  block.points = std::move(points);
  ShowAccessStatus(block, FormatText("%zu points received", block.points.size()));
  return static_cast<int>(block.points.size());
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& environment) {
  Line line(block);
  if (Start(line) < 0) return -1;
  return DownloadWaypoints(line, environment, false) < 0 ? -1 : 0;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& environment) {
  Line line(block);
  if (Start(line) < 0) return -1;
  Session& session = line.session;
  int sent = 0;
  Throttle throttle;
  for (const Waypoint& waypoint : block.waypoints) {
    const Wait wait = session.Command(WaypointSentence(waypoint), kCommandWait, kCommandTries);
    if (wait == Wait::Failed) return line.LineFailure(kUploadCaption);
    if (wait == Wait::Silent) {
      const std::string text = FormatText("%d waypoints sent, no acknowledge for waypoint %d", sent, sent + 1);
      return line.Fail(text.c_str(), kUploadCaption);
    }
    ++sent;
    if (throttle.Due()) {
      ShowAccessStatus(block, FormatText("Waypoint count %d", sent));
      if (environment.notify) environment.notify(FormatText("Waypoint count %d", sent));
    }
    // Without handshake mode nothing paces the upload: give the receiver time to store it.
    if (!session.handshake() && !block.Pause(milliseconds(100))) return line.Fail(nullptr, nullptr);
  }
  const Wait end = session.Command(kEndCommand, kCommandWait, kCommandTries);
  if (end == Wait::Failed) return line.LineFailure(kUploadCaption);
  if (end == Wait::Silent) return line.Fail("No valid response from GPS", kUploadCaption);
  line.Restore();
  ShowAccessStatus(block, FormatText("%d waypoints sent", sent));
  return sent;
}

bool RegisterMagellanWorkers(AccessTable& table, const FamilyEnvironment& environment) {
  const auto worker = [&environment](int (*run)(AccessBlock&, const FamilyEnvironment&)) {
    WorkerSteps steps;
    steps.clearTrace = true;
    steps.openPort = [](AccessBlock& block) { return ConnectComPort(block, kPortRate, false) == 0; };
    steps.run = [environment, run](AccessBlock& block) { return run(block, environment); };
    return FrameWorker(std::move(steps));
  };
  bool ok = table.Register(AccessType::ReadTrackLog, ProtocolType::Magellan, worker(RunReadTrackLog));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::Magellan, worker(RunReadWaypoints));
  ok &= table.Register(AccessType::WriteWaypoints, ProtocolType::Magellan, worker(RunWriteWaypoints));
  return ok;
}

}  // namespace logwell::magellan
