#include "tools/icon/ico_file.h"

#include <stdexcept>

namespace kestrove::icon {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// BITMAPINFOHEADER with the doubled height of icon images, the colour rows
// bottom-up as BGRA, then the 1 bpp mask (set: transparent), rows padded to 32 bits.
std::vector<std::uint8_t> EncodeDib(const SquareImage& image) {
    const auto size = static_cast<std::uint32_t>(image.size);
    const std::uint32_t maskStride = (size + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, size);
    Put32(out, size * 2);
    Put16(out, 1);  // planes
    Put16(out, 32); // bits per pixel
    Put32(out, 0);  // BI_RGB
    Put32(out, size * size * 4 + maskStride * size);
    for (int i = 0; i < 4; ++i) {
        Put32(out, 0); // resolution and palette: unused
    }
    for (std::uint32_t row = size; row-- > 0;) {
        for (std::uint32_t x = 0; x < size; ++x) {
            Put32(out, image.argb[row * size + x]); // little-endian ARGB is BGRA
        }
    }
    for (std::uint32_t row = size; row-- > 0;) {
        std::vector<std::uint8_t> mask(maskStride, 0);
        for (std::uint32_t x = 0; x < size; ++x) {
            if ((image.argb[row * size + x] >> 24) == 0) {
                mask[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> EncodeIco(const std::vector<SquareImage>& images) {
    std::vector<std::vector<std::uint8_t>> dibs;
    for (const SquareImage& image : images) {
        if (image.size < 1 || image.size > 256 ||
            image.argb.size() != static_cast<std::size_t>(image.size) * image.size) {
            throw std::invalid_argument("icon images are 1 to 256 pixels square");
        }
        dibs.push_back(EncodeDib(image));
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0); // reserved
    Put16(out, 1); // icon
    Put16(out, static_cast<std::uint32_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto side = static_cast<std::uint8_t>(images[i].size == 256 ? 0 : images[i].size);
        out.push_back(side);
        out.push_back(side);
        out.push_back(0); // no palette
        out.push_back(0);
        Put16(out, 1);  // planes
        Put16(out, 32); // bits per pixel
        Put32(out, static_cast<std::uint32_t>(dibs[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(dibs[i].size());
    }
    for (const auto& dib : dibs) {
        out.insert(out.end(), dib.begin(), dib.end());
    }
    return out;
}

} // namespace kestrove::icon
