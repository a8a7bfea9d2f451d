// The convert verb's handling of its input file.
#include "app/convert.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

// The bytes this process has read through read() and its kin so far (Linux's own count).
long long BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

// A large input is read from the disk once, whatever it is converted to: a second read would
// hold the file twice over in memory.
TEST(Convert, ReadsItsInputOnce) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-convert-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path input = dir / "long.igc";
  {
    std::string igc = "AXXX001 flight\r\nHFDTE260523\r\n";
    for (int s = 0; s < 20'000; ++s) {
      igc += FormatText("B%02d%02d%02d%07dN%08dEA%05d%05d\r\n", 1 + s / 3600, s / 60 % 60, s % 60,
                        4512000 + s % 1000, 812000 + s % 2000, 1000 + s % 500, 1000 + s % 500);
    }
    std::ofstream(input, std::ios::binary) << igc;
  }
  const auto size = static_cast<long long>(fs::file_size(input));
  ASSERT_GT(BytesReadSoFar(), -1) << "no /proc/self/io";
  for (const char* output : {"out.gpx", "out.plt", "copy.igc", "out.csv"}) {
    SCOPED_TRACE(output);
    testing::ScriptedUi ui;
    std::vector<std::string> notes;
    const long long before = BytesReadSoFar();
    EXPECT_EQ(ConvertAnyFile(input, dir / output, {}, ui, notes), 0);
    const long long read = BytesReadSoFar() - before;
    EXPECT_GE(read, size);
    EXPECT_LT(read, size + size / 4);
    EXPECT_TRUE(fs::file_size(dir / output) > 0);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
