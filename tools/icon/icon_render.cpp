#include "tools/icon/icon_render.h"

#include "res/icon/kestrove_icon.h"

#include <algorithm>
#include <cmath>

namespace kestrove::icon {

namespace {

// Samples per pixel along each axis: enough for smooth edges and curves.
constexpr int kSamples = 8;

struct Premultiplied {
    float r = 0, g = 0, b = 0, a = 0;
};

// Edges on whole pixels, so a one-pixel line at 16 px is one sharp pixel.
Box Snapped(const Box& box, int size) {
    const auto snap = [size](float v) { return std::round(v * static_cast<float>(size)); };
    return {snap(box.left), snap(box.top), snap(box.right), snap(box.bottom),
            box.radius * static_cast<float>(size)};
}

bool InsideBox(const Box& box, float x, float y) {
    if (x < box.left || x > box.right || y < box.top || y > box.bottom) {
        return false;
    }
    const float r = box.radius;
    const float dx = std::max({box.left + r - x, 0.0f, x - (box.right - r)});
    const float dy = std::max({box.top + r - y, 0.0f, y - (box.bottom - r)});
    return dx * dx + dy * dy <= r * r;
}

bool InsideTriangle(const std::array<float, 6>& t, int size, float x, float y) {
    const float s = static_cast<float>(size);
    const auto side = [&](int a, int b) {
        const float ax = t[a] * s, ay = t[a + 1] * s, bx = t[b] * s, by = t[b + 1] * s;
        return (bx - ax) * (y - ay) - (by - ay) * (x - ax);
    };
    const float d0 = side(0, 2), d1 = side(2, 4), d2 = side(4, 0);
    return (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
}

Colour Blend(const Colour& top, const Colour& bottom, float t) {
    const auto mix = [t](float a, float b) { return a + (b - a) * t; };
    return {static_cast<std::uint8_t>(std::lround(mix(top.r, bottom.r))),
            static_cast<std::uint8_t>(std::lround(mix(top.g, bottom.g))),
            static_cast<std::uint8_t>(std::lround(mix(top.b, bottom.b))),
            mix(top.alpha, bottom.alpha)};
}

void Over(Premultiplied& dst, const Colour& src) {
    const float a = src.alpha;
    dst.r = src.r / 255.0f * a + dst.r * (1 - a);
    dst.g = src.g / 255.0f * a + dst.g * (1 - a);
    dst.b = src.b / 255.0f * a + dst.b * (1 - a);
    dst.a = a + dst.a * (1 - a);
}

Premultiplied Sample(int size, float x, float y) {
    Premultiplied colour;
    for (const Layer& layer : kLayers) {
        if (size < layer.minimumSize) {
            continue;
        }
        const Box box = Snapped(layer.box, size);
        const bool inside = InsideBox(box, x, y) && (layer.kind == ShapeKind::RoundRect ||
                                                     InsideTriangle(layer.triangle, size, x, y));
        if (inside) {
            const float height = std::max(box.bottom - box.top, 1.0f);
            Over(colour,
                 Blend(layer.top, layer.bottom, std::clamp((y - box.top) / height, 0.0f, 1.0f)));
        }
    }
    return colour;
}

std::uint32_t ToArgb(const Premultiplied& sum) {
    if (sum.a <= 0) {
        return 0;
    }
    const auto channel = [&](float premultiplied) {
        return static_cast<std::uint32_t>(
            std::lround(std::clamp(premultiplied / sum.a, 0.0f, 1.0f) * 255));
    };
    const auto alpha = static_cast<std::uint32_t>(std::lround(std::clamp(sum.a, 0.0f, 1.0f) * 255));
    return alpha << 24 | channel(sum.r) << 16 | channel(sum.g) << 8 | channel(sum.b);
}

} // namespace

std::vector<std::uint32_t> RenderIcon(int size) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) *
                                      static_cast<std::size_t>(size));
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Premultiplied sum;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Premultiplied s =
                        Sample(size, px + (sx + 0.5f) / kSamples, py + (sy + 0.5f) / kSamples);
                    sum.r += s.r;
                    sum.g += s.g;
                    sum.b += s.b;
                    sum.a += s.a;
                }
            }
            constexpr float kCount = kSamples * kSamples;
            pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(size) +
                   static_cast<std::size_t>(px)] =
                ToArgb({sum.r / kCount, sum.g / kCount, sum.b / kCount, sum.a / kCount});
        }
    }
    return pixels;
}

} // namespace kestrove::icon
