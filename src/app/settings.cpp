#include "app/settings.h"

#include <ini.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>

#include "base/atomic_file.h"
#include "base/text.h"
#include "base/ui.h"

namespace logwell {
namespace {

using K = SettingKind;
constexpr std::size_t kFolderSize = 269;
constexpr std::size_t kShortTextSize = 80;
constexpr std::size_t kFtpTextSize = 260;
constexpr std::size_t kAccountSize = 40;
constexpr std::size_t kRecentFilesSize = 8 * (kFolderSize + 2);

constexpr std::array<SettingRow, kSettingCount> kRows = {{
    {"PilotListName", K::Text, kFolderSize}, {"PilotListDir", K::Text, kFolderSize},
    {"GoogleDir", K::Text, kFolderSize}, {"CompDir", K::Text, kFolderSize},
    {"OziDir", K::Text, kFolderSize}, {"TrackLogDir", K::Text, kFolderSize},
    {"WaypointDir", K::Text, kFolderSize}, {"CtrDir", K::Text, kFolderSize},
    {"TraceDir", K::Text, kFolderSize}, {"Baudrate", K::Text, 11},
    {"PortName", K::Text, kShortTextSize}, {"Port", K::Number, 4}, {"AutoSetPort", K::Number, 4},
    {"LogFilter", K::Number, 4}, {"LogExportExt", K::Number, 4}, {"LogImportExt", K::Number, 4},
    {"WptExportExt", K::Number, 4}, {"WptImportExt", K::Number, 4},
    {"CompTimeStart", K::Number, 4}, {"CompTimeStop", K::Number, 4},
    {"CompWptNNN", K::Number, 4}, {"CompMode", K::Number, 4}, {"CompSpecial", K::Number, 4},
    {"TrackGapTime", K::Number, 4}, {"AddIgcToCompOut", K::Number, 4},
    {"AddKmlToCompOut", K::Number, 4}, {"LoopFlightGap", K::Number, 4},
    {"VarioFilter", K::Number, 4}, {"TimestampFilter", K::Number, 4},
    {"DownloadFilter", K::Number, 4}, {"FlymasterPwrOff", K::Number, 4},
    {"UtcOffsetForTN", K::Number, 4}, {"IgcDir", K::Text, kFolderSize},
    {"IgcPilotName", K::Text, kShortTextSize}, {"IgcFlightNo", K::Text, kShortTextSize},
    {"IgcContestId", K::Text, kShortTextSize}, {"IgcGliderType", K::Text, kShortTextSize},
    {"IgcGliderId", K::Text, kShortTextSize}, {"IgcSite", K::Text, kShortTextSize},
    {"IgcClass", K::Text, kShortTextSize}, {"IgcSaveMask", K::Number, 4},
    {"IgcAddEnl", K::Number, 4}, {"OlcDir", K::Text, kFolderSize},
    {"OlcFirstName", K::Text, kShortTextSize}, {"OlcLastName", K::Text, kShortTextSize},
    {"OlcBirthDate", K::Text, kShortTextSize}, {"OlcGliderClass", K::Text, kShortTextSize},
    {"OlcGliderType", K::Text, kShortTextSize}, {"OlcCallSign", K::Text, kShortTextSize},
    {"OlcStartPlace", K::Text, kShortTextSize}, {"OlcRegion", K::Text, kShortTextSize},
    {"OlcLongFileName", K::Number, 4}, {"DsxDataMode", K::Number, 4},
    {"CsvAbsTime", K::Number, 4}, {"CsvRelTime", K::Number, 4}, {"CsvRelDist", K::Number, 4},
    {"CsvAccDist", K::Number, 4}, {"CsvBearing", K::Number, 4}, {"Csv400deg", K::Number, 4},
    {"CsvSpeed", K::Number, 4}, {"CsvVario", K::Number, 4}, {"CtrSegError", K::Number, 4},
    {"FtpAddress", K::Text, kFtpTextSize}, {"FtpUserId", K::Text, kFtpTextSize},
    {"FtpRemoteName", K::Text, kFtpTextSize}, {"FtpLocalFolder", K::Text, kFtpTextSize},
    {"FtpLocalFileExt", K::Number, 4}, {"FtpPassiveMode", K::Number, 4},
    {"TrackvaultUserId", K::Text, kAccountSize}, {"TrackvaultPassword", K::Binary, kAccountSize},
    {"TrackvaultModel", K::Text, kAccountSize}, {"TrackvaultClass", K::Number, 4},
    {"TrackvaultTandem", K::Number, 4},
    {"LogbookAddress", K::Text, kFtpTextSize}, {"LogbookHomePage", K::Text, kFtpTextSize},
    {"ValidationAddress", K::Text, kFtpTextSize},
    {"WindowLayout", K::Text, kShortTextSize},
    {"RecentFiles", K::Text, kRecentFilesSize}, {"CsvIntervals", K::Text, kShortTextSize},
    {"ContestRules", K::Text, kShortTextSize},
    {"FtpTls", K::Number, 4}, {"FtpCaFile", K::Text, kFolderSize},
    {"LogbookAllowHttp", K::Number, 4}, {"LogbookLoginInQuery", K::Number, 4},
}};
static_assert(kRows[static_cast<std::size_t>(Setting::TrackvaultTandem)].name == "TrackvaultTandem");
static_assert(kRows[static_cast<std::size_t>(Setting::ValidationAddress)].name ==
              "ValidationAddress");
static_assert(kRows[static_cast<std::size_t>(Setting::LogbookLoginInQuery)].name ==
              "LogbookLoginInQuery");

constexpr std::size_t Index(Setting setting) { return static_cast<std::size_t>(setting); }

// The INI reader keeps lines to 200 bytes; longer values go on continuation lines.
constexpr std::size_t kMaxChunk = 150;

void NumberDefault(Setting setting, std::int64_t& number) {
  switch (setting) {
    case Setting::Port: case Setting::LogFilter: case Setting::LogExportExt:
    case Setting::LogImportExt: case Setting::WptExportExt: case Setting::WptImportExt:
    case Setting::FtpLocalFileExt: case Setting::FtpTls:
      number = 1; break;
    case Setting::CompTimeStart: number = 555674400; break;
    case Setting::TrackGapTime: number = 1200; break;
    case Setting::LoopFlightGap: number = 800; break;
    case Setting::IgcSaveMask: number = 5; break;
    case Setting::CtrSegError: number = 10; break;
    default: number = 0; break;
  }
}

std::string TextDefault(Setting setting, const std::string& documents) {
  switch (setting) {
    case Setting::Baudrate: return "9600";
    case Setting::PortName: return "COM1";
    case Setting::IgcPilotName: case Setting::IgcGliderType: case Setting::IgcGliderId:
    case Setting::IgcSite: case Setting::IgcClass:
      return "None";
    case Setting::IgcFlightNo: case Setting::IgcContestId: return "1";
    case Setting::ContestRules: return "xcontest";
    case Setting::FtpAddress: case Setting::FtpUserId: return std::string(kFtpPlaceholderHost);
    case Setting::PilotListName: case Setting::PilotListDir: case Setting::GoogleDir:
    case Setting::CompDir: case Setting::OziDir: case Setting::TrackLogDir:
    case Setting::WaypointDir: case Setting::CtrDir: case Setting::TraceDir: case Setting::IgcDir:
    case Setting::OlcDir: case Setting::FtpLocalFolder:
      return documents;
    default: return {};
  }
}

bool ParseNumber(std::string_view raw, std::int64_t& number) {
  const std::string text(raw);
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  number = value;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view raw, std::size_t size, std::vector<std::uint8_t>& bytes) {
  if (raw.size() != 2 * size) return false;
  bytes.assign(size, 0);
  for (std::size_t i = 0; i < size; ++i) {
    const int high = HexDigit(raw[2 * i]);
    const int low = HexDigit(raw[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

// The pieces of an encoded text; a continuation line never splits an escape.
std::vector<std::string> EncodeTokens(std::string_view text, bool escapeSpaces) {
  std::vector<std::string> tokens;
  tokens.emplace_back("\"");
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      tokens.push_back(std::string("\\") + c);
    } else if (byte < 0x20 || byte == 0x7F || c == ';' || c == '#' || (escapeSpaces && c == ' ')) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      tokens.emplace_back(escape);
    } else {
      tokens.emplace_back(1, c);
    }
  }
  tokens.emplace_back("\"");
  return tokens;
}

// The lines of one value: "name=" and the first piece, then indented continuation lines (the
// reader strips the indent and any space at a line's end, which is why spaces of a long value
// are escaped).
std::string RenderValueLines(std::string_view name, std::string_view encodedShort,
                             const std::vector<std::string>& longTokens) {
  std::string lines(name);
  lines += '=';
  if (encodedShort.size() <= kMaxChunk) {
    lines += encodedShort;
    lines += '\n';
    return lines;
  }
  std::size_t lineLength = 0;
  for (const std::string& token : longTokens) {
    if (lineLength + token.size() > kMaxChunk) {
      lines += "\n  ";
      lineLength = 0;
    }
    lines += token;
    lineLength += token.size();
  }
  lines += '\n';
  return lines;
}

std::string RenderText(std::string_view name, std::string_view text) {
  const std::string encoded = EncodeSettingText(text);
  return RenderValueLines(name, encoded, encoded.size() <= kMaxChunk
                                             ? std::vector<std::string>{}
                                             : EncodeTokens(text, true));
}

struct ParseState {
  std::vector<std::pair<std::string, std::string>> entries;  // name, raw value (joined)
  std::string lastName;
};

int OnIniValue(void* user, const char* section, const char* name, const char* value) {
  auto* state = static_cast<ParseState*>(user);
  if (std::string_view(section) != kSettingsSection) return 1;
  if (!state->entries.empty() && state->lastName == name) {
    state->entries.back().second += value;  // a continuation line
  } else {
    state->entries.emplace_back(name, value);
  }
  state->lastName = name;
  return 1;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr && *home != '\0' ? std::string(home) : std::string("/");
}

std::filesystem::path FirstAbsolute(const char* list, const std::filesystem::path& fallback) {
  if (list == nullptr) return fallback;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view first = rest.substr(0, colon);
    if (!first.empty() && first.front() == '/') return std::filesystem::path(first);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return fallback;
}

}  // namespace

std::span<const SettingRow> SettingRows() { return kRows; }
const SettingRow& RowOf(Setting setting) { return kRows[Index(setting)]; }

SettingsPaths StandardSettingsPaths() {
  const std::filesystem::path home = HomeFolder();
  const std::filesystem::path config = FirstAbsolute(std::getenv("XDG_CONFIG_HOME"), home / ".config");
  const std::filesystem::path system = FirstAbsolute(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg");
  return {config / "logwell" / "logwell.ini", system / "logwell" / "logwell.ini"};
}

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  if (const char* documents = std::getenv("XDG_DOCUMENTS_DIR"); documents && *documents == '/') {
    return documents;
  }
  std::error_code error;
  const std::filesystem::path candidate = std::filesystem::path(home) / "Documents";
  if (std::filesystem::is_directory(candidate, error)) return candidate.string();
  return home;
}

std::string EncodeSettingText(std::string_view text) {
  std::string encoded;
  for (const std::string& token : EncodeTokens(text, false)) encoded += token;
  return encoded;
}

bool DecodeSettingText(std::string_view encoded, std::string& text) {
  // A value a person typed without quotes is taken as it stands.
  if (encoded.size() < 2 || encoded.front() != '"' || encoded.back() != '"') {
    if (encoded.find('"') != std::string_view::npos) return false;
    text = std::string(encoded);
    return true;
  }
  encoded = encoded.substr(1, encoded.size() - 2);
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '"') return false;
    if (c != '\\') {
      decoded += c;
      continue;
    }
    if (i + 1 >= encoded.size()) return false;
    const char next = encoded[++i];
    if (next == '\\' || next == '"') {
      decoded += next;
    } else if (next == 'x' && i + 2 < encoded.size()) {
      const int high = HexDigit(encoded[i + 1]);
      const int low = HexDigit(encoded[i + 2]);
      if (high < 0 || low < 0) return false;
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      return false;
    }
  }
  text = std::move(decoded);
  return true;
}

SettingsStore::SettingsStore(std::string documentsFolder) : documents_(std::move(documentsFolder)) {
  ResetToDefaults();
}

SettingsStore::Value SettingsStore::DefaultOf(Setting setting, const std::string& documents) {
  Value value;
  const SettingRow& row = RowOf(setting);
  switch (row.kind) {
    case SettingKind::Text: value.text = CutUtf8(TextDefault(setting, documents), row.size - 1); break;
    case SettingKind::Number: NumberDefault(setting, value.number); break;
    case SettingKind::Binary: value.binary.assign(row.size, 0); break;
  }
  return value;
}

void SettingsStore::ResetToDefaults() {
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    values_[i] = DefaultOf(static_cast<Setting>(i), documents_);
  }
}

const std::string& SettingsStore::Text(Setting setting) const { return values_[Index(setting)].text; }
std::int64_t SettingsStore::Number(Setting setting) const { return values_[Index(setting)].number; }
const std::vector<std::uint8_t>& SettingsStore::Binary(Setting setting) const {
  return values_[Index(setting)].binary;
}

void SettingsStore::SetText(Setting setting, std::string_view text) {
  if (RowOf(setting).kind != SettingKind::Text) return;
  values_[Index(setting)].text = CutUtf8(text, RowOf(setting).size - 1);
}

bool SettingsStore::SetNumber(Setting setting, std::int64_t number) {
  if (RowOf(setting).kind != SettingKind::Number) return false;
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  values_[Index(setting)].number = number;
  return true;
}

void SettingsStore::SetBinary(Setting setting, std::span<const std::uint8_t> bytes) {
  const SettingRow& row = RowOf(setting);
  if (row.kind != SettingKind::Binary) return;
  std::vector<std::uint8_t>& stored = values_[Index(setting)].binary;
  stored.assign(row.size, 0);
  for (std::size_t i = 0; i < bytes.size() && i < row.size; ++i) stored[i] = bytes[i];
  if (setting == Setting::TrackvaultPassword) secretRefused_ = false;  // this run's own value
}

bool SettingsStore::IsDefault(Setting setting) const {
  return values_[Index(setting)] == DefaultOf(setting, documents_);
}

bool SettingsStore::ApplyRaw(Setting setting, const std::string& raw) {
  const SettingRow& row = RowOf(setting);
  Value& value = values_[Index(setting)];
  switch (row.kind) {
    case SettingKind::Text: {
      std::string text;
      if (!DecodeSettingText(raw, text)) return false;
      value.text = CutUtf8(text, row.size - 1);
      return true;
    }
    case SettingKind::Number: return ParseNumber(raw, value.number);
    case SettingKind::Binary: return ParseHex(raw, row.size, value.binary);
  }
  return false;
}

bool SettingsStore::ReadFile(const std::filesystem::path& file, bool fromUserFile) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    errno = EISDIR;
    return false;
  }
  std::FILE* stream = std::fopen(file.c_str(), "r");
  if (stream == nullptr) return false;
  ParseState state;
  // Lines the reader cannot parse are skipped; the values around them still count.
  ini_parse_file(stream, OnIniValue, &state);
  struct stat info {};
  const bool othersMayRead = ::fstat(fileno(stream), &info) == 0 && (info.st_mode & 044) != 0;
  std::fclose(stream);
  for (auto& [name, raw] : state.entries) {
    bool known = false;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
      if (kRows[i].name != name) continue;
      known = true;
      const auto setting = static_cast<Setting>(i);
      // A value that cannot be read keeps its default.
      if (!ApplyRaw(setting, raw)) values_[i] = DefaultOf(setting, documents_);
      if (fromUserFile) inFile_[i] = true;
      break;
    }
    if (!known && fromUserFile) unknown_.push_back({name, raw});
  }
  if (othersMayRead && HoldsSecret()) {
    secretRefused_ = true;
    refusedFile_ = file;
  }
  return true;
}

bool SettingsStore::HoldsSecret() const {
  const std::vector<std::uint8_t>& password = Binary(Setting::TrackvaultPassword);
  return std::any_of(password.begin(), password.end(), [](std::uint8_t b) { return b != 0; });
}

bool SettingsStore::Load(const SettingsPaths& paths, Ui& ui) {
  ResetToDefaults();
  inFile_.fill(false);
  unknown_.clear();
  open_ = false;
  secretRefused_ = false;
  refusedFile_.clear();
  userFile_ = paths.userFile;
  std::error_code error;
  existed_ = std::filesystem::exists(paths.userFile, error);
  if (existed_) {
    if (!ReadFile(paths.userFile, true)) {
      ui.ShowSystemError(errno, "Registry access error");
      return false;
    }
  } else if (!paths.defaultFile.empty() && std::filesystem::exists(paths.defaultFile, error)) {
    // An unreadable system-wide copy is no worse than none: the defaults stand.
    ReadFile(paths.defaultFile, false);
  }
  if (secretRefused_) {
    // The command goes where a file's name goes: on its own line in a box, whole in a terminal.
    ui.ShowFileError("The web logbook password is not used: others may read the settings file. "
                     "To fix, run",
                     "Settings file", "chmod 600 '" + refusedFile_.string() + "'");
  }
  open_ = true;
  return true;
}

std::string SettingsStore::RenderFile() const {
  std::string text = "[";
  text += kSettingsSection;
  text += "]\n";
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    const auto setting = static_cast<Setting>(i);
    if (existed_ && !inFile_[i] && IsDefault(setting)) continue;
    const SettingRow& row = kRows[i];
    switch (row.kind) {
      case SettingKind::Text: text += RenderText(row.name, values_[i].text); break;
      case SettingKind::Number:
        text += std::string(row.name) + '=' + std::to_string(values_[i].number) + '\n';
        break;
      case SettingKind::Binary:
        text += RenderValueLines(row.name, HexOf(values_[i].binary), {});
        break;
    }
  }
  // Values of a later version of the program stay as they were, one line each.
  for (const Entry& entry : unknown_) {
    if (entry.raw.size() <= kMaxChunk) text += entry.name + '=' + entry.raw + '\n';
  }
  return text;
}

bool SettingsStore::Save() {
  if (!open_) return false;
  std::error_code ignored;  // a folder that cannot be made fails the write below
  std::filesystem::create_directories(userFile_.parent_path(), ignored);
  // The file holds account passwords: a new one is the user's alone, and so is an existing one
  // as soon as it holds a secret (the writer keeps a replaced file's mode, so the old file is
  // narrowed first; it holds no newer secret than the one being written).
  if (HoldsSecret()) {
    struct stat info {};
    if (::stat(userFile_.c_str(), &info) == 0 && (info.st_mode & 077) != 0 &&
        ::chmod(userFile_.c_str(), 0600) != 0) {
      return false;
    }
  }
  if (const int error = WriteFileAtomically(userFile_, RenderFile(), WriteMode::Replace, 0600)) {
    errno = error;
    return false;
  }
  return true;
}

}  // namespace logwell
