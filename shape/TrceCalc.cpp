#include "shape/TrceCalc.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double TwoPi = 2.0 * std::numbers::pi;

// The group's text exactly as a substring copy would give it: short or empty past the end.
std::string_view GroupText(std::string_view radii, int index) {
    const std::size_t pos = std::min(static_cast<std::size_t>(index) * 4, radii.size());
    return radii.substr(pos, 4);
}

// Angle of (x, y) in [0, 2pi), with the axis cases spelled out so that x = 0 never divides.
double PolarAngle(double x, double y) {
    if (x == 0) return y >= 0 ? Pi / 2 : 3 * Pi / 2;
    double angle = std::atan(y / x);
    if (x < 0) {
        angle += Pi;
    } else if (y < 0) {
        angle += TwoPi;
    }
    return angle;
}

struct TPolarPoint {
    double R;      // mm
    double Angle;  // radians
};

// The polar point table of one ApplyTargets call.
class TPolarTable {
public:
    explicit TPolarTable(int count) : FPoints(static_cast<std::size_t>(count)) {}

    void Set(int i, double x, double y) {
        FPoints[static_cast<std::size_t>(i)] = {std::sqrt(x * x + y * y), PolarAngle(x, y)};
    }

    // Linear in the angle between the first entry above theta and the one before it, wrapping at
    // 0 and 2pi. The first entry above theta can only move forward as theta grows, so successive
    // calls with rising angles continue the scan instead of restarting it: same entries, linear
    // time instead of quadratic.
    double InterpolateRadius(double theta) {
        const std::size_t n = FPoints.size();
        if (theta < FLastTheta) FCursor = 0;
        FLastTheta = theta;
        while (FCursor < n && !(FPoints[FCursor].Angle > theta)) ++FCursor;

        TPolarPoint lo;
        TPolarPoint hi;
        if (FCursor == n) {
            lo = FPoints[n - 1];
            hi = FPoints[0];
            hi.Angle += TwoPi;
        } else if (FCursor == 0) {
            lo = FPoints[n - 1];
            lo.Angle -= TwoPi;
            hi = FPoints[0];
        } else {
            lo = FPoints[FCursor - 1];
            hi = FPoints[FCursor];
        }
        // Two entries at one angle (a sorted fold): either radius is on the outline.
        if (hi.Angle == lo.Angle) return hi.R;
        return lo.R + (hi.R - lo.R) * (theta - lo.Angle) / (hi.Angle - lo.Angle);
    }

    // Moves leading entries to the end while the first angle exceeds the last, so a table that
    // ascends from some entry on starts at its smallest angle. Each move needs a(k) > a(k-1),
    // which cannot hold all the way round, so this ends within N moves.
    void RotateToStart() {
        const std::size_t n = FPoints.size();
        std::size_t moves = 0;
        while (moves < n && FPoints[moves].Angle > FPoints[(moves + n - 1) % n].Angle) ++moves;
        std::rotate(FPoints.begin(), FPoints.begin() + static_cast<std::ptrdiff_t>(moves),
                    FPoints.end());
        // Moving a shape whose radius steps sharply (a flower pot's corners) turns the angles
        // beside a step back for a moment; the rotation then stops at that local drop and the
        // interpolation would read across half the shape. Put such a table in angle order.
        const auto byAngle = [](const TPolarPoint& a, const TPolarPoint& b) {
            return a.Angle < b.Angle;
        };
        if (!std::is_sorted(FPoints.begin(), FPoints.end(), byAngle)) {
            std::stable_sort(FPoints.begin(), FPoints.end(), byAngle);
        }
        FCursor = 0;
        FLastTheta = 0;
    }

    // One group per table entry, for the angles e * step.
    std::string BuildRadii(double step) {
        const int n = static_cast<int>(FPoints.size());
        std::string radii;
        radii.reserve(FPoints.size() * 4);
        FCursor = 0;
        FLastTheta = 0;
        for (int e = 0; e < n; ++e) {
            AppendRadiusGroup(radii, RoundRadius(InterpolateRadius(e * step) * 100.0));
        }
        return radii;
    }

private:
    std::vector<TPolarPoint> FPoints;
    std::size_t FCursor = 0;
    double FLastTheta = 0;
};

// a / b with the floating-point exceptions the operator has always been shown.
double Divide(double a, double b) {
    if (b == 0) {
        if (a == 0 || std::isnan(a)) throw EInvalidOp();
        throw EZeroDivide();
    }
    return a / b;
}

}  // namespace

ETooManyPoints::ETooManyPoints(int count)
    : std::runtime_error("Too many points to scale the shape: " + std::to_string(count) +
                         " (at most " + std::to_string(MaxPolarPoints) + ")") {}

int RadiusCount(std::string_view radii) {
    return static_cast<int>(radii.size() / 4);
}

int RadiusAt(std::string_view radii, int index) {
    return StrToInt(GroupText(radii, index));
}

void TTraceCalc::LoadTrace(std::string_view radii) {
    Radii = radii;
    BaseRadii = radii;
    NeedsMeasure = true;
    NeedsScale = false;
}

int TTraceCalc::PointCount() const {
    return RadiusCount(Radii);
}

void TTraceCalc::Update() {
    if (NeedsScale) ApplyTargets();
    if (NeedsMeasure) Measure();
}

double TTraceCalc::GetHBox() {
    Update();
    return HBox;
}

double TTraceCalc::GetVBox() {
    Update();
    return VBox;
}

double TTraceCalc::GetCirc() {
    Update();
    return Circ;
}

const std::string& TTraceCalc::GetTrace() {
    Update();
    return Radii;
}

void TTraceCalc::Measure() {
    Circ = 0;
    const int n = PointCount();
    if (n == 0) return;

    const double step = TwoPi / n;
    const double cs = std::cos(step);
    // Starting at 0 keeps the centre inside the box.
    double maxX = 0, minX = 0, maxY = 0, minY = 0;
    double prev = 0;
    double circ = 0;
    for (int i = 0; i < n; ++i) {
        const double r = RadiusAt(Radii, i) / 100.0;
        const double x = std::cos(i * step) * r;
        const double y = std::sin(i * step) * r;
        maxX = std::max(maxX, x);
        minX = std::min(minX, x);
        maxY = std::max(maxY, y);
        minY = std::min(minY, y);
        // The closing chord, from the last point back to point 0.
        if (i == 0) prev = RadiusAt(Radii, n - 1) / 100.0;
        circ += std::sqrt(r * r + prev * prev - 2 * r * prev * cs);
        prev = r;
    }
    Circ = circ;
    HBox = maxX - minX;
    VBox = maxY - minY;
    TargetHBox = HBox;
    TargetVBox = VBox;
    NeedsMeasure = false;
}

void TTraceCalc::SetTargetHBox(double value) {
    if (NeedsMeasure) Measure();
    TargetHBox = value;
    NeedsScale = true;
}

void TTraceCalc::SetTargetVBox(double value) {
    if (NeedsMeasure) Measure();
    TargetVBox = value;
    NeedsScale = true;
}

void TTraceCalc::ApplyTargets() {
    const int n = PointCount();
    // A box of 0 or an empty shape gives no factors: leave the target pending, change nothing.
    if (n == 0 || HBox == 0 || VBox == 0) return;
    if (n > MaxPolarPoints) throw ETooManyPoints(n);

    const double sx = TargetHBox / HBox;
    const double sy = LockB ? (2 * TargetVBox - VBox) / VBox : TargetVBox / VBox;
    const double step = TwoPi / n;
    const int upperEnd = n / 2;

    TPolarTable table(n);
    double maxY = -1;
    for (int i = 0; i < n; ++i) {
        const double r = RadiusAt(BaseRadii, i) / 100.0;
        const double x = std::cos(i * step) * r * sx;
        double y = std::sin(i * step) * r;
        // With LockB the upper half (points 0 to n div 2) keeps its height.
        if (!LockB || i > upperEnd) y *= sy;
        table.Set(i, x, y);
        maxY = std::max(maxY, y);
    }
    std::string radii = table.BuildRadii(step);

    if (LockB && sy != 1) {
        // Datum pass: move the shape so that its top lies half the target above the centre.
        const double shift = TargetVBox / 2 - maxY;
        for (int i = 0; i < n; ++i) {
            const double r = RadiusAt(radii, i) / 100.0;
            table.Set(i, std::cos(i * step) * r, std::sin(i * step) * r + shift);
        }
        table.RotateToStart();
        radii = table.BuildRadii(step);
    }

    Radii = std::move(radii);
    NeedsMeasure = true;
    NeedsScale = false;
}

void TTraceCalc::ScaleToCirc(double target) {
    // Compared with the stored Circ on purpose: a calculator never measured holds 0 here.
    if (std::fabs(target - Circ) < 0.01) return;
    Update();
    const double f = Divide(target, Circ);

    std::string radii = Radii;
    const int n = PointCount();
    for (int i = 0; i < n; ++i) {
        const int scaled = RoundRadius(RadiusAt(Radii, i) * f);
        radii.replace(static_cast<std::size_t>(i) * 4, 4, FormatRadiusGroup(scaled));
    }
    Radii = std::move(radii);
    NeedsMeasure = true;
}

void TTraceCalc::Resample(std::uint16_t count) {
    const int k = count;
    const int m = RadiusCount(BaseRadii);
    if (k == 0) {
        Radii.clear();
        return;
    }
    if (k == m) {
        Radii = BaseRadii;
        return;
    }
    if (m == 0) return;

    // Radii are 16-bit unsigned here; a negative group would wrap to a huge radius, so it is
    // refused as out of range instead.
    auto baseRadius = [this](int index) -> std::uint16_t {
        const int value = RadiusAt(BaseRadii, index);
        if (value < 0) throw ERadiusRange(value);
        return static_cast<std::uint16_t>(value);
    };

    const double ratio = static_cast<double>(m) / k;
    const double stepM = TwoPi / m;
    const double cosStep = std::cos(stepM);
    std::string radii;
    radii.reserve(static_cast<std::size_t>(k) * 4);
    for (int i = 0; i < k; ++i) {
        const double p = i * ratio;
        const int j = static_cast<int>(p);
        const std::uint16_t r1 = baseRadius(j);
        const std::uint16_t r2 = baseRadius(static_cast<int>(std::ceil(p)) % m);
        // Equal neighbours keep arcs of constant radius exact.
        if (r1 == r2) {
            AppendRadiusGroup(radii, r1);
            continue;
        }
        const double phi = (p - j) * stepM;
        const double a = r1;
        const double b = r2;
        const double chord = std::sqrt(a * a + b * b - 2 * a * b * cosStep);
        double alpha = 0;
        if (a * chord != 0) {
            // Rounding on a nearly flat triangle can push the cosine just past +-1.
            const double c = (a * a + chord * chord - b * b) / (2 * a * chord);
            alpha = std::acos(std::clamp(c, -1.0, 1.0));
        }
        // Where the ray at the new angle meets the line from point j to j + 1 (law of sines).
        const int value = RoundRadius(Divide(std::sin(alpha) * a, std::sin(Pi - phi - alpha)));
        AppendRadiusGroup(radii, value);
    }
    Radii = std::move(radii);
    NeedsMeasure = true;
    NeedsScale = false;
}

void MeasureTrace(TTraceInfo& trace) {
    TTraceCalc calc;
    calc.LoadTrace(trace.Radii);
    trace.HBox = calc.GetHBox();
    trace.VBox = calc.GetVBox();
    trace.Circ = calc.GetCirc();
}
