#pragma once
// The WGS84 ellipsoid with the values every distance and projection here uses.
namespace logwell::wgs84 {

inline constexpr double kSemiMinorAxis = 6356752.314245179;          // b, metres
inline constexpr double kFlattening = 0.0033528106647474805;         // f
inline constexpr double kOneMinusFlattening = 0.9966471893352525;    // 1 - f
inline constexpr double kEccentricitySquared = 0.006694379990141317;        // e^2
inline constexpr double kSecondEccentricitySquared = 0.006739496742276435;  // e'^2
inline constexpr double kOnePlusSecondEccentricitySquared = 1.0067394967422765;

// Transverse Mercator scale on the central meridian, and the semi-major axis times that scale.
inline constexpr double kUtmScale = 0.9996;
inline constexpr double kScaledSemiMajorAxis = 6375585.7452;         // a * k0, metres

// The sphere of the quick spherical distance.
inline constexpr double kSphereRadius = 6.371e6;                     // metres

}  // namespace logwell::wgs84
