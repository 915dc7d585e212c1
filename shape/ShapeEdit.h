#pragma once

// The editor's change of a shape by its values: every change starts again
// from the received shape at EditPointCount points, never from the last
// change, and refuses sizes too small to edge.

#include <cstdint>
#include <functional>
#include <string>

inline constexpr std::uint16_t EditPointCount = 1024;
inline constexpr double MinBox = 10.0;
inline constexpr double MinCirc = 20.0;

enum TShapeChange : std::uint8_t {
    scBox,   // box A and box B (box B only with Lock B)
    scCirc,  // the circumference
    scNone,  // the shape as received (a DBL change)
};
enum TShapeValue : std::uint8_t { svBoxA, svBoxB, svCirc };

// The radius string after Change of Received. Value gives a value when the
// change needs it, so a value that is not a number fails only then. Throws
// "Box A Too small", "Box B Too small", "Circ Too small", or what Value throws.
std::string ChangedRadii(const std::string& received, TShapeChange change, bool lockB,
                         const std::function<double(TShapeValue)>& value);

// Radii resampled to Count points (1 to 4096); as they are when they already
// have that many. The one rule for every change of point count: the host's
// grant, a job file's count, the editor's 1024 points.
std::string ResampledRadii(const std::string& radii, int count);

// The radius string turned by Steps points: a positive count moves each
// point's radius to the point before it (the window's "rotate right"), a
// negative one the other way. Characters beyond the last whole point stay.
std::string RotatedRadii(std::string radii, int steps);
