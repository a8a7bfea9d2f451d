#include "sim/magellan/magellan_model.h"

#include <charconv>
#include <fstream>

#include "access/nmea.h"
#include "base/text.h"
#include "model/garmin_time.h"
#include "waypoints/reader_support.h"
#include "wire/magellan/magellan_sentences.h"

namespace logwell::sim {
namespace {

int DegreesMinutes(std::int64_t milliMinutes) {
  const std::int64_t minutes = milliMinutes / 1000;
  return static_cast<int>(minutes / 60 * 100 + minutes % 60);
}

}  // namespace

std::vector<std::string> MagellanTrackSentences(const std::vector<TrackPoint>& points) {
  std::vector<std::string> sentences;
  for (const TrackPoint& point : points) {
    const SplitCoordinate lat = SplitMilliMinutes(point.latitude, 'N', 'S');
    const SplitCoordinate lon = SplitMilliMinutes(point.longitude, 'E', 'W');
    const CalendarTime t = GarminTimeToCalendar(point.time);
    std::string line = magellan::Sentence(FormatText(
        "PMGNTRK,%04d.%03d,%c,%05d.%03d,%c,%05d,M,%02d%02d%02d.00,A,,%02d%02d%02d",
        DegreesMinutes(lat.units), static_cast<int>(lat.units % 1000), lat.hemisphere,
        DegreesMinutes(lon.units), static_cast<int>(lon.units % 1000), lon.hemisphere,
        static_cast<int>(point.gpsAltitude / 10), t.hour, t.minute, t.second, t.day, t.month,
        t.year % 100));
    line.resize(line.size() - 2);
    sentences.push_back(std::move(line));
  }
  return sentences;
}

std::vector<std::string> MagellanWaypointSentences(const std::vector<Waypoint>& waypoints) {
  std::vector<std::string> sentences;
  for (const Waypoint& waypoint : waypoints) {
    std::string body = magellan::WaypointSentence(waypoint);
    body = body.substr(1, body.rfind('*') - 1) + ",a";
    std::string line = magellan::Sentence(body);
    line.resize(line.size() - 2);
    sentences.push_back(std::move(line));
  }
  return sentences;
}

std::vector<std::string> SentencesOfFile(const std::string& path, std::string_view identifier) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path);
  std::vector<std::string> sentences;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with(identifier)) sentences.push_back(line);
  }
  return sentences;
}

MagellanModel::MagellanModel(MagellanModelConfig config) : config_(std::move(config)) {}

std::vector<std::string> MagellanModel::Uploaded() const {
  std::lock_guard lock(mutex_);
  return uploaded_;
}
std::vector<std::string> MagellanModel::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}
bool MagellanModel::Handshake() const {
  std::lock_guard lock(mutex_);
  return handshake_;
}
int MagellanModel::Rate() const {
  std::lock_guard lock(mutex_);
  return rate_;
}
bool MagellanModel::UploadEnded() const {
  std::lock_guard lock(mutex_);
  return uploadEnded_;
}

void MagellanModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '$') {
      inLine_ = true;
      line_.assign(1, '$');
    } else if (inLine_ && byte == '\n') {
      inLine_ = false;
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      Handle(line_, link);
    } else if (inLine_ && line_.size() < magellan::kMaxSentence) {
      line_ += static_cast<char>(byte);
    }
  }
}

void MagellanModel::OnIdle(DeviceLink& link) {
  if (!awaiting_ || std::chrono::steady_clock::now() < deadline_) return;
  awaiting_ = false;
  if (++tries_ >= config_.sendTries) {
    queue_.clear();  // the host is gone: the transfer is dropped
    tries_ = 0;
    return;
  }
  SendFront(link, false);
}

void MagellanModel::Handle(const std::string& line, DeviceLink& link) {
  const magellan::ReceivedSentence sentence = magellan::ReadSentence(line);
  bool handshake = Handshake();
  if (sentence.Is("PMGNCSM")) {
    const auto sum = magellan::AcknowledgedChecksum(sentence);
    if (!awaiting_ || !sum) return;
    awaiting_ = false;
    if (*sum == awaitedSum_) {
      queue_.pop_front();
      tries_ = 0;
      Pump(link);
    } else if (++tries_ >= config_.sendTries) {
      queue_.clear();
      tries_ = 0;
    } else {
      SendFront(link, false);
    }
    return;
  }
  // In handshake mode every sentence is acknowledged, a damaged one so that it comes again; a
  // damaged one is not acted on.
  const auto fields = sentence.Fields();
  if (sentence.checksumOk) {
    // What the host asked for is on record before the acknowledgement tells it so. A rate
    // switch is only recorded: the line of a pseudo-terminal has no rate to change.
    std::lock_guard lock(mutex_);
    commands_.push_back(sentence.body);
    if (sentence.Is("PMGNCMD") && fields.size() >= 2 && fields[1] == "HANDOFF") handshake_ = false;
    if (sentence.Is("PMGNCMD") && fields.size() >= 3 && fields[1] == "BAUD") {
      int rate = 0;
      const auto [end, error] = std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), rate);
      if (error == std::errc{} && end == fields[2].data() + fields[2].size()) rate_ = rate;
    }
  }
  if (handshake) SendWithFault(magellan::AcknowledgeSentence(sentence), "PMGNCSM", "", link);
  if (!sentence.checksumOk) return;
  if (sentence.Is("PMGNWPL")) {
    // A waypoint of a name already stored replaces it, as on the receivers.
    std::lock_guard lock(mutex_);
    const auto sameName = [&](const std::string& body) {
      const magellan::ReceivedSentence storedSentence = magellan::ReadSentence("$" + body);
      const auto stored = storedSentence.Fields();
      return fields.size() > 7 && stored.size() > 7 && stored[7] == fields[7];
    };
    std::erase_if(uploaded_, sameName);
    uploaded_.push_back(sentence.body);
    return;
  }
  if (!sentence.Is("PMGNCMD") || fields.size() < 2) return;
  const std::string_view command = fields[1];
  if (command == "VERSION") {
    std::string answer = magellan::Sentence(config_.version);
    answer.resize(answer.size() - 2);
    queue_.push_back({answer, "PMGNVER", "", true});
  } else if (command == "HANDON") {
    std::lock_guard lock(mutex_);
    handshake_ = config_.handshake;
  } else if (command == "TRACK") {
    Queue(config_.trackSentences, "PMGNTRK");
  } else if (command == "WAYPOINT") {
    Queue(config_.waypointSentences, "PMGNWPL");
  } else if (command == "STOP") {
    queue_.clear();
    awaiting_ = false;
    tries_ = 0;
  } else if (command == "END") {
    std::lock_guard lock(mutex_);
    uploadEnded_ = true;
  }
  Pump(link);
}

void MagellanModel::Queue(const std::vector<std::string>& sentences, std::string_view kind) {
  int index = 0;
  for (const std::string& sentence : sentences) {
    ++index;
    queue_.push_back({sentence, FormatText("%.*s:%d", static_cast<int>(kind.size()), kind.data(), index),
                      std::string(kind), true});
  }
  std::string end = magellan::Sentence("PMGNCMD,END");
  end.resize(end.size() - 2);
  queue_.push_back({end, "END", "", false});
}

void MagellanModel::Pump(DeviceLink& link) {
  while (!awaiting_ && !queue_.empty()) {
    SendFront(link, true);
    if (awaiting_) return;
    queue_.pop_front();
  }
}

void MagellanModel::SendFront(DeviceLink& link, bool first) {
  const Outgoing& front = queue_.front();
  const std::string text = front.line + "\r\n";
  if (first) {
    SendWithFault(text, front.faultKey, front.faultKeyAll, link);
  } else {
    link.SendText(text);
  }
  if (Handshake() && front.acknowledged) {
    awaiting_ = true;
    awaitedSum_ = magellan::ReadSentence(front.line).computed;
    deadline_ = std::chrono::steady_clock::now() + config_.acknowledgeWait;
  }
}

void MagellanModel::SendWithFault(const std::string& text, const std::string& key,
                                  const std::string& keyAll, DeviceLink& link) {
  if (instrument_ != nullptr) {
    const auto waiting = config_.faultsFor.find(key);
    const bool own = waiting != config_.faultsFor.end() && !waiting->second.empty();
    instrument_->InjectFor(config_.faultsFor, own || keyAll.empty() ? key : keyAll);
  }
  link.SendText(text);
}

}  // namespace logwell::sim
