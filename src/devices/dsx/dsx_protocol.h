#pragma once
// DSX flight recorders: 9600 baud, no flow control. The host opens a connection with
// "Conn\n\r\r\n#", asks for the stored flight with "ZZZZ\r" and receives it as the recorder's
// own IGC text; pilot data goes out as "H1…\r" to "H6…\r". Those literals are the program's own.
// The recorder's answer to the connection request is this project's UNVERIFIED reading
// (docs/instruments.md): one line "DSX,model,serial,software". An answer that does not match
// is refused ("Unsupported record …"), never guessed at.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/pilot_data.h"

namespace logwell::dsx {

inline constexpr int kBaudRate = 9600;
inline constexpr std::string_view kConnectRequest = "Conn\n\r\r\n#";
inline constexpr std::string_view kTrackRequest = "ZZZZ\r";
// A pilot data field is cut to this many characters (unverified: the recorder's limit is not
// public; an IGC header line holds at most 79 characters after its prefix).
inline constexpr std::size_t kMaxFieldLength = 40;

struct ProductData {
  std::string model;
  std::string serial;
  std::string software;
};

// The connection answer, without its line end. Nothing when the line is not an identification
// at all (another line on the wire); a refusal text when it starts like one but does not match.
std::optional<std::string> ParseIdentity(std::string_view line, ProductData& product);
bool LooksLikeIdentity(std::string_view line);
// "DSX %s, S/N %s, SW %s"
std::string ProductText(const ProductData& product);

// The pilot data lines in their order (H1 pilot name, H2 competition ID, H3 competition class,
// H4 call sign, H5 aircraft type, H6 telephone number), each "H%d%s\r". Blank fields are not
// sent; control characters become blanks, surrounding blanks are dropped, and each field is
// cut to kMaxFieldLength.
std::vector<std::string> PilotDataLines(const PilotData& data);

}  // namespace logwell::dsx
