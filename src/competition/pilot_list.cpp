#include "competition/pilot_list.h"

#include <charconv>
#include <map>
#include <tuple>
#include <new>
#include <system_error>

#include "base/atomic_file.h"
#include "base/text.h"
#include "base/ui.h"
#include "base/xml_scanner.h"
#include "base/xml_text.h"
#include "base/xml_walker.h"

namespace logwell {
namespace {

constexpr std::string_view kBlanks = " \t";

struct ListFailure {
  std::string text;
};

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The first `limit` characters of a UTF-8 text.
std::string CutCharacters(std::string_view text, std::size_t limit) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && count++ == limit) {
      return std::string(text.substr(0, at));
    }
  }
  return std::string(text);
}

// A decimal number filling the whole text; nothing for anything else or beyond 32 bits.
std::optional<std::int32_t> ParseNumber(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// An ID field of the CSV format: empty or negative is none (-1).
std::int32_t CsvId(std::string_view field, std::string_view message, std::size_t line) {
  if (field.empty()) return -1;
  const auto value = ParseNumber(field);
  if (!value) {
    throw ListFailure{FormatText("%.*s on line %zu", static_cast<int>(message.size()),
                                 message.data(), line)};
  }
  return *value < 0 ? -1 : *value;
}

// The separator of a CSV list: whichever of comma, semicolon and tab its first line holds most
// of outside double quotes (spreadsheets write semicolons where the comma is the decimal sign);
// a comma when it holds none.
char DetectSeparator(std::string_view line) {
  std::size_t comma = 0, semicolon = 0, tab = 0;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    comma += c == ',';
    semicolon += c == ';';
    tab += c == '\t';
  }
  if (semicolon > comma && semicolon >= tab) return ';';
  if (tab > comma && tab > semicolon) return '\t';
  return ',';
}

// The fields of one CSV line. A field that begins with a double quote runs to the closing
// quote, a doubled quote inside standing for one.
std::vector<std::string> CsvFields(std::string_view line, char separator) {
  const std::string_view blanks = separator == '\t' ? std::string_view(" ") : kBlanks;
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (true) {
    std::string field;
    while (at < line.size() && blanks.find(line[at]) != std::string_view::npos) ++at;
    if (at < line.size() && line[at] == '"') {
      ++at;
      while (at < line.size()) {
        if (line[at] == '"' && at + 1 < line.size() && line[at + 1] == '"') {
          field += '"';
          at += 2;
        } else if (line[at] == '"') {
          ++at;
          break;
        } else {
          // A line break inside the quotes (the record runs on) counts as a space.
          if (line[at] == '\r' && at + 1 < line.size() && line[at + 1] == '\n') ++at;
          field += line[at] == '\r' || line[at] == '\n' ? ' ' : line[at];
          ++at;
        }
      }
      at = std::min(line.find(separator, at), line.size());
    } else {
      const std::size_t end = std::min(line.find(separator, at), line.size());
      field = std::string(Trim(line.substr(at, end - at), blanks));
      at = end;
    }
    fields.push_back(std::move(field));
    if (at >= line.size()) break;
    ++at;  // the separator
  }
  return fields;
}

// Where the record that starts at `at` ends: the first line break outside double quotes. A
// quote that never closes ends its record at the line's end, as a one-line record. Any of the
// separators a list may use starts a field: the separator is not known before the first record.
std::size_t RecordEnd(std::string_view text, std::size_t at) {
  const std::size_t lineEnd = std::min(text.find_first_of("\r\n", at), text.size());
  bool fieldStart = true;
  for (std::size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') return i;
    if (c == ',' || c == ';' || c == '\t') {
      fieldStart = true;
    } else if (fieldStart && c == '"') {
      // A quoted field, as CsvFields reads it: to the closing quote, "" standing for one.
      ++i;
      while (i < text.size() && !(text[i] == '"' && (i + 1 >= text.size() || text[i + 1] != '"'))) {
        i += text[i] == '"' ? 2 : 1;
      }
      if (i >= text.size()) return lineEnd;
      fieldStart = false;
    } else if (c != ' ' && c != '\t') {
      fieldStart = false;
    }
  }
  return text.size();
}

// Where each value of a CSV line is: by the header's column names, else in the written order
// (name, competition ID, CIVL ID, four devices).
struct CsvColumns {
  std::size_t name = 0;
  std::size_t compId = 1;
  std::size_t civlId = 2;
  std::array<std::size_t, kPilotDeviceCount> devices{3, 4, 5, 6};
};

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

CsvColumns HeaderColumns(const std::vector<std::string>& header, std::size_t line) {
  const auto find = [&header](std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (EqualsIgnoringCase(header[i], name)) return i;
    }
    return kNoColumn;
  };
  CsvColumns columns;
  columns.name = 0;
  columns.compId = find("CompId");
  columns.civlId = find("CivlId");
  for (const auto& [column, name] : {std::pair{columns.compId, "CompId"}, {columns.civlId, "CivlId"}}) {
    if (column == kNoColumn) {
      throw ListFailure{FormatText("The header on line %zu has no column %s", line, name)};
    }
  }
  for (std::size_t d = 0; d < kPilotDeviceCount; ++d) {
    // A header without device columns leaves them in the written order.
    const std::size_t device = find(FormatText("Device%zu", d + 1));
    columns.devices[d] = device != kNoColumn ? device : 3 + d;
  }
  return columns;
}

PilotList ParseCsv(std::string_view text) {
  PilotList pilots;
  std::map<std::int32_t, std::size_t> compIdLines;
  std::map<std::int32_t, std::size_t> civlIdLines;
  std::optional<char> separator;
  CsvColumns columns;
  std::size_t at = 0;
  std::size_t lineNumber = 0;
  while (at < text.size()) {
    const std::size_t end = RecordEnd(text, at);
    const std::string_view line = text.substr(at, end - at);
    at = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    ++lineNumber;
    if (IsBlank(line, kBlanks)) continue;
    const bool first = !separator;
    if (first) separator = DetectSeparator(line);
    const std::vector<std::string> fields = CsvFields(line, *separator);
    if (first && EqualsIgnoringCase(fields[0], "Name")) {
      columns = HeaderColumns(fields, lineNumber);
      continue;
    }
    const auto field = [&fields](std::size_t column) -> std::string_view {
      return column < fields.size() ? std::string_view(fields[column]) : std::string_view();
    };
    PilotRecord pilot;
    // Names go into file names and onto terminals: no control characters.
    pilot.name = CutCharacters(WithoutControlCharacters(field(columns.name)), kMaxPilotNameCharacters);
    pilot.compId = CsvId(field(columns.compId), "Bad CompId number", lineNumber);
    pilot.civlId = CsvId(field(columns.civlId), "Bad CivlId number", lineNumber);
    for (std::size_t d = 0; d < kPilotDeviceCount; ++d) {
      pilot.devices[d] =
          CutCharacters(WithoutControlCharacters(field(columns.devices[d])), kMaxPilotDeviceCharacters);
    }
    // One ID names one pilot: a list that gives an ID twice is refused whole.
    for (const auto& [id, lines, label] :
         {std::tuple{pilot.compId, &compIdLines, "Comp. ID"}, {pilot.civlId, &civlIdLines, "CIVL ID"}}) {
      if (id < 0) continue;
      const auto [earlier, added] = lines->emplace(id, lineNumber);
      if (!added) {
        throw ListFailure{FormatText("%s %d on line %zu is already on line %zu", label, id,
                                     lineNumber, earlier->second)};
      }
    }
    pilots.push_back(std::move(pilot));
  }
  return pilots;
}

std::string PilotMessage(std::string_view text, std::size_t number) {
  return FormatText("%.*s for pilot %zu in list", static_cast<int>(text.size()), text.data(),
                    number);
}

// Walks an XML pilot list, handing every element event to `handle`; the structure faults of the
// walker reject the file.
template <typename Handle>
void WalkXml(XmlStructureReader& reader, Handle handle) {
  std::string error;
  XmlElementEvent event;
  while (true) {
    if (!reader.Next(event, error)) throw ListFailure{error};
    if (event.kind == XmlElementEvent::Kind::End) return;
    handle(event);
  }
}

// The "Fs" database: FsParticipant elements with name, id and CIVLID attributes, the CIVL ID
// also from a nested FsCivlPilot element.
PilotList ParseFs(std::string_view text) {
  XmlStructureReader reader(text);
  std::string error;
  if (!reader.Start(error)) throw ListFailure{error};
  PilotList pilots;
  std::optional<PilotRecord> pilot;
  const auto civlId = [&](std::string_view attributes, std::string_view name) {
    const XmlIntAttribute id = FindXmlIntAttribute(attributes, name);
    if (id.status == XmlNumberStatus::Absent) return false;
    if (id.status != XmlNumberStatus::Ok || id.value < 0) {
      throw ListFailure{PilotMessage("Bad CIVL ID", pilots.size() + 1)};
    }
    pilot->civlId = id.value;
    return true;
  };
  WalkXml(reader, [&](const XmlElementEvent& e) {
    using Kind = XmlElementEvent::Kind;
    if (e.name == "FsParticipant" && e.parent == "FsParticipants") {
      if (e.kind == Kind::Close) {
        if (pilot) pilots.push_back(std::move(*pilot));
        pilot.reset();
        return;
      }
      const std::size_t number = pilots.size() + 1;
      if (IsBlank(e.attributes, " \t\r\n")) throw ListFailure{PilotMessage("Missing data", number)};
      const auto name = FindXmlAttribute(e.attributes, "name");
      if (!name || IsBlank(*name, " \t")) throw ListFailure{PilotMessage("Missing name", number)};
      const XmlIntAttribute id = FindXmlIntAttribute(e.attributes, "id");
      if (id.status != XmlNumberStatus::Ok || id.value < 0) {
        throw ListFailure{PilotMessage("Bad/missing comp. ID", number)};
      }
      pilot.emplace();
      pilot->name = CutCharacters(WithoutControlCharacters(DecodeXmlEntities(Trim(*name, kBlanks))),
                                  kMaxPilotNameCharacters);
      pilot->compId = id.value;
      civlId(e.attributes, "CIVLID");
    } else if (pilot && e.kind == Kind::Open && e.name == "FsCivlPilot" && pilot->civlId < 0) {
      civlId(e.attributes, "id");
    }
  });
  return pilots;
}

// The "RACE" database: tblPilot elements whose children hold first and last name, the pilot
// number (competition ID) and the global ID (CIVL ID).
PilotList ParseRace(std::string_view text) {
  XmlStructureReader reader(text);
  PilotList pilots;
  struct Fields {
    std::string first, last, number, global;
  };
  std::optional<Fields> fields;
  const auto id = [&](const std::string& value, std::string_view message) -> std::int32_t {
    if (value.empty()) return -1;
    const auto number = ParseNumber(value);
    if (!number || *number < 0) throw ListFailure{PilotMessage(message, pilots.size() + 1)};
    return *number;
  };
  WalkXml(reader, [&](const XmlElementEvent& e) {
    using Kind = XmlElementEvent::Kind;
    if (e.name == "tblPilot") {
      if (e.kind == Kind::Open) {
        fields.emplace();
        return;
      }
      if (!fields) return;
      const std::size_t number = pilots.size() + 1;
      PilotRecord pilot;
      pilot.name = WithoutControlCharacters(
          fields->first.empty() ? fields->last : fields->first + " " + fields->last);
      if (pilot.name.empty()) throw ListFailure{PilotMessage("Missing name", number)};
      if (CharacterCount(pilot.name) > kMaxPilotNameCharacters) {
        throw ListFailure{PilotMessage("Name too long", number)};
      }
      pilot.compId = id(fields->number, "Bad/missing pilot ID");
      pilot.civlId = id(fields->global, "Bad/missing CIVL ID");
      pilots.push_back(std::move(pilot));
      fields.reset();
      return;
    }
    if (!fields || e.kind != Kind::Close || e.parent != "tblPilot") return;
    std::string value = DecodeXmlText(e.content);
    if (e.name == "pilFirstName") fields->first = std::move(value);
    if (e.name == "pilLastName") fields->last = std::move(value);
    if (e.name == "pilNumber") fields->number = std::move(value);
    if (e.name == "pilIDGlobal") fields->global = std::move(value);
  });
  return pilots;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::optional<PilotList> ParsePilotList(std::string_view bytes, std::string& error,
                                        std::string* notice) {
  try {
    XmlTagScanner scanner(bytes);
    const XmlTag first = scanner.Next();
    PilotList pilots;
    if (first.result == XmlScanResult::EndOfText) {
      const std::string_view text = StripUtf8Bom(bytes);
      if (IsUtf8(text)) {
        pilots = ParseCsv(text);
      } else {
        // Spreadsheets save "CSV" in the Windows code page.
        pilots = ParseCsv(Windows1252ToUtf8(text));
        if (notice != nullptr) *notice = std::string(kWindows1252ListNotice);
      }
    } else {
      const bool race = first.name == "RACE";
      const std::string_view before = StripUtf8Bom(bytes.substr(0, bytes.find('<')));
      if (!IsBlank(before, " \t\r\n")) {
        throw ListFailure{race ? "Unknown BOM before opening tag '<RACE>'"
                               : "Unknown BOM before opening tag '<?xml>'"};
      }
      if (race) {
        pilots = ParseRace(StripUtf8Bom(bytes));
      } else if (first.name == "?xml" || first.name == "?xml?") {
        pilots = ParseFs(StripUtf8Bom(bytes));
      } else {
        throw ListFailure{"Missing opening tag '<?xml>'"};
      }
    }
    if (pilots.empty()) throw ListFailure{"No pilots found"};
    return pilots;
  } catch (const ListFailure& failure) {
    error = failure.text;
  } catch (const std::bad_alloc&) {
    error = "File buffer memory allocation";
  }
  return std::nullopt;
}

std::optional<PilotList> ReadPilotListFile(const std::filesystem::path& path, Ui& ui) {
  const ReadFileResult file = ReadWholeFile(path);
  switch (file.status) {
    case ReadStatus::Ok:
      break;
    case ReadStatus::OpenFailed:
    case ReadStatus::NotAFile:
      ui.ShowFileError("Error opening database file", kDecodingPilotListCaption, path.string(),
                       file.errorNumber);
      return std::nullopt;
    case ReadStatus::Empty:
      ui.ShowFileError("Database file is empty", kDecodingPilotListCaption, path.string());
      return std::nullopt;
    case ReadStatus::NoMemory:
      ui.ShowErrorBox("File buffer memory allocation", kDecodingPilotListCaption);
      return std::nullopt;
    case ReadStatus::TooLarge:
      ui.ShowFileError(FileTooLargeText(file.size), kDecodingPilotListCaption, path.string());
      return std::nullopt;
    case ReadStatus::ReadFailed:
      ui.ShowFileError("Database file read error", kDecodingPilotListCaption, path.string(),
                       file.errorNumber);
      return std::nullopt;
  }
  std::string error;
  std::string notice;
  auto pilots = ParsePilotList(file.bytes, error, &notice);
  if (!pilots) ui.ShowErrorBox(error, kDecodingPilotListCaption);
  if (pilots && !notice.empty()) ui.ShowStatus(notice);
  return pilots;
}

std::string WritePilotListCsv(const PilotList& pilots) {
  std::string text = "Name,CompId,CivlId";
  for (std::size_t d = 1; d <= kPilotDeviceCount; ++d) text += FormatText(",Device%zu", d);
  text += "\r\n";
  for (const PilotRecord& pilot : pilots) {
    text += CsvField(pilot.name);
    text += pilot.compId >= 0 ? FormatText(",%d", pilot.compId) : ",";
    text += pilot.civlId >= 0 ? FormatText(",%d", pilot.civlId) : ",";
    for (const std::string& device : pilot.devices) text += "," + CsvField(device);
    text += "\r\n";
  }
  return text;
}

int SavePilotListCsv(const PilotList& pilots, const std::filesystem::path& path, Ui& ui) {
  constexpr std::string_view kCaption = "Save pilot list";
  if (pilots.empty()) {
    ui.ShowErrorBox("No pilot list stored", kCaption);
    return -1;
  }
  std::error_code exists;
  if (std::filesystem::exists(path, exists) &&
      ui.AskYesNo("File already exists, overwrite ?", "File creation", Answer::No) != Answer::Yes) {
    return -1;
  }
  if (const int failure = WriteFileAtomically(path, WritePilotListCsv(pilots), WriteMode::Replace)) {
    ui.ShowFileError("File write error", kCaption, path.string(), failure);
    return -1;
  }
  return 0;
}

std::string PilotDisplayText(const PilotRecord& pilot) {
  if (pilot.compId >= 0 && pilot.civlId >= 0) {
    return FormatText("%s (comp. %d, CIVL %d)", pilot.name.c_str(), pilot.compId, pilot.civlId);
  }
  if (pilot.civlId >= 0) return FormatText("%s (CIVL %d)", pilot.name.c_str(), pilot.civlId);
  if (pilot.compId >= 0) return FormatText("%s (comp. %d)", pilot.name.c_str(), pilot.compId);
  return pilot.name;
}

const PilotRecord* FindPilot(const PilotList& pilots, std::int32_t compId, std::int32_t civlId) {
  if (civlId >= 0) {
    for (const PilotRecord& pilot : pilots) {
      if (pilot.civlId == civlId) return &pilot;
    }
  }
  if (compId >= 0) {
    for (const PilotRecord& pilot : pilots) {
      if (pilot.compId == compId) return &pilot;
    }
  }
  return nullptr;
}

}  // namespace logwell
