#pragma once

// Shapes for the shape tests: radius strings built from radius functions, and
// the first format 1 trace of the real-world OMA sample files.

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "shape/TrceCalc.h"

namespace shapetest {

inline constexpr double Pi = std::numbers::pi;

// Radius string of count points, radius(theta) in mm rounded to hundredths.
inline std::string RadiiOf(int count, const std::function<double(double)>& radius) {
    std::string radii;
    for (int i = 0; i < count; ++i) {
        AppendRadiusGroup(radii, RoundRadius(radius(2 * Pi * i / count) * 100.0));
    }
    return radii;
}

inline std::string Repeat(const std::string& group, int count) {
    std::string radii;
    for (int i = 0; i < count; ++i) radii += group;
    return radii;
}

inline std::vector<int> Values(const std::string& radii) {
    std::vector<int> values;
    for (int i = 0; i < RadiusCount(radii); ++i) values.push_back(RadiusAt(radii, i));
    return values;
}

// Ellipse with semi-axes a (x) and b (y), mm.
inline std::string Ellipse(int count, double a, double b) {
    return RadiiOf(
        count, [a, b](double t) { return a * b / std::hypot(b * std::cos(t), a * std::sin(t)); });
}

// A smooth frame-like outline: a base radius with a few random harmonics, 12 to 35 mm.
inline std::string RandomShape(std::mt19937& rng, int count) {
    std::uniform_real_distribution<double> base(18.0, 28.0);
    std::uniform_real_distribution<double> amp(0.0, 1.5);
    std::uniform_real_distribution<double> phase(0.0, 2 * Pi);
    const double r0 = base(rng);
    double a[4], p[4];
    for (int h = 0; h < 4; ++h) {
        a[h] = amp(rng) * (h == 0 ? 3 : 1);
        p[h] = phase(rng);
    }
    return RadiiOf(count, [&](double t) {
        double r = r0;
        for (int h = 0; h < 4; ++h) r += a[h] * std::cos((h + 2) * t + p[h]);
        return r;
    });
}

// Point i of a radius string in Cartesian mm.
struct TPoint {
    double X, Y;
};
inline TPoint PointOf(const std::string& radii, int i) {
    const int n = RadiusCount(radii);
    const double r = RadiusAt(radii, i) / 100.0;
    const double t = 2 * Pi * i / n;
    return {r * std::cos(t), r * std::sin(t)};
}

// Radius (mm) where the ray at angle theta crosses the closed polygon through points, found by
// line intersection with every edge: independent of the law-of-sines construction under test.
inline double RayHitsPolygon(const std::vector<TPoint>& points, double theta) {
    const double dx = std::cos(theta), dy = std::sin(theta);
    double best = -1;
    const std::size_t n = points.size();
    for (std::size_t k = 0; k < n; ++k) {
        const TPoint p = points[k], q = points[(k + 1) % n];
        const double ex = q.X - p.X, ey = q.Y - p.Y;
        const double den = dx * ey - dy * ex;
        if (std::fabs(den) < 1e-12) continue;
        const double t = (p.X * ey - p.Y * ex) / den;  // distance along the ray
        const double s = (p.X * dy - p.Y * dx) / den;  // position along the edge
        if (t > 0 && s >= -1e-9 && s <= 1 + 1e-9 && (best < 0 || t < best)) best = t;
    }
    return best;
}

// The first format 1 trace of an OMA file: the values of the "R=" records that follow its first
// "TRCFMT=1;" record, ';'-separated, until the next record of another kind.
inline std::string FirstFmt1Trace(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::string radii;
    bool inTrace = false;
    while (std::getline(in, line)) {
        if (line.rfind("TRCFMT=", 0) == 0) {
            if (inTrace) break;
            inTrace = line.rfind("TRCFMT=1;", 0) == 0;
            continue;
        }
        if (!inTrace) continue;
        if (line.rfind("R=", 0) != 0) break;
        std::stringstream values(line.substr(2));
        std::string value;
        while (std::getline(values, value, ';')) AppendRadiusGroup(radii, StrToInt(value));
    }
    return radii;
}

}  // namespace shapetest
