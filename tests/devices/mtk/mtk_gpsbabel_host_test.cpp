// GPSBabel as the host against the virtual MTK logger: it downloads each real flash image over
// the pseudo-terminal and decodes exactly what it decodes from the image file itself.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/mtk/mtk_model.h"
#include "sim/virtual_instrument.h"
#include "support/fixtures.h"
#include "support/gpsbabel.h"

namespace logwell::testing {
namespace {

namespace fs = std::filesystem;

struct Image {
  const char* file;
  const char* deviceFormat;  // GPSBabel's serial reader
  const char* fileFormat;    // GPSBabel's reader of the same image as a file
};

class MtkGpsbabelHost : public ::testing::TestWithParam<Image> {};

TEST_P(MtkGpsbabelHost, DownloadsWhatItDecodesFromTheImage) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto gpsbabel = FindGpsbabel();
  if (!gpsbabel) GTEST_SKIP() << "gpsbabel is not installed";
  const Image image = GetParam();
  const fs::path bin = fixtures / "logger" / image.file;
  // GPSBabel keeps its download in data.bin of the temporary folder and resumes from it: give
  // it a fresh folder.
  const fs::path work = fs::temp_directory_path() /
                        ("logwell-mtk-host-" + std::to_string(::getpid()) + "-" + image.file);
  fs::remove_all(work);
  fs::create_directories(work);
  ::setenv("TMPDIR", work.c_str(), 1);

  sim::MtkModelConfig config;
  const std::string bytes = ReadWholeFile(bin);
  config.memory.assign(bytes.begin(), bytes.end());
  auto owned = std::make_unique<sim::MtkModel>(std::move(config));
  sim::MtkModel* model = owned.get();
  sim::VirtualInstrument instrument(std::move(owned));
  model->Attach(&instrument);

  const fs::path viaDevice = work / "device.csv";
  const fs::path viaFile = work / "file.csv";
  ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-t", "-i", image.deviceFormat, "-f", instrument.DevicePath(),
                                      "-o", "unicsv,utc=0", "-F", viaDevice.string()}));
  ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-t", "-i", image.fileFormat, "-f", bin.string(), "-o",
                                      "unicsv,utc=0", "-F", viaFile.string()}));
  const std::string device = ReadWholeFile(viaDevice);
  const std::string file = ReadWholeFile(viaFile);
  EXPECT_GT(device.size(), 100u);
  EXPECT_EQ(device, file);
  EXPECT_TRUE(model->Logging());
  ::unsetenv("TMPDIR");
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MtkGpsbabelHost,
                         ::testing::Values(Image{"mtk_logger.bin", "mtk", "mtk-bin"},
                                           Image{"mtk_logger_m241.bin", "m241", "m241-bin"},
                                           Image{"mtk_logger_gp245.bin", "m241", "m241-bin"}));

}  // namespace
}  // namespace logwell::testing
