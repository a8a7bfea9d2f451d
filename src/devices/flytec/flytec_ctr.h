#pragma once
// Airspaces (CTRs) both ways. The instrument keeps each CTR as a numbered run of sentences:
// index 0 the header (name, warning distance), index 1 a remark, then one sentence per polygon
// corner or circle and three per arc (centre "X", start "T", end "Z"). The list comes down as
// $PBRCTR sentences closed by "$PBRANS,1"; an upload sends $PBRCTRW runs, each acknowledged
// by one $PBRANS answer.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "access/access_block.h"
#include "airspace/airspace_record.h"

namespace logwell::flytec {

inline constexpr std::size_t kCtrTextWidth = 17;  // the instrument's name and remark width

// Collects one sentence: the characters after "$" (at most 82; -1 beyond) up to "*", then two
// upper-case hexadecimal digits (-2, -3), CR (-4), LF (-6), and the checksum (-5). Bytes before
// a "$" are skipped. Feed returns 1 for more bytes, 0 when Body() holds a checked sentence.
class CtrLineAssembler {
 public:
  static constexpr std::size_t kMaxBody = 82;
  int Feed(std::uint8_t byte);
  const std::string& Body() const { return body_; }

 private:
  enum class State { WaitDollar, Body, Checksum1, Checksum2, CarriageReturn, LineFeed };
  int Fail(int code);
  State state_ = State::WaitDollar;
  std::string body_;
  std::string checksum_;
};

// The state machine over the received sentence bodies ("PBRCTR,..." without "$" and checksum).
// Feed returns 1 while the list goes on, 0 when "$PBRANS,1" closed it, or a negative code:
// -2 another $PBRANS status, -3 not a $PBRCTR sentence, -4/-5 run length missing/bad,
// -6/-7 index missing/bad, -8 a run shorter than 3, -9 a header whose index is not 0,
// -10/-11 warning distance missing/bad, -13 a remark whose index is not 1, -14 an index out of
// order, -15 kind letter missing, -16 an unknown kind letter, -17..-26 and -31 the position
// (missing field, latitude 9000 and up, no ".", bad decimals, hemisphere, the same for the
// longitude, east/west letter), -27/-28 circle radius missing/bad, -29/-30 arc direction
// missing/bad, -34 a circle in a run longer than 3, -35 a circle that is not the run's last
// sentence, -37 a run that ends at an arc centre, -38 an arc end without its centre, -39 a run
// that ends at an arc's start, -40 no start after an arc centre, -41 no end after its start.
class CtrListParser {
 public:
  CtrListParser(AirspaceList& received, std::function<void(std::string_view)> status)
      : received_(received), status_(std::move(status)) {}
  int Feed(std::string_view body);
  int CtrCount() const { return count_; }

 private:
  int Header(long run, long index, std::string_view name, const std::string_view* distance);
  int Segment(long index, std::span<const std::string_view> fields);
  void Completed();

  AirspaceList& received_;
  std::function<void(std::string_view)> status_;
  int state_ = 0;  // 0 header, 1 remark, 2 segment, 3 arc start, 4 arc end
  long expected_ = 0;
  long run_ = 0;
  int count_ = 0;
  AirspaceSegment arc_;
};

// The $PBRANS answer to an upload: "$PBRANS," (matched byte by byte after the "$", -1 on a
// mismatch), one status character, "*", the checksum (-2 to -6 as in CtrLineAssembler). Feed
// returns 1 for more bytes, 0 when Status() holds the answer.
class CtrAckAssembler {
 public:
  int Feed(std::uint8_t byte);
  char Status() const { return status_; }

 private:
  enum class State { WaitDollar, Prefix, Status, Star, Checksum1, Checksum2, CarriageReturn, LineFeed };
  int Fail(int code);
  State state_ = State::WaitDollar;
  std::size_t matched_ = 0;
  char status_ = 0;
  std::string checksum_;
};

// The $PBRCTRW sentences, each with its checksum suffix. Texts are cut and padded to 17
// characters; characters that would break the sentence (",", "*", "$", control bytes) are sent
// as blanks.
std::string CtrHeaderSentence(int run, int index, std::string_view name, int warningDistance);
std::string CtrRemarkSentence(int run, int index, std::string_view remark);
std::string CtrPointSentence(int run, int index, char kind, DegreePosition position);  // P, X
std::string CtrCircleSentence(int run, int index, DegreePosition centre, std::uint32_t radius);
std::string CtrArcEndSentence(int run, int index, char kind, DegreePosition position,
                              char direction);  // T, Z

// The point at `radius` metres from `centre` in the direction `bearing` (degrees clockwise from
// north), laid out in the UTM zone of the centre.
DegreePosition ArcEndPoint(DegreePosition centre, std::uint32_t radius, double bearing);

// The number of sentences of a record's run: 2, plus 1 per corner or circle, 3 per arc.
int CtrRunLength(const AirspaceRecord& record);

// Requests the CTR list into block.airspace. 0, or -1 after the failure was shown (the partial
// list is dropped).
int DownloadCtrList(AccessBlock& block);
// Sends every selected record of block.airspace, each followed by its acknowledgement. 0, or
// -1 after the failure was shown.
int UploadCtrs(AccessBlock& block);
// Waits for the acknowledgement of one run. 0 when the instrument accepted it, else -1.
int WaitForCtrAck(AccessBlock& block);

}  // namespace logwell::flytec
