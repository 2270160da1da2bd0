#include "platform/x11/magnifier/scale_plan.h"

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

} // namespace

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
