#include "shape/ShapeEdit.h"

#include <algorithm>
#include <stdexcept>

#include "shape/TrceCalc.h"

std::string ResampledRadii(const std::string& radii, int count) {
    if (RadiusCount(radii) == count) return radii;
    TTraceCalc calc;
    calc.LoadTrace(radii);
    calc.Resample(static_cast<std::uint16_t>(count));
    return calc.GetTrace();
}

std::string ChangedRadii(const std::string& received, TShapeChange change, bool lockB,
                         const std::function<double(TShapeValue)>& value) {
    // Resampled even at 1024 points already, as every edit always has been.
    std::string start;
    {
        TTraceCalc calc;
        calc.LoadTrace(received);
        calc.Resample(EditPointCount);
        start = calc.GetTrace();
    }
    TTraceCalc calc;
    calc.LoadTrace(start);
    if (change == scBox) {
        calc.LockB = lockB;
        if (!calc.LockB) {
            const double a = value(svBoxA);
            if (!(a >= MinBox)) throw std::runtime_error("Box A Too small");
            calc.SetTargetHBox(a);
        }
        const double b = value(svBoxB);
        if (!(b >= MinBox)) throw std::runtime_error("Box B Too small");
        calc.SetTargetVBox(b);
    } else if (change == scCirc) {
        calc.ScaleToCirc(value(svCirc));
        if (!(calc.GetCirc() >= MinCirc)) throw std::runtime_error("Circ Too small");
    }
    return calc.GetTrace();
}

std::string RotatedRadii(std::string radii, int steps) {
    const std::size_t used = radii.size() / 4 * 4;
    const std::size_t points = used / 4;
    if (points < 2) return radii;
    const long long turn = ((steps % static_cast<long long>(points)) + points) % points;
    const auto first = radii.begin();
    std::rotate(first, first + static_cast<std::ptrdiff_t>(turn * 4),
                first + static_cast<std::ptrdiff_t>(used));
    return radii;
}
