#include "access/debug_buffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

std::string Text(const DebugBuffer& buffer) {
  const auto bytes = buffer.Contents();
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> Sequence(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

TEST(DebugBuffer, WritesHexDumpAndHex32) {
  auto buffer = std::make_unique<DebugBuffer>();
  buffer->AppendHexDump(Sequence(17));
  EXPECT_EQ(Text(*buffer),
            " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n 10\r\n");
  buffer->Clear();
  buffer->AppendHexDump(Sequence(16));
  EXPECT_EQ(Text(*buffer), " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n");
  buffer->Clear();
  buffer->AppendHex32(0x0012ABCFu);
  buffer->AppendText("|");
  buffer->AppendByte(0xFE);
  EXPECT_EQ(Text(*buffer), "0012ABCF|\xFE");
}

TEST(DebugBuffer, StopsGrowingAtItsCapacity) {
  auto buffer = std::make_unique<DebugBuffer>();
  const std::vector<std::uint8_t> block(DebugBuffer::kCapacity - 4, 'a');
  buffer->AppendBytes(block);
  // Room 4: one hex item fits (3 bytes), then neither its line end nor another item.
  buffer->AppendHexDump(std::vector<std::uint8_t>{0xAB, 0xCD});
  EXPECT_EQ(buffer->Size(), DebugBuffer::kCapacity - 1);
  EXPECT_EQ(Text(*buffer).substr(block.size()), " AB");
  buffer->AppendHex32(1);  // needs 8
  EXPECT_EQ(buffer->Size(), DebugBuffer::kCapacity - 1);
  buffer->AppendText("xyz");
  EXPECT_EQ(buffer->Size(), DebugBuffer::kCapacity);
  buffer->AppendByte('!');
  buffer->AppendBytes(block);
  EXPECT_EQ(buffer->Size(), DebugBuffer::kCapacity);
  EXPECT_EQ(Text(*buffer).back(), 'x');
  buffer->Clear();
  EXPECT_EQ(buffer->Size(), 0u);
}

TEST(DebugBuffer, HexDumpLineEndNeedsTwoBytesOfRoom) {
  auto buffer = std::make_unique<DebugBuffer>();
  buffer->AppendBytes(std::vector<std::uint8_t>(DebugBuffer::kCapacity - 5, 'a'));
  buffer->AppendHexDump(std::vector<std::uint8_t>{0x01});
  EXPECT_EQ(Text(*buffer).substr(DebugBuffer::kCapacity - 5), " 01\r\n");
}

class SaveDebugBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("logwell-debug-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  ScriptedUi ui_;
  std::unique_ptr<DebugBuffer> buffer_ = std::make_unique<DebugBuffer>();
};

TEST_F(SaveDebugBufferTest, EmptyTraceIsRefusedWithoutAskingForAFile) {
  bool asked = false;
  EXPECT_FALSE(SaveDebugBuffer(ui_, *buffer_, [&] {
    asked = true;
    return std::optional<std::filesystem::path>(dir_ / "x.log");
  }));
  EXPECT_FALSE(asked);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Save debug buffer", "Buffer is empty"}}));
}

TEST_F(SaveDebugBufferTest, WritesWholeTraceWithLogExtension) {
  buffer_->AppendText("$PBRSNP,*21\r\n");
  buffer_->AppendHexDump(Sequence(3));
  ASSERT_TRUE(SaveDebugBuffer(ui_, *buffer_, [&] { return std::optional(dir_ / "trace"); }));
  EXPECT_EQ(testing::ReadWholeFile(dir_ / "trace.log"), "$PBRSNP,*21\r\n 00 01 02\r\n");
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{{UiEventKind::Info, "Save debug buffer", "File written"}}));
  // Nothing but the file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(SaveDebugBufferTest, CancelShowsNothingAndFailureShowsSystemMessage) {
  buffer_->AppendText("x");
  EXPECT_FALSE(SaveDebugBuffer(ui_, *buffer_, [] { return std::optional<std::filesystem::path>(); }));
  EXPECT_TRUE(ui_.Boxes().empty());

  EXPECT_FALSE(SaveDebugBuffer(ui_, *buffer_, [&] { return std::optional(dir_ / "missing" / "t.log"); }));
  const auto boxes = ui_.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, UiEventKind::Error);
  EXPECT_EQ(boxes[0].caption, "File write error");
  EXPECT_EQ(boxes[0].text, std::generic_category().message(ENOENT));
}

}  // namespace
}  // namespace logwell
