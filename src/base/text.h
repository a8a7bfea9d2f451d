#pragma once
// Small text helpers shared by every subsystem: printf-style formatting into a std::string
// through a bounded buffer (for the short texts of messages, list lines and dialog fields),
// trimming, text cutting, UTF-8 checks and ASCII case folding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace logwell {

// Texts longer than 255 bytes are cut.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The sets of characters the trimming helpers take off. Readers and dialogs differ in what
// they count as blank, so every caller names its set.
inline constexpr std::string_view kSpaces = " ";
inline constexpr std::string_view kSpacesAndTabs = " \t";
inline constexpr std::string_view kBlanksAndLineEnds = " \t\r\n";
inline constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";  // std::isspace in the C locale

// The text without the characters of `blanks` at its start, its end, or both.
std::string_view TrimLeading(std::string_view text, std::string_view blanks);
std::string_view TrimTrailing(std::string_view text, std::string_view blanks);
std::string_view Trim(std::string_view text, std::string_view blanks);
// True when the text holds nothing but characters of `blanks` (an empty text is blank).
bool IsBlank(std::string_view text, std::string_view blanks);

// The text without a UTF-8 byte order mark at its start.
std::string_view StripUtf8Bom(std::string_view text);

// The first `limit` bytes of a text (all of a shorter one), even when that splits a character.
std::string_view CutBytes(std::string_view text, std::size_t limit);
// At most `limit` bytes, stepping back over UTF-8 continuation bytes so that the cut never
// falls inside a character's sequence; the text is not checked to be UTF-8.
std::string_view CutUtf8(std::string_view text, std::size_t limit);
// Cuts a text at its first NUL and then to at most `limit` bytes, without splitting a character
// of a text that is UTF-8; single-byte (Latin-1) texts are cut at the limit.
std::string CutText(std::string_view text, std::size_t limit);
// True when the text is well-formed UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view text);
// Appends the UTF-8 encoding of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, std::uint32_t code);
// A name or other text as UTF-8: kept when it already is, else read as Latin-1.
std::string AsUtf8(std::string_view text);
// A Windows-1252 text (what spreadsheets write as "ANSI") as UTF-8; the five bytes that code
// page leaves undefined become U+FFFD.
std::string Windows1252ToUtf8(std::string_view text);

// Rounds half away from zero, then truncates; NaN gives 0 and values beyond the 32-bit range
// are clamped, so that no input can reach an undefined conversion.
std::int32_t RoundHalfAway(double value);

// ASCII letters turned to lower / upper case, every other byte kept, whatever the locale (as
// std::tolower / std::toupper do in the C locale).
std::string LowerCase(std::string text);
std::string UpperCase(std::string text);

// For the formats whose fields a separator would split and which cannot quote: the text with
// each separator replaced by a space, and a separator followed by a space dropped ("Col, du
// Pillon" becomes "Col du Pillon").
std::string WithoutSeparator(std::string_view text, char separator);
// True when the texts differ at most in the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
// A path's extension with its dot, in lower case: ".IGC" gives ".igc"; none gives "".
std::string LowerExtension(const std::filesystem::path& path);

// Status texts written as "Requesting track log %": each "%" takes the next number in turn (a
// "%" past the last number stays as it is).
std::string FillTemplate(std::string_view text, std::initializer_list<long long> numbers);

// True when the text holds an ASCII control character (below 0x20, or DEL), which would let it
// end a protocol line or a form field early.
bool HasControlCharacter(std::string_view text);
// The text with each ASCII control character (tabs and line breaks included) and each C1
// control (U+0080..U+009F as UTF-8) dropped: text from a server, a file or a person that goes to
// a terminal, a message or a file name.
std::string WithoutControlCharacters(std::string_view text);

// A JSON string literal of the text: quoted, with quotes, backslashes and control bytes escaped.
std::string JsonText(std::string_view text);

}  // namespace logwell
