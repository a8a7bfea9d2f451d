#pragma once
// Where a set of positions came from: the instrument family, whether its times are UTC, whether
// the IGC writer may sign it, whether it carries pressure altitudes, and the instrument's own
// texts. A download fills one, hands it to its completion routine, and the track log keeps it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"

namespace logwell {

// Which instrument family produced a track log; 0 for files, conversions and edited logs.
enum class TrackSourceKind : std::uint32_t {
  None = 0, Garmin = 1, Mlr = 2, TopNavigator = 3, LogIt = 4, Flytec = 5, Graviter = 6,
  Magellan = 7, Flymaster = 8, Dsx = 9, Mtk = 10, IqBasic = 11, Digifly = 12, Syride = 13,
};

// Whether the IGC writer may sign a log.
enum class SignState : std::uint32_t {
  NotSignable = 0,      // may not carry a G record
  Downloaded = 1,       // came straight from an instrument download
  FileSignatureOk = 2,  // read from a file whose own signature checked out
  ValidatedOnline = 3,  // read from an IGC file that the online validation accepted
};

struct TrackSource {
  static constexpr std::size_t kMaxInstrumentNameLength = 16;
  static constexpr std::size_t kMaxInstrumentTextLength = 80;
  static constexpr std::size_t kMaxInstrumentIdLength = 50;

  TrackSourceKind kind = TrackSourceKind::None;
  int timeIsUtc = 0;     // 1: point times are UTC; 0: the instrument's local time
  SignState signState = SignState::NotSignable;
  int altitudeFlag = 0;  // 1: the points carry meaningful pressure altitudes

  // The instrument's short name (the Track List title), its product text (model, serial and
  // software, as the IGC A record and the KML files show it) and its identification (name and
  // pilot). The setters cut longer texts so that the limits always hold.
  const std::string& InstrumentName() const { return instrumentName_; }
  const std::string& InstrumentText() const { return instrumentText_; }
  const std::string& InstrumentId() const { return instrumentId_; }
  void SetInstrumentName(std::string_view text) {
    instrumentName_ = CutText(text, kMaxInstrumentNameLength);
  }
  void SetInstrumentText(std::string_view text) {
    instrumentText_ = CutText(text, kMaxInstrumentTextLength);
  }
  void SetInstrumentId(std::string_view text) {
    instrumentId_ = CutText(text, kMaxInstrumentIdLength);
  }

  bool operator==(const TrackSource&) const = default;

 private:
  std::string instrumentName_;
  std::string instrumentText_;
  std::string instrumentId_;
};

}  // namespace logwell
