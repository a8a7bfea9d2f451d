#pragma once
// The settings store: the named values (folders, port, filters, IGC header data, competition
// values, service accounts) kept between interactive runs in an INI file,
// $XDG_CONFIG_HOME/logwell/logwell.ini. A user without a file starts from the system-wide copy
// (/etc/xdg/logwell/logwell.ini) when there is one, else from the built-in defaults. The file
// is read once when the main window is first created and written, in one piece, on the way out
// of an interactive run; unattended runs never write it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace logwell {

class Ui;

// The values, in the order of the file.
enum class Setting : int {
  PilotListName, PilotListDir, GoogleDir, CompDir, OziDir, TrackLogDir, WaypointDir, CtrDir,
  TraceDir, Baudrate, PortName, Port, AutoSetPort, LogFilter, LogExportExt, LogImportExt,
  WptExportExt, WptImportExt, CompTimeStart, CompTimeStop, CompWptNNN, CompMode, CompSpecial,
  TrackGapTime, AddIgcToCompOut, AddKmlToCompOut, LoopFlightGap, VarioFilter, TimestampFilter,
  UseDownloadFilter, FlymasterPwrOff, UtcOffsetForTN, IgcDir, IgcPilotName, IgcFlightNo,
  IgcContestId, IgcGliderType, IgcGliderId, IgcSite, IgcClass, IgcSaveMask, IgcAddEnl, OlcDir,
  OlcFirstName, OlcLastName, OlcBirthDate, OlcGliderClass, OlcGliderType, OlcCallSign,
  OlcStartPlace, OlcRegion, OlcLongFileName, DsxDataMode, CsvAbsTime, CsvRelTime, CsvRelDist,
  CsvAccDist, CsvBearing, Csv400deg, CsvSpeed, CsvVario, CtrSegError, FtpAddress, FtpUserId,
  FtpRemoteName, FtpLocalFolder, FtpLocalFileExt, FtpPassiveMode, TrackvaultUserId,
  TrackvaultPassword, TrackvaultModel, TrackvaultClass, TrackvaultTandem,
  // The online services' addresses ("http://host[:port]"); empty until configured.
  LogbookAddress, LogbookHomePage, ValidationAddress,
  // The window program's layout: its width and the sizes of its list and views.
  WindowLayout,
  // The window program's recent files, newest first, one "<kind letter><path>" per tab-separated
  // entry; the averaging seconds of the CSV columns, "bearing,speed,vario".
  RecentFiles, CsvIntervals,
  // The contest whose claim the pictures, the statistics and the KML files give first
  // ("xcontest", "olc", "ffvl", "xcleague").
  ContestRules,
  // FTP sends through TLS (1, the default) or in the clear (0), and a certificate file to trust
  // besides the system's (a self-signed server).
  FtpTls, FtpCaFile,
  // 1 lets the web logbook use a plain "http://" address; 1 puts the login into the request's
  // address instead of its body, for a service that reads it only there.
  LogbookAllowHttp, LogbookLoginInQuery,
};
inline constexpr std::size_t kSettingCount = 84;
// (The enumerator for the "DownloadFilter" value is UseDownloadFilter, apart from the filter type.)

enum class SettingKind { Text, Number, Binary };

struct SettingRow {
  std::string_view name;
  SettingKind kind;
  std::size_t size;  // bytes: texts hold at most size - 1, binary values exactly size
};

std::span<const SettingRow> SettingRows();
const SettingRow& RowOf(Setting setting);

// The section of the file that holds the values.
inline constexpr std::string_view kSettingsSection = "Logwell";
// The host name that stands in the FTP fields until the user gives a real one.
inline constexpr std::string_view kFtpPlaceholderHost = "ftp.example.com";

struct SettingsPaths {
  std::filesystem::path userFile;     // read at start, written at the end
  std::filesystem::path defaultFile;  // the system-wide starting copy, read only
};
// $XDG_CONFIG_HOME (else ~/.config)/logwell/logwell.ini and the first folder of
// $XDG_CONFIG_DIRS (else /etc/xdg)/logwell/logwell.ini.
SettingsPaths StandardSettingsPaths();
// The user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents, else the home folder):
// the default of every folder value.
std::string DocumentsFolder();

class SettingsStore {
 public:
  // Every value starts at its default; `documentsFolder` is the default of the folder values.
  explicit SettingsStore(std::string documentsFolder = DocumentsFolder());

  // Reads the user's file, or the system-wide copy when the user has none. A file that exists
  // but cannot be read is reported ("Registry access error") and leaves every value at its
  // default, and Save will then write nothing. Returns false in that case. A secret in a file
  // that group or others may read is reported with the command that fixes it, and refused
  // (SecretRefused).
  bool Load(const SettingsPaths& paths, Ui& ui);
  // Writes the file atomically (only after a successful Load). A file made in this run gets
  // every value; an existing one gets the values that differ from their defaults and every
  // value it already held, so a value set back to its default replaces the old one. Values the
  // program does not know are kept. Returns false (errno set) when the file could not be
  // written.
  bool Save();

  bool IsOpen() const { return open_; }
  bool FileExisted() const { return existed_; }
  // True while the file's values hold a secret (the remembered web-logbook password); Save then
  // writes the file for its owner alone (mode 0600), whatever mode it had.
  bool HoldsSecret() const;
  // True when the file read held a secret while other users could read it: Load said so and how
  // to fix it, and the secret is not to be used. A secret set in this run lifts the refusal.
  bool SecretRefused() const { return secretRefused_; }

  const std::string& Text(Setting setting) const;
  std::int64_t Number(Setting setting) const;
  const std::vector<std::uint8_t>& Binary(Setting setting) const;
  // Texts are cut to their room; numbers must fit 32 bits (signed or unsigned), others are
  // refused; binary values are cut or padded with zeros to their size.
  void SetText(Setting setting, std::string_view text);
  bool SetNumber(Setting setting, std::int64_t number);
  void SetBinary(Setting setting, std::span<const std::uint8_t> bytes);

  bool IsDefault(Setting setting) const;
  void ResetToDefaults();

  // The file text Save would write (exposed for tests).
  std::string RenderFile() const;

 private:
  struct Value {
    std::string text;
    std::int64_t number = 0;
    std::vector<std::uint8_t> binary;
    bool operator==(const Value&) const = default;
  };
  struct Entry {
    std::string name;
    std::string raw;
  };
  static Value DefaultOf(Setting setting, const std::string& documents);
  bool ApplyRaw(Setting setting, const std::string& raw);
  // False (errno set) when the file cannot be opened.
  bool ReadFile(const std::filesystem::path& file, bool fromUserFile);

  std::string documents_;
  std::array<Value, kSettingCount> values_;
  std::array<bool, kSettingCount> inFile_{};  // the user's file held the value at load
  std::vector<Entry> unknown_;                // values of the file the program does not know
  std::filesystem::path userFile_;
  bool open_ = false;
  bool existed_ = false;
  bool secretRefused_ = false;
  std::filesystem::path refusedFile_;  // the readable file the secret came from
};

// Text values are written between double quotes with \\, \" and \xHH escapes for control
// characters and ';' (the INI reader's comment mark). Exposed for tests.
std::string EncodeSettingText(std::string_view text);
bool DecodeSettingText(std::string_view encoded, std::string& text);

}  // namespace logwell
