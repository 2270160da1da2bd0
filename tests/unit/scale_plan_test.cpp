#include "platform/x11/magnifier/scale_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace kestrove::x11 {
namespace {

constexpr double kThird = 43.0 / 128.0; // 1/3 as the server weighs it

TEST(ScalePlan, StepsAndSizesForEachKindOfZoom) {
    struct Case {
        const char* what;
        int srcWidth, srcHeight;
        double zoom;
        int dstWidth, dstHeight;
        std::vector<ScaleStep> steps;
    };
    const Case cases[] = {
        {"the same size: one plain step", 800, 600, 1.0, 800, 600, {{1.0, 0.0, 800, 600}}},
        {"enlarged: one bilinear step", 400, 300, 2.0, 800, 600, {{0.5, 0.0, 800, 600}}},
        {"a half: the 2 x 2 average ends the chain",
         1920,
         1080,
         0.5,
         960,
         540,
         {{2.0, 0.0, 960, 540}}},
        {"a third: two steps that average three pixels",
         1920,
         1080,
         1.0 / 3,
         640,
         360,
         {{1.5, 0.25, 1280, 720}, {2.0, kThird - 0.5, 640, 360}}},
        {"a sixth: halving first, then the third",
         1001,
         7,
         1.0 / 6,
         166,
         1,
         {{2.0, 0.0, 501, 4}, {1.5, 0.25, 334, 3}, {2.0, kThird - 0.5, 166, 1}}},
        {"a fifth: the nearest box factor (6), then the rest bilinear",
         1000,
         500,
         0.2,
         200,
         100,
         {{2.0, 0.0, 500, 250},
          {1.5, 0.25, 334, 167},
          {2.0, kThird - 0.5, 167, 84},
          {5.0 / 6, 0.0, 200, 100}}},
        {"a quarter, the picture a pixel off the exact size",
         1280,
         1024,
         0.25,
         321,
         255,
         {{2.0, 0.0, 640, 512}, {2.0, 0.0, 321, 255}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ScaleStep> steps =
            PlanScaling(c.srcWidth, c.srcHeight, c.zoom, c.dstWidth, c.dstHeight);
        ASSERT_EQ(steps.size(), c.steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(steps[i].scale, c.steps[i].scale, 1e-9);
            EXPECT_NEAR(steps[i].offset, c.steps[i].offset, 1e-9);
            EXPECT_EQ(steps[i].width, c.steps[i].width);
            EXPECT_EQ(steps[i].height, c.steps[i].height);
        }
    }
}

TEST(ScalePlan, NothingToShowGivesNoSteps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        int srcWidth, srcHeight;
        double zoom;
        int dstWidth, dstHeight;
    } cases[] = {
        {0, 600, 1.0, 800, 600},       {800, -1, 1.0, 800, 600},
        {800, 600, 1.0, 0, 600},       {800, 600, 1.0, 800, 0},
        {800, 600, 0.0, 800, 600},     {800, 600, -0.5, 800, 600},
        {800, 600, nan, 800, 600},     {800, 600, infinity, 800, 600},
        {800, 600, 30000.0, 800, 600}, {800, 600, 1.0 / 40000, 800, 600},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(PlanScaling(c.srcWidth, c.srcHeight, c.zoom, c.dstWidth, c.dstHeight).empty())
            << c.srcWidth << "x" << c.srcHeight << " zoom " << c.zoom << " to " << c.dstWidth << "x"
            << c.dstHeight;
    }
}

// The output range [lo, hi) of one axis whose bilinear samples read a pixel
// of [from, to), found pixel by pixel: output u samples at scale * (u + 0.5) +
// offset and reads the pixel at floor(position - 0.5) and the one after it;
// with repeating edges, a pixel beyond the input reads the nearest edge pixel.
std::pair<int, int> ReadingOutputs(const ScaleStep& step, int outSize, int from, int to, int inSize,
                                   bool edgesRepeat) {
    int lo = outSize;
    int hi = 0;
    for (int u = 0; u < outSize; ++u) {
        const double position = step.scale * (u + 0.5) + step.offset;
        const int first = static_cast<int>(std::floor(position - 0.5));
        for (int pixel : {first, first + 1}) {
            if (edgesRepeat) {
                pixel = std::clamp(pixel, 0, inSize - 1);
            }
            if (pixel >= from && pixel < to) {
                lo = std::min(lo, u);
                hi = std::max(hi, u + 1);
            }
        }
    }
    return {lo, hi};
}

struct StepOnInput {
    ScaleStep step;
    int inWidth;
    int inHeight;
};

// The steps of real plans, with pictures a little larger than the scaled
// source (their last pixels sample beyond the input), and steps shifted so
// that many outputs sample before or after it.
std::vector<StepOnInput> StepsToCheck() {
    std::vector<StepOnInput> all = {
        {{1.0, -5.0, 100, 60}, 100, 60},
        {{1.0, 5.0, 100, 60}, 100, 60},
        {{2.0, -3.5, 50, 30}, 100, 60},
        {{0.5, 3.0, 200, 120}, 100, 60},
    };
    const int srcWidth = 997;
    const int srcHeight = 451;
    for (const double zoom : {1.0, 1.7, 0.5, 1.0 / 3, 0.2, 0.31, 1.0 / 12}) {
        const std::vector<ScaleStep> steps =
            PlanScaling(srcWidth, srcHeight, zoom, static_cast<int>(srcWidth * zoom) + 3,
                        static_cast<int>(srcHeight * zoom) + 3);
        int inWidth = srcWidth;
        int inHeight = srcHeight;
        for (const ScaleStep& step : steps) {
            all.push_back({step, inWidth, inHeight});
            inWidth = step.width;
            inHeight = step.height;
        }
    }
    return all;
}

// Every output pixel that reads a changed pixel is inside the step's output
// for the change (a missed one would keep a stale pixel on screen), and the
// widening against the server's rounding stays within two pixels.
TEST(ScalePlan, StepOutputCoversEveryPixelThatReadsAChange) {
    for (const auto& [step, inWidth, inHeight] : StepsToCheck()) {
        const Rect changes[] = {
            {0, 0, 1, 1},
            {inWidth - 1, inHeight - 1, inWidth, inHeight},
            {inWidth / 2, inHeight / 3, inWidth / 2 + 1, inHeight / 3 + 1},
            {5, 7, inWidth / 2, inHeight - 2},
            {0, 0, inWidth, inHeight},
        };
        for (const bool edgesRepeat : {true, false}) {
            for (const Rect& changed : changes) {
                SCOPED_TRACE(::testing::Message()
                             << "step " << step.scale << " " << step.offset << " to " << step.width
                             << "x" << step.height << " from " << inWidth << "x" << inHeight
                             << ", edges repeat " << edgesRepeat << ", changed " << changed.left
                             << "," << changed.top << "," << changed.right << ","
                             << changed.bottom);
                const Rect out = StepOutputFor(step, changed, inWidth, inHeight, edgesRepeat);
                const auto [left, right] = ReadingOutputs(step, step.width, changed.left,
                                                          changed.right, inWidth, edgesRepeat);
                const auto [top, bottom] = ReadingOutputs(step, step.height, changed.top,
                                                          changed.bottom, inHeight, edgesRepeat);
                if (left >= right || top >= bottom) {
                    continue; // no output reads the change
                }
                EXPECT_LE(out.left, left);
                EXPECT_LE(out.top, top);
                EXPECT_GE(out.right, right);
                EXPECT_GE(out.bottom, bottom);
                EXPECT_GE(out.left, std::max(0, left - 2));
                EXPECT_GE(out.top, std::max(0, top - 2));
                EXPECT_LE(out.right, std::min(step.width, right + 2));
                EXPECT_LE(out.bottom, std::min(step.height, bottom + 2));
            }
        }
    }
}

TEST(ScalePlan, StepOutputOfAnEmptyChangeIsEmpty) {
    const ScaleStep step{2.0, 0.0, 50, 50};
    for (const Rect& changed : {Rect{10, 10, 10, 20}, Rect{10, 10, 20, 10}, Rect{30, 30, 20, 20}}) {
        EXPECT_EQ(StepOutputFor(step, changed, 100, 100, true), Rect{});
    }
    // A change wholly beyond the input, on a step that does not repeat its
    // edges, is read by no output pixel.
    EXPECT_EQ(StepOutputFor(step, Rect{300, 300, 310, 310}, 100, 100, false), Rect{});
}

} // namespace
} // namespace kestrove::x11
