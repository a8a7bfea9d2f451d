#include "sim/mtk/mtk_model.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "access/nmea.h"
#include "base/text.h"

namespace logwell::sim {
namespace {

constexpr std::size_t kMaxLine = 200;
constexpr std::uint32_t kMaxRead = 0x10000;

std::string Sentence(std::string_view body) { return AppendNmeaChecksum(body); }

std::string Ack(std::string_view command, int result = 3) {
  return Sentence(FormatText("$PMTK001,%.*s,%d", static_cast<int>(command.size()), command.data(), result));
}

bool Hex(std::string_view text, std::uint32_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return !text.empty() && text.size() <= 8 && error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

std::uint32_t UsedMemory(const std::vector<std::uint8_t>& memory) {
  const auto last = std::find_if(memory.rbegin(), memory.rend(), [](std::uint8_t b) { return b != 0xFF; });
  return static_cast<std::uint32_t>(memory.rend() - last);
}

MtkModel::MtkModel(MtkModelConfig config) : config_(std::move(config)), logging_(config_.logging) {
  if (config_.used == 0) config_.used = UsedMemory(config_.memory);
}

bool MtkModel::Logging() const {
  std::lock_guard lock(mutex_);
  return logging_;
}

bool MtkModel::Erased() const {
  std::lock_guard lock(mutex_);
  return erased_;
}

void MtkModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '$') {
      inLine_ = true;
      line_ = "$";
    } else if (inLine_ && byte == '\n') {
      inLine_ = false;
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      Handle(line_, link);
    } else if (inLine_ && line_.size() < kMaxLine) {
      line_ += static_cast<char>(byte);
    }
  }
}

void MtkModel::Handle(const std::string& sentence, DeviceLink& link) {
  std::string line = sentence;
  if (line.find('*') == std::string::npos) return;
  const std::vector<std::string_view> fields = SplitNmeaSentence(line, 8);
  if (fields.empty()) return;  // a request with a wrong checksum is not answered
  if (fields[0] == "$PMTK605") {
    Answer("PMTK605", Sentence("$PMTK705," + config_.firmware), link);
    return;
  }
  if (fields[0] != "$PMTK182" || fields.size() < 2) return;
  const std::string_view command = fields[1];
  if (command == "2" && fields.size() >= 3 && fields[2] == "7") {
    Answer("PMTK182,2,7", Sentence(FormatText("$PMTK182,3,7,%d", Logging() ? 2 : 0)) + Ack("182,2"), link);
  } else if (command == "2" && fields.size() >= 3 && fields[2] == "8") {
    Answer("PMTK182,2,8", Sentence(FormatText("$PMTK182,3,8,%08X", config_.used)) + Ack("182,2"), link);
  } else if (command == "5") {
    { std::lock_guard lock(mutex_); logging_ = false; }
    Answer("PMTK182,5", Ack("182,5"), link);
  } else if (command == "4") {
    { std::lock_guard lock(mutex_); logging_ = true; }
    Answer("PMTK182,4", Ack("182,4"), link);
  } else if (command == "6") {
    {
      std::lock_guard lock(mutex_);
      erased_ = true;
      std::fill(config_.memory.begin(), config_.memory.end(), 0xFF);
      config_.used = 0;
    }
    Answer("PMTK182,6", Ack("182,6"), link);
  } else if (command == "7" && fields.size() >= 4) {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    if (!Hex(fields[2], offset) || !Hex(fields[3], size) || size == 0 || size > kMaxRead) {
      Answer("PMTK182,7", Ack("182,7", 0), link);
      return;
    }
    ++reads_;
    std::string text;
    for (std::uint32_t at = 0; at < size; at += config_.sentenceBytes) {
      const std::uint32_t n = std::min(config_.sentenceBytes, size - at);
      const std::uint32_t shown =
          reads_ == config_.wrongOffsetRead ? 0x7F000000u : offset + at;
      std::string body = FormatText("$PMTK182,8,%08X,", shown);
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::size_t where = static_cast<std::size_t>(offset) + at + i;
        const std::uint8_t b = where < config_.memory.size() ? config_.memory[where] : 0xFF;
        body += FormatText("%02X", b);
      }
      text += Sentence(body);
    }
    Answer("PMTK182,7", text + Ack("182,7"), link);
  }
}

void MtkModel::Answer(const std::string& request, const std::string& text, DeviceLink& link) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, request);
  link.SendTextPaced(text, config_.paced ? config_.baudRate : 0);
}

}  // namespace logwell::sim
