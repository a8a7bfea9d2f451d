#include "airspace/airspace_convert.h"

#include <string>

#include "airspace/airspace_file.h"
#include "base/ui.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr int kConvertDone = 0;
constexpr int kConvertFailed = 1;

bool EndsWith(std::string_view text, std::string_view end) { return text.ends_with(end); }

}  // namespace

bool LooksLikeOpenAir(std::string_view text) {
  text = StripUtf8Bom(text);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = TrimLeading(text.substr(start, end - start), kSpacesAndTabs);
    start = end + 1;
    if (line.empty() || line.front() == '*') continue;
    for (const std::string_view keyword : {"AC ", "AN ", "AH ", "AL ", "V ", "DP ", "DC ", "DB "}) {
      if (line.starts_with(keyword)) return true;
    }
    return false;
  }
  return false;
}

bool IsOpenAirInput(const std::filesystem::path& path, std::string_view text) {
  const std::string extension = LowerExtension(path);
  if (extension == ".openair") return true;
  return LooksLikeOpenAir(text);
}

std::optional<AirspaceFileKind> AirspaceOutputKind(const std::filesystem::path& path) {
  const std::string name = LowerCase(path.filename().string());
  if (EndsWith(name, ".noarcs.txt") || EndsWith(name, ".noarcs.openair")) {
    return AirspaceFileKind::OpenAirNoArcs;
  }
  if (EndsWith(name, ".txt") || EndsWith(name, ".openair")) return AirspaceFileKind::OpenAir;
  if (EndsWith(name, ".gpx")) return AirspaceFileKind::Gpx;
  if (EndsWith(name, ".js")) return AirspaceFileKind::WebMap;
  return std::nullopt;
}

int ConvertAirspaceFile(const std::filesystem::path& input, const std::filesystem::path& output,
                        Ui& ui) {
  const auto kind = AirspaceOutputKind(output);
  if (!kind) {
    ui.ShowErrorBox("Unknown airspace output type (use .txt, .openair, .noarcs.txt, .gpx or .js)",
                    "Write CTR");
    return kConvertFailed;
  }
  AirspaceSettings settings;
  auto records = ReadAirspacesForUpload(input, ui, settings);
  if (!records) return kConvertFailed;
  if (records->empty()) {
    // Nothing to write: an empty file would look like a successful conversion.
    ui.ShowErrorBox("No CTR(s) selected", "Write CTR");
    return kConvertFailed;
  }
  return WriteSelectedAirspaces(*records, output, *kind, settings, ui) == 0 ? kConvertDone
                                                                            : kConvertFailed;
}

}  // namespace logwell
