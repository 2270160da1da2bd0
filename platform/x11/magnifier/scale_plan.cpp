#include "platform/x11/magnifier/scale_plan.h"

#include <algorithm>
#include <cmath>

namespace kestrove::x11 {

namespace {

// Render transforms are 16.16 fixed point.
constexpr double kLargestScale = 30000.0;
// A rest of the scale this close to 1 is the exact size already.
constexpr double kExact = 1e-6;

// Bilinear samples at input position x use pixels floor(x - 0.5) and the next
// one, weighted by the fraction of x - 0.5 (the server keeps 7 bits of it). A
// step whose output pixel u should sample at centre position scale * u + phase
// therefore needs the offset phase + 0.5 - 0.5 * scale.
constexpr double OffsetFor(double scale, double phase) {
    return phase + 0.5 - 0.5 * scale;
}

int Reduced(int size, int numerator, int denominator) {
    return static_cast<int>((static_cast<long long>(size) * numerator + denominator - 1) /
                            denominator);
}

// The factor 2^twos * 3^threes closest to `factor` (on a log scale).
void ChooseBoxFactor(double factor, int& twos, int& threes) {
    twos = 0;
    threes = 0;
    double best = std::abs(std::log(factor));
    for (int a = 0; a <= 16; ++a) {
        for (int b = 0; b <= 10; ++b) {
            const double n = std::ldexp(std::pow(3.0, b), a);
            const double error = std::abs(std::log(factor / n));
            if (error < best) {
                best = error;
                twos = a;
                threes = b;
            }
        }
    }
}

// The output range [lo, hi) of one axis whose samples read input pixels in
// [from, to). Output pixel u samples at input position scale * (u + 0.5) +
// offset, which reads pixels floor(position - 0.5) and the one after it.
void AxisOutputFor(const ScaleStep& step, int from, int to, int inSize, int outSize,
                   bool edgesRepeat, std::int32_t& lo, std::int32_t& hi) {
    const double phase = step.offset + 0.5 * step.scale - 0.5; // position - 0.5 at u
    double first = std::ceil((from - 1 - phase) / step.scale) - 1;
    double last = std::floor((to - phase) / step.scale) + 2;
    if (edgesRepeat && from <= 0) {
        first = 0; // samples before the input read its first pixel
    }
    if (edgesRepeat && to >= inSize) {
        last = outSize; // and those after it, its last
    }
    lo = static_cast<std::int32_t>(std::clamp(first, 0.0, static_cast<double>(outSize)));
    hi = static_cast<std::int32_t>(std::clamp(last, 0.0, static_cast<double>(outSize)));
}

} // namespace

Rect StepOutputFor(const ScaleStep& step, const Rect& changed, int inWidth, int inHeight,
                   bool edgesRepeat) {
    Rect out{};
    if (changed.right <= changed.left || changed.bottom <= changed.top) {
        return out;
    }
    AxisOutputFor(step, changed.left, changed.right, inWidth, step.width, edgesRepeat, out.left,
                  out.right);
    AxisOutputFor(step, changed.top, changed.bottom, inHeight, step.height, edgesRepeat, out.top,
                  out.bottom);
    if (out.right <= out.left || out.bottom <= out.top) {
        return Rect{};
    }
    return out;
}

std::vector<ScaleStep> PlanScaling(int srcWidth, int srcHeight, double zoom, int dstWidth,
                                   int dstHeight) {
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0 ||
        !std::isfinite(zoom) || zoom <= 0.0) {
        return {};
    }
    const double factor = 1.0 / zoom; // source pixels per picture pixel
    if (!(factor < kLargestScale) || !(zoom < kLargestScale)) {
        return {};
    }

    int twos = 0;
    int threes = 0;
    ChooseBoxFactor(factor, twos, threes);

    std::vector<ScaleStep> steps;
    int width = srcWidth;
    int height = srcHeight;
    // Halving: samples midway between each pair, the exact 2 x 2 average.
    // Done first: they are the cheapest and shrink what the later steps read.
    for (int i = 0; i < twos; ++i) {
        width = Reduced(width, 1, 2);
        height = Reduced(height, 1, 2);
        steps.push_back({2.0, OffsetFor(2.0, 0.5), width, height});
    }
    // A third in two steps. For source pixels a, b, c: at 2/3 of the size,
    // samples midway between a and b, then on c itself; then at half of that,
    // 2/3 of the first plus 1/3 of the second, which is (a + b + c) / 3.
    constexpr double kThirdWeight = 43.0 / 128.0; // 1/3 in the server's 7 bits
    for (int i = 0; i < threes; ++i) {
        width = Reduced(width, 2, 3);
        height = Reduced(height, 2, 3);
        steps.push_back({1.5, OffsetFor(1.5, 0.5), width, height});
        width = Reduced(width, 1, 2);
        height = Reduced(height, 1, 2);
        steps.push_back({2.0, OffsetFor(2.0, kThirdWeight), width, height});
    }

    const double rest = factor / std::ldexp(std::pow(3.0, threes), twos);
    if (!steps.empty() && std::abs(rest - 1.0) < kExact) {
        steps.back().width = dstWidth;
        steps.back().height = dstHeight;
    } else {
        // Pixel areas aligned: output pixel u covers input [rest * u, rest * (u + 1)).
        steps.push_back({rest, OffsetFor(rest, 0.5 * rest - 0.5), dstWidth, dstHeight});
    }
    return steps;
}

} // namespace kestrove::x11
