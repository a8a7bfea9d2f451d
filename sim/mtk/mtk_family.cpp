// logwell-sim's virtual MTK logger and its options.
#include <cstdio>
#include <stdexcept>

#include "sim/mtk/mtk_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

std::vector<std::uint8_t> ReadImage(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

ModelFactory ReadMtkOptions(SimArguments& arguments) {
  std::string image;
  MtkModelConfig config;
  while (arguments.Next()) {
    if (arguments.Is("--image")) {
      image = arguments.Text();
    } else if (arguments.Is("--paced")) {
      config.paced = true;
    } else if (arguments.Is("--baud")) {
      config.baudRate = static_cast<int>(arguments.Number(1200, 921600));
    } else if (arguments.Is("--logging-off")) {
      config.logging = false;
    } else if (arguments.Is("--wrong-offset")) {
      config.wrongOffsetRead = static_cast<int>(arguments.Number(1, 1000000));
    } else if (!ReadFaultOption(arguments, config.faultsFor)) {
      arguments.Refuse();
    }
  }
  if (image.empty()) throw BadSimOption("bad option --image (required)");
  return [config, image]() mutable {
    config.memory = ReadImage(image);
    return std::make_unique<MtkModel>(config);
  };
}

}  // namespace

extern const SimFamily kMtkFamily{
    "mtk", "an MTK-based logger (Pentagram, Holux) serving a log memory image",
    "--image FILE.bin [--paced] [--baud N] [--logging-off] [--wrong-offset READ]\n"
    "[--fault REQUEST=KIND[@N]]... REQUEST: PMTK605, PMTK182,2,7, PMTK182,5, PMTK182,2,8,\n"
    "PMTK182,7, PMTK182,4, PMTK182,6",
    ReadMtkOptions};

}  // namespace logwell::sim
