#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "access/connect.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A line that delivers `chunks` chunks of "ab" with an XON and an XOFF, one every `gap`, and
// then stays silent.
class TricklingPort final : public Port {
 public:
  TricklingPort(int chunks, std::chrono::milliseconds gap) : left_(chunks), gap_(gap) {}
  bool Write(std::span<const std::uint8_t>) override { return true; }
  int Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) override {
    const auto now = Clock::now();
    if (left_ == 0 || now < next_) {
      std::this_thread::sleep_until(left_ == 0 ? now + wait : std::min(next_, now + wait));
      return 0;
    }
    --left_;
    next_ = now + gap_;
    const std::uint8_t chunk[] = {'a', 0x11, 'b', 0x13};
    std::copy(std::begin(chunk), std::end(chunk), buffer.begin());
    return 4;
  }
  bool Purge() override { return true; }
  bool Configure(int, bool) override { return true; }

 private:
  int left_;
  std::chrono::milliseconds gap_;
  Clock::time_point next_ = Clock::now();
};

struct Outcome {
  ReadResult result = ReadResult::Complete;
  std::string text;
};

// Every byte until the 400 ms time-out.
Outcome ReadAll(AccessBlock& block, ChunkReader& reader, bool fromLastChunk) {
  Outcome outcome;
  const auto keep = [&](std::uint8_t byte) {
    outcome.text += static_cast<char>(byte);
    return false;
  };
  outcome.result = fromLastChunk ? reader.ReadUntilSilence(block, 400ms, keep) : reader.ReadUntil(block, 400ms, keep);
  return outcome;
}

// Twelve chunks 50 ms apart take longer than the 400 ms limit: counted from the start the read
// ends before the last of them, counted from the last chunk it gets them all.
TEST(ChunkReader, SilenceTimeOutRunsFromTheLastChunk) {
  for (const bool fromLastChunk : {false, true}) {
    SCOPED_TRACE(fromLastChunk ? "silence" : "total");
    AccessBlock block;
    block.port = std::make_unique<TricklingPort>(12, 50ms);
    ChunkReader reader(16, TraceForm::None, FlowControlBytes::Drop);
    const Outcome outcome = ReadAll(block, reader, fromLastChunk);
    EXPECT_EQ(outcome.result, ReadResult::TimedOut);
    EXPECT_EQ(outcome.text.find_first_not_of("ab"), std::string::npos) << "flow-control bytes passed on";
    if (fromLastChunk) {
      EXPECT_EQ(outcome.text.size(), 24u);
    } else {
      EXPECT_LT(outcome.text.size(), 24u);
    }
  }
}

TEST(ChunkReader, KeepsFlowControlBytesUnlessToldToDrop) {
  AccessBlock block;
  block.port = std::make_unique<TricklingPort>(1, 50ms);
  ChunkReader reader(16, TraceForm::None);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(reader.ReadUntil(block, 1s, [&](std::uint8_t byte) {
    bytes.push_back(byte);
    return bytes.size() == 4;
  }), ReadResult::Complete);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'a', 0x11, 'b', 0x13}));
}

}  // namespace
}  // namespace logwell
