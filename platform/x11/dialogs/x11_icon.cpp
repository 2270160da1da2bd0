#include "platform/x11/dialogs/x11_icon.h"

#include "res/icon_images.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrender.h>

#include <bit>
#include <vector>

namespace kestrove::x11 {

namespace {

// The image to draw at `size`: that size, else the smallest larger one (to be
// scaled down), else the largest.
const res::IconImage* ImageFor(std::span<const res::IconImage> group, int size) {
    const res::IconImage* best = nullptr;
    for (const res::IconImage& image : group) {
        if (image.size >= size && (best == nullptr || image.size < best->size)) {
            best = &image;
        }
    }
    if (best == nullptr && !group.empty()) {
        best = &group.back(); // the group is ordered smallest first
    }
    return best;
}

// Render blends premultiplied colours.
std::vector<std::uint32_t> Premultiplied(const res::IconImage& image) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.size) * image.size);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t p = image.argb[i];
        const std::uint32_t a = p >> 24;
        const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        pixels[i] = (a << 24) | (scale((p >> 16) & 0xFF) << 16) | (scale((p >> 8) & 0xFF) << 8) |
                    scale(p & 0xFF);
    }
    return pixels;
}

} // namespace

void SetWindowIcon(Display* display, const Atoms& atoms, Window window,
                   std::span<const res::IconImage> group) {
    if (group.empty()) {
        XDeleteProperty(display, window, atoms.netWmIcon);
        return;
    }
    std::vector<long> data;
    for (const res::IconImage& image : group) {
        data.push_back(image.size);
        data.push_back(image.size);
        const std::size_t count = static_cast<std::size_t>(image.size) * image.size;
        data.insert(data.end(), image.argb, image.argb + count);
    }
    SetCardinals(display, window, atoms.netWmIcon, XA_CARDINAL, data);
}

void DrawIcon(Display* display, int screen, Drawable drawable, int x, int y, int size,
              std::span<const res::IconImage> group) {
    const res::IconImage* image = ImageFor(group, size);
    XRenderPictFormat* argb = XRenderFindStandardFormat(display, PictStandardARGB32);
    XRenderPictFormat* target = XRenderFindVisualFormat(display, DefaultVisual(display, screen));
    if (image == nullptr || argb == nullptr || target == nullptr) {
        return;
    }
    std::vector<std::uint32_t> pixels = Premultiplied(*image);
    const auto side = static_cast<unsigned>(image->size);
    Pixmap pixmap = XCreatePixmap(display, drawable, side, side, 32);
    XImage* ximage =
        XCreateImage(display, nullptr, 32, ZPixmap, 0, reinterpret_cast<char*>(pixels.data()), side,
                     side, 32, image->size * 4);
    ximage->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, ximage, 0, 0, 0, 0, side, side);
    XFreeGC(display, gc);
    ximage->data = nullptr; // the vector owns the pixels
    XDestroyImage(ximage);

    Picture source = XRenderCreatePicture(display, pixmap, argb, 0, nullptr);
    if (image->size != size) {
        const double scale = static_cast<double>(image->size) / size;
        XTransform transform{{{XDoubleToFixed(scale), 0, 0},
                              {0, XDoubleToFixed(scale), 0},
                              {0, 0, XDoubleToFixed(1.0)}}};
        XRenderSetPictureTransform(display, source, &transform);
        XRenderSetPictureFilter(display, source, FilterBilinear, nullptr, 0);
    }
    Picture destination = XRenderCreatePicture(display, drawable, target, 0, nullptr);
    const auto drawn = static_cast<unsigned>(size);
    XRenderComposite(display, PictOpOver, source, None, destination, 0, 0, 0, 0, x, y, drawn,
                     drawn);
    XRenderFreePicture(display, destination);
    XRenderFreePicture(display, source);
    XFreePixmap(display, pixmap);
}

} // namespace kestrove::x11
