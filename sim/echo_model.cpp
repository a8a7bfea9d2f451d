#include "sim/echo_model.h"

#include <array>
#include <string>
#include <vector>

namespace logwell::sim {

void EchoNmeaModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (std::uint8_t byte : bytes) {
    if (!assembler_.Feed(byte)) continue;
    const std::string line = assembler_.Line();
    std::vector<char> work(line.begin(), line.end());
    std::array<std::size_t, 1> fields{};
    if (ParseNmeaSentence(work, fields) < 0) {
      link.SendText(AppendNmeaChecksum("$LWNAK"));
      continue;
    }
    const auto star = line.find('*');
    link.SendText(AppendNmeaChecksum("$LWECHO," + line.substr(1, star == std::string::npos ? std::string::npos : star - 1)));
  }
}

}  // namespace logwell::sim
