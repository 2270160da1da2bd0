#include "tools/icon/png_file.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kestrove::icon {

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void PutChunk(std::vector<std::uint8_t>& out, std::string_view type,
              const std::vector<std::uint8_t>& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(out.data() + typeAt, out.size() - typeAt));
}

// A zlib stream of stored blocks (at most 65535 bytes each).
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    PutBig32(out, Adler32(raw));
    return out;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const SquareImage& image) {
    const auto size = static_cast<std::uint32_t>(image.size);
    std::vector<std::uint8_t> header;
    PutBig32(header, size);
    PutBig32(header, size);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter, no interlace

    std::vector<std::uint8_t> rows;
    rows.reserve((size * 4 + 1) * size);
    for (std::uint32_t y = 0; y < size; ++y) {
        rows.push_back(0); // filter type None
        for (std::uint32_t x = 0; x < size; ++x) {
            const std::uint32_t argb = image.argb[y * size + x];
            rows.insert(rows.end(),
                        {static_cast<std::uint8_t>(argb >> 16),
                         static_cast<std::uint8_t>(argb >> 8), static_cast<std::uint8_t>(argb),
                         static_cast<std::uint8_t>(argb >> 24)});
        }
    }

    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", StoredZlib(rows));
    PutChunk(out, "IEND", {});
    return out;
}

} // namespace kestrove::icon
