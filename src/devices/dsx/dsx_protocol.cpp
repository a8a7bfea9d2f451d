#include "devices/dsx/dsx_protocol.h"

#include <array>

#include "base/text.h"

namespace logwell::dsx {
namespace {

constexpr std::string_view kIdentityPrefix = "DSX,";
constexpr std::size_t kMaxIdentityField = 24;

bool Printable(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E || c == ',') return false;
  }
  return true;
}

}  // namespace

bool LooksLikeIdentity(std::string_view line) { return line.starts_with(kIdentityPrefix); }

std::optional<std::string> ParseIdentity(std::string_view line, ProductData& product) {
  if (!LooksLikeIdentity(line)) return std::nullopt;
  std::array<std::string_view, 3> fields;
  std::string_view rest = line.substr(kIdentityPrefix.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t comma = rest.find(',');
    if ((comma == std::string_view::npos) != (i + 1 == fields.size())) {
      return "Unsupported record (identification): " + std::string(CutBytes(line, 60));
    }
    fields[i] = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  for (const std::string_view field : fields) {
    if (field.empty() || field.size() > kMaxIdentityField || !Printable(field)) {
      return "Unsupported record (identification): " + std::string(CutBytes(line, 60));
    }
  }
  product.model = std::string(fields[0]);
  product.serial = std::string(fields[1]);
  product.software = std::string(fields[2]);
  return std::nullopt;
}

std::string ProductText(const ProductData& product) {
  return FormatText("DSX %s, S/N %s, SW %s", product.model.c_str(), product.serial.c_str(),
                    product.software.c_str());
}

std::vector<std::string> PilotDataLines(const PilotData& data) {
  const std::array<const std::string*, 6> fields{&data.pilotName,    &data.competitionNumber, &data.competitionClass,
                                                 &data.callSign,     &data.aircraftType,      &data.telephone};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string clean = *fields[i];
    for (char& c : clean) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    const std::string cut = CutText(Trim(clean, kBlanksAndLineEnds), kMaxFieldLength);
    const std::string_view value = Trim(cut, kBlanksAndLineEnds);
    if (value.empty()) continue;
    lines.push_back(FormatText("H%d%s\r", static_cast<int>(i + 1), std::string(value).c_str()));
  }
  return lines;
}

}  // namespace logwell::dsx
