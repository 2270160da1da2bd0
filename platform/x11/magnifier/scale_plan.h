// How the mirror's picture is made from the source rectangle: a short chain of
// resampling steps that the X server runs with Render's bilinear filter.
//
// Bilinear alone, at a third of the size, samples four of every nine source
// pixels and drops the rest: one-pixel lines vanish or flicker into view. So
// the chain first reduces the source by an integer factor n = 2^a * 3^b with
// exact box averages, each made of bilinear samples placed so that every
// source pixel gets its share, and ends with one bilinear step for what is left
// of the scale (a factor close to 1). Every step is a fixed affine map, so a
// still screen gives the same picture every time.
#pragma once

#include <vector>

namespace kestrove::x11 {

struct ScaleStep {
    // Input coordinate = scale * output coordinate + offset, on both axes;
    // this is the step's Render picture transform.
    double scale;
    double offset;
    int width; // the step's output size
    int height;
};

// The steps from a source of srcWidth x srcHeight, shown at `zoom`, to a
// picture of dstWidth x dstHeight (the last step's output). Empty when there is
// nothing to show: an empty source or picture, or a zoom that is not a finite
// positive number within what a Render transform can express.
std::vector<ScaleStep> PlanScaling(int srcWidth, int srcHeight, double zoom, int dstWidth,
                                   int dstHeight);

} // namespace kestrove::x11
