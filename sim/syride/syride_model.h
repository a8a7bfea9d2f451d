#pragma once
// The virtual Syride SYS-Nav: the device side of the HID protocol behind the same small
// interface the host opens through hidapi. Tests hand it to the workers directly, and
// uhid_bridge.h puts it behind a real hidraw device where the kernel offers /dev/uhid.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "access/hid_port.h"
#include "model/track_point.h"
#include "wire/syride/syride_reports.h"

namespace logwell::sim {

struct SyrideFault {
  enum class Kind { Silence, Corrupt, Stall, Unplug, Refuse };
  Kind kind = Kind::Silence;
  // For Corrupt, Stall and Unplug: the report of the answer where it happens.
  std::size_t atReport = 0;
};

struct SyrideModelConfig {
  syride::ProductData product{syride::kModelSysNavV3, 4711, 3, 12};
  std::vector<std::vector<TrackPoint>> flights;
  std::vector<syride::NamedPoint> waypoints;
  std::vector<syride::NamedPoint> task;
  // A fault for the answer to a command.
  std::map<syride::Command, SyrideFault> faults;
};

class SyrideModel : public HidDevice {
 public:
  explicit SyrideModel(SyrideModelConfig config);

  bool WriteReport(std::span<const std::uint8_t> report) override;
  int ReadReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) override;

  // What the host wrote with its last waypoint upload.
  std::vector<syride::NamedPoint> Stored() const;
  // The fixes of a flight as the instrument sends them.
  static std::vector<syride::Fix> FixesOf(const std::vector<TrackPoint>& flight);

 private:
  void Answer(syride::Command command, const std::vector<std::uint8_t>& request);

  SyrideModelConfig config_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::vector<std::uint8_t>> outgoing_;
  std::optional<syride::MessageAssembler> request_;
  std::uint8_t requestCommand_ = 0;
  bool unplugged_ = false;
  std::optional<std::size_t> unplugAfter_;  // reports still to deliver before the unplug
};

}  // namespace logwell::sim
