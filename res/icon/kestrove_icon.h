// The application icon as drawing instructions: a monitor whose screen shows
// a smaller copy of a monitor, under a glass glint. Coordinates are fractions
// of the icon's side, y downwards; the renderer in tools/icon snaps rectangle
// edges to whole pixels so small sizes stay crisp.
#pragma once

#include <array>
#include <cstdint>

namespace kestrove::icon {

struct Colour {
    std::uint8_t r, g, b;
    float alpha; // 0 .. 1
};

struct Box {
    float left, top, right, bottom;
    float radius; // corner radius, 0: square corners
};

enum class ShapeKind { RoundRect, Triangle };

struct Layer {
    ShapeKind kind;
    Box box;                       // RoundRect: the shape; Triangle: where it is clipped
    std::array<float, 6> triangle; // Triangle: x0, y0, x1, y1, x2, y2
    Colour top;                    // colour at the box's top edge
    Colour bottom;                 // ... and at its bottom edge (vertical gradient)
    int minimumSize;               // drawn only at this size and above
};

inline constexpr Colour kBezel{0x2E, 0x3A, 0x46, 1.0f};
inline constexpr Colour kBase{0x46, 0x53, 0x5F, 1.0f};
inline constexpr Colour kSkyTop{0x5E, 0xC8, 0xF2, 1.0f};
inline constexpr Colour kSkyBottom{0x1E, 0x6F, 0xD0, 1.0f};
inline constexpr Colour kFrame{0xF4, 0xF7, 0xFA, 1.0f};
inline constexpr Colour kGlint{0xFF, 0xFF, 0xFF, 0.22f};

inline constexpr Box kScreen{0.10f, 0.17f, 0.90f, 0.69f, 0.02f};

inline constexpr std::array<Layer, 8> kLayers{{
    // stand: neck, then foot
    {ShapeKind::RoundRect, {0.43f, 0.74f, 0.57f, 0.87f, 0.0f}, {}, kBezel, kBezel, 0},
    {ShapeKind::RoundRect, {0.25f, 0.85f, 0.75f, 0.92f, 0.03f}, {}, kBase, kBase, 0},
    // bezel and screen
    {ShapeKind::RoundRect, {0.03f, 0.11f, 0.97f, 0.75f, 0.07f}, {}, kBezel, kBezel, 0},
    {ShapeKind::RoundRect, kScreen, {}, kSkyTop, kSkyBottom, 0},
    // the mirrored monitor on the screen
    {ShapeKind::RoundRect, {0.28f, 0.28f, 0.72f, 0.56f, 0.03f}, {}, kFrame, kFrame, 0},
    {ShapeKind::RoundRect, {0.32f, 0.32f, 0.68f, 0.52f, 0.0f}, {}, kSkyTop, kSkyBottom, 24},
    {ShapeKind::RoundRect, {0.44f, 0.56f, 0.56f, 0.60f, 0.0f}, {}, kFrame, kFrame, 32},
    // glass glint across the screen's upper left
    {ShapeKind::Triangle, kScreen, {0.10f, 0.17f, 0.60f, 0.17f, 0.10f, 0.58f}, kGlint, kGlint, 0},
}};

} // namespace kestrove::icon
