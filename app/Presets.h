#pragma once

#include <string>

// The generated shapes offered on the tray field's pop-up menu. Each is a
// radius string of PresetPointCount points; point i lies at i * pi / 256.
// Radii are truncated (not rounded) to hundredths and written as "%4d".

inline constexpr int PresetPointCount = 512;

// Radius 25 mm everywhere: "2500" 512 times.
std::string CircleRadii();
// A 50 mm square, centred, sides parallel to the axes.
std::string SquareRadii();
// The square turned by 64 points (45 degrees): corners on the axes.
std::string DiamondRadii();
// Flat top and bottom edges 25 mm from the centre, 25 mm arcs left and right.
std::string FlowerPotRadii();
