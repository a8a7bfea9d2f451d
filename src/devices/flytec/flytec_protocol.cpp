#include "devices/flytec/flytec_protocol.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "base/text.h"

namespace logwell::flytec {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kModelLength = 16;
constexpr std::size_t kPilotLength = 40;
constexpr std::size_t kSerialLength = 7;
constexpr std::size_t kSoftwareLength = 6;
constexpr int kDefaultProductBudget = 30;
constexpr milliseconds kProductAnswerWindow{2000};
constexpr milliseconds kAfterProductPause{1000};
constexpr std::size_t kProductLineLength = 80;
constexpr std::size_t kReadChunk = 256;

constexpr std::string_view kProductCaption = "Reading product data";

struct ModelRow {
  std::string_view contains;
  std::string_view display;
};
// Searched in this order, so that "COMPEO+" is found before "COMPEO".
constexpr std::array<ModelRow, 9> kDisplayNames = {{
    {"5020", "5020"}, {"5030", "5030"}, {"6020", "6020"}, {"6030", "6030"},
    {"COMPEO+", "Compeo+"}, {"COMPEO", "Compeo"}, {"COMPETINO+", "Competino+"},
    {"COMPETINO", "Competino"}, {"GALILEO", "Galileo"},
}};

struct TrackListRow {
  std::string_view model;
  std::string_view above;  // empty: every firmware has the list
};
constexpr std::array<TrackListRow, 9> kTrackListModels = {{
    {"COMPETINO", "1.13"}, {"5020", "1.13"}, {"COMPEO", "2.19"}, {"5030", "2.19"},
    {"GALILEO", "2.19"}, {"COMPEO+", ""}, {"6030", ""}, {"COMPETINO+", ""}, {"6020", ""},
}};

}  // namespace

std::string OneTrackRequest(int index) {
  const char tens = static_cast<char>('0' + index / 10);
  const char ones = static_cast<char>('0' + index % 10);
  // 0x6A is the exclusive-or of "PBRTR,".
  const unsigned checksum = 0x6Au ^ static_cast<unsigned char>(tens) ^ static_cast<unsigned char>(ones);
  return FormatText("\x11$PBRTR,%c%c*%02X\r\n", tens, ones, checksum);
}

std::string_view DisplayName(std::string_view model) {
  for (const ModelRow& row : kDisplayNames) {
    if (model.find(row.contains) != std::string_view::npos) return row.display;
  }
  return "Unknown";
}

bool IsKnownModel(std::string_view model) {
  return std::any_of(kTrackListModels.begin(), kTrackListModels.end(),
                     [&](const TrackListRow& row) { return row.model == model; });
}

bool HasTrackList(std::string_view model, std::string_view software) {
  for (const TrackListRow& row : kTrackListModels) {
    if (row.model != model) continue;
    return row.above.empty() || software > row.above;  // byte-wise comparison
  }
  return false;
}

bool ReadProductFields(std::span<const std::string_view> fields, ProductData& product) {
  if (fields.size() < 5) return false;
  product.model = UpperCase(std::string(CutBytes(Trim(fields[1], kSpacesAndTabs), kModelLength)));
  product.pilot = CutBytes(Trim(fields[2], kSpacesAndTabs), kPilotLength);
  product.serial = CutBytes(fields[3], kSerialLength);
  product.software = CutBytes(fields[4], kSoftwareLength);
  return !product.pilot.empty();
}

ChunkReader InstrumentReader() { return ChunkReader(kReadChunk, TraceForm::Raw, FlowControlBytes::Drop); }

NmeaLineAssembler SentenceAssembler(std::size_t maxLength) {
  return NmeaLineAssembler(maxLength, NmeaLineAssembler::Framing::DollarToCarriageReturn,
                           NmeaLineAssembler::Overlong::Cut);
}

bool SendText(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

int RequestProductData(AccessBlock& block, ProductData& product) {
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultProductBudget;
  for (int requests = 0; 2 * requests < budget; ++requests) {
    const std::string asking = FillTemplate("Requesting product info (%)", {(budget - 2 * requests) / 2});
    ShowAccessStatus(block, AwaitingAnswerText(block, asking, budget - 2 * requests));
    if (!SendText(block, kProductRequest)) {
      ShowAccessError(block, "COM port write error", "Requesting GPS product data");
      return -1;
    }
    NmeaLineAssembler collector = SentenceAssembler(kProductLineLength);
    bool answered = false;
    bool gaveUp = false;  // a bad answer: the rest of the window is waited out
    ChunkReader reader = InstrumentReader();
    const ReadResult end = reader.ReadUntil(block, kProductAnswerWindow, [&](std::uint8_t byte) {
      if (gaveUp || !collector.Feed(byte)) return false;
      const auto fields = SplitNmeaSentence(collector.Line(), 5);
      if (fields.size() < 5 || fields[0] != "$PBRSNP") {
        gaveUp = true;
        return false;
      }
      answered = true;
      if (!ReadProductFields(fields, product)) product.pilot.clear();
      return true;
    });
    if (end == ReadResult::Aborted) return -1;  // the frame shows "Transfer aborted"
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "COM port read error", kProductCaption);
      return -1;
    }
    if (!answered) continue;
    if (product.pilot.empty()) {
      ShowAccessError(block, "Bad/missing user name", kProductCaption);
      return -1;
    }
    ShowAccessStatus(block, "Product data read");
    ShowAccessProduct(block, product.model + ", SN" + product.serial + ", SW" + product.software);
    const std::string_view display = DisplayName(product.model);
    block.source.SetInstrumentName(display);
    block.source.SetInstrumentText(product.model + " SN" + product.serial + " SW" + product.software);
    block.source.SetInstrumentId(std::string(display) + ": " + product.pilot);
    if (!block.Pause(kAfterProductPause)) return -1;
    return 0;
  }
  ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
  return -1;
}

}  // namespace logwell::flytec
