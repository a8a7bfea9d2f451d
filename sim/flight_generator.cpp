#include "sim/flight_generator.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace logwell::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 6371000.0 * kPi / 180.0;

constexpr double kGlideSpeed = 11.0;      // m/s over ground
constexpr double kGlideSink = 1.2;        // m/s
constexpr double kFinalSpeed = 9.0;       // m/s on the way down to the landing
constexpr double kCloudBaseAbove = 1000;  // metres above the launch

// Uniform and normal numbers from mt19937 with our own arithmetic: the standard library's
// distributions differ between implementations, this does not.
class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}
  double Uniform() {  // [0, 1) with 53 random bits
    const auto high = static_cast<std::uint64_t>(engine_() >> 5);
    const auto low = static_cast<std::uint64_t>(engine_() >> 6);
    return static_cast<double>(high * 67108864u + low) / 9007199254740992.0;
  }
  double Uniform(double low, double high) { return low + (high - low) * Uniform(); }
  double Normal() {  // Box-Muller
    const double u1 = std::max(Uniform(), 1e-300);
    const double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
  }

 private:
  std::mt19937 engine_;
};

struct Vec {
  double east = 0.0;
  double north = 0.0;
};

Vec operator+(Vec a, Vec b) { return {a.east + b.east, a.north + b.north}; }
Vec operator-(Vec a, Vec b) { return {a.east - b.east, a.north - b.north}; }
Vec operator*(double k, Vec a) { return {k * a.east, k * a.north}; }
double Length(Vec a) { return std::hypot(a.east, a.north); }
Vec Heading(double bearingDegrees) {
  const double r = bearingDegrees * kPi / 180.0;
  return {std::sin(r), std::cos(r)};
}

std::vector<Vec> CourseInMetres(const FlightPlan& plan) {
  const double d = std::max(plan.courseLengthKm, 0.1) * 1000.0;
  const Vec start{};
  switch (plan.course) {
    case CourseShape::Straight:
      return {start, d * Heading(plan.courseBearing)};
    case CourseShape::OutAndReturn:
      return {start, (d / 2) * Heading(plan.courseBearing), start};
    case CourseShape::FlatTriangle:
    case CourseShape::FaiTriangle: {
      // Sides launch->B (a), B->C (b), C->launch (c). A flat triangle's shortest side is well
      // under 28 % of the perimeter, an FAI one has three equal sides.
      const bool fai = plan.course == CourseShape::FaiTriangle;
      const double a = d * (fai ? 1.0 / 3 : 0.45), b = d * (fai ? 1.0 / 3 : 0.35), c = d * (fai ? 1.0 / 3 : 0.20);
      const double angle = std::acos((a * a + c * c - b * b) / (2 * a * c)) * 180.0 / kPi;
      return {start, a * Heading(plan.courseBearing), c * Heading(plan.courseBearing + angle), start};
    }
  }
  return {start};
}

CoursePoint ToDegrees(const FlightPlan& plan, Vec at) {
  const double cosLatitude = std::cos(plan.launchLatitude * kPi / 180.0);
  return {plan.launchLatitude + at.north / kMetresPerDegree,
          plan.launchLongitude + at.east / (kMetresPerDegree * std::max(cosLatitude, 1e-6))};
}

// The pilot's state while flying the course.
class Pilot {
 public:
  Pilot(const FlightPlan& plan, std::vector<Vec> course)
      : plan_(plan), course_(std::move(course)), random_(plan.seed), altitude_(plan.launchAltitude) {
    cloudBase_ = plan.launchAltitude + kCloudBaseAbove;
    low_ = std::max(plan.landingAltitude + 300.0, plan.launchAltitude - 500.0);
    wind_ = random_.Uniform(0.3, 2.0) * Heading(random_.Uniform(0.0, 360.0));
  }

  void Cruise(double dt) {
    if (thermalling_) {
      Circle(dt);
      if (altitude_ >= thermalTop_) thermalling_ = false;
      return;
    }
    MoveTowardsTurnpoint(kGlideSpeed * dt);
    altitude_ -= (kGlideSink + random_.Uniform(-0.3, 0.3)) * dt;
    const bool lucky = altitude_ < cloudBase_ - 300 && random_.Uniform() < 0.01 * dt;
    if (altitude_ < low_ || lucky) EnterThermal();
  }

  // Heads on along the course and sinks so that the ground is met at `landAt` seconds.
  void Approach(double dt, double secondsLeft) {
    thermalling_ = false;
    MoveTowardsTurnpoint(kFinalSpeed * dt);
    altitude_ += (plan_.landingAltitude - altitude_) * std::min(1.0, dt / std::max(secondsLeft, dt));
  }

  void Land() { altitude_ = plan_.landingAltitude; }

  Vec Position() const { return position_; }
  double Altitude() const { return std::max(altitude_, plan_.landingAltitude); }

 private:
  void EnterThermal() {
    thermalling_ = true;
    radius_ = random_.Uniform(40.0, 70.0);
    climb_ = random_.Uniform(1.0, 3.5);
    thermalTop_ = cloudBase_ - random_.Uniform(0.0, 200.0);
    turnRate_ = 2 * kPi / random_.Uniform(20.0, 28.0) * (random_.Uniform() < 0.5 ? -1.0 : 1.0);
    angle_ = random_.Uniform(0.0, 2 * kPi);
    centre_ = position_ - radius_ * Vec{std::cos(angle_), std::sin(angle_)};
  }

  void Circle(double dt) {
    angle_ += turnRate_ * dt;
    centre_ = centre_ + dt * wind_;
    position_ = centre_ + radius_ * Vec{std::cos(angle_), std::sin(angle_)};
    altitude_ += climb_ * (0.8 + 0.4 * std::sin(angle_ * 0.5)) * dt;
  }

  void MoveTowardsTurnpoint(double step) {
    while (step > 0 && course_.size() > 1) {
      const Vec target = course_[next_];
      const Vec toTarget = target - position_;
      const double distance = Length(toTarget);
      if (distance > step) {
        position_ = position_ + (step / distance) * toTarget;
        return;
      }
      position_ = target;
      step -= distance;
      next_ = (next_ + 1) % course_.size();  // a finished course is flown again
    }
  }

  const FlightPlan& plan_;
  std::vector<Vec> course_;
  Random random_;
  std::size_t next_ = 1;
  Vec position_{};
  Vec wind_{};
  double altitude_;
  double cloudBase_ = 0, low_ = 0;
  bool thermalling_ = false;
  double radius_ = 0, climb_ = 0, thermalTop_ = 0, turnRate_ = 0, angle_ = 0;
  Vec centre_{};
};

}  // namespace

std::int32_t DegreesToSemicircles(double degrees) {
  std::int64_t value = std::llround(degrees * kSemicirclesPerDegree);
  constexpr std::int64_t kTurn = std::int64_t{1} << 32;
  value %= kTurn;
  if (value >= kTurn / 2) value -= kTurn;
  if (value < -kTurn / 2) value += kTurn;
  return static_cast<std::int32_t>(value);
}

std::vector<CoursePoint> CourseTurnpoints(const FlightPlan& plan) {
  std::vector<CoursePoint> points;
  for (const Vec& at : CourseInMetres(plan)) points.push_back(ToDegrees(plan, at));
  return points;
}

std::vector<TrackPoint> GenerateFlight(const FlightPlan& plan) {
  const std::int64_t totalMs = std::max<std::int64_t>(plan.duration.count(), 0) * 1000;
  const std::int64_t intervalMs = std::max<std::int64_t>(plan.fixInterval.count(), 1);
  const double total = static_cast<double>(totalMs) / 1000.0;
  const double launchRun = std::min(20.0, total * 0.02);
  const double approachFrom = total - std::min(600.0, total * 0.15);  // a spiral down to the field
  const double landedFrom = total - std::min(15.0, total * 0.02);

  Pilot pilot(plan, CourseInMetres(plan));
  // Noise and spikes draw from their own stream, so switching them on leaves the flight itself
  // unchanged.
  Random disturbance(plan.seed ^ 0x9E3779B9u);

  std::vector<TrackPoint> points;
  points.reserve(static_cast<std::size_t>(totalMs / intervalMs + 1));
  double previous = 0.0;
  for (std::int64_t ms = 0; ms <= totalMs; ms += intervalMs) {
    const double t = static_cast<double>(ms) / 1000.0;
    const double dt = t - previous;
    previous = t;
    if (t >= landedFrom && ms > 0) {
      pilot.Land();
    } else if (t >= approachFrom) {
      pilot.Approach(dt, landedFrom - t);
    } else if (t > launchRun) {
      pilot.Cruise(dt);
    }

    Vec at = pilot.Position();
    double altitude = pilot.Altitude();
    std::int64_t seconds = static_cast<std::int64_t>(plan.startTime) + ms / 1000;
    if (plan.positionNoiseMetres > 0) {
      at = at + plan.positionNoiseMetres * Vec{disturbance.Normal(), disturbance.Normal()};
    }
    if (plan.altitudeNoiseMetres > 0) altitude += plan.altitudeNoiseMetres * disturbance.Normal();
    if (plan.spikeProbability > 0 && disturbance.Uniform() < plan.spikeProbability) {
      switch (static_cast<int>(disturbance.Uniform() * 3)) {
        case 0: at = at + 5000.0 * Heading(disturbance.Uniform(0.0, 360.0)); break;
        case 1: altitude += 1500.0; break;
        default: seconds = std::max<std::int64_t>(seconds - 30, 0); break;
      }
    }

    const CoursePoint position = ToDegrees(plan, at);
    TrackPoint point;
    point.segmentStart = points.empty() ? 1u : 0u;
    point.time = static_cast<GarminTime>(seconds);
    point.milliseconds = static_cast<std::uint16_t>(ms % 1000);
    point.latitude = DegreesToSemicircles(position.latitude);
    point.longitude = DegreesToSemicircles(position.longitude);
    point.gpsAltitude = static_cast<std::int32_t>(std::lround(altitude * 10.0));
    if (plan.pressureAltitude) {
      // A barometer reads a little low and drifts slowly with the weather.
      const double offset = -25.0 + 5.0 * std::sin(t / 1800.0);
      point.pressureAltitude = static_cast<std::int32_t>(std::lround(altitude + offset));
    }
    points.push_back(point);
  }
  return points;
}

}  // namespace logwell::sim
