// Any answer to a property read, as another client may have written it: the
// decoding reads only the bytes received, and the work area chosen from two
// such properties is a rectangle inside the coordinate range or nothing.
#include "platform/x11/connection/window_property.h"
#include "platform/x11/dialogs/work_area.h"

#include <X11/Xatom.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

namespace {

// Takes a claimed header from the input and gives the bytes after it (or as
// many as the input has) as the data received.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    template <typename T> T take() {
        T value{};
        const std::size_t n = std::min(sizeof value, m_size - m_at);
        std::memcpy(&value, m_data + m_at, n);
        m_at += n;
        return value;
    }
    std::span<const unsigned char> bytes(std::size_t wanted) {
        const std::size_t n = std::min(wanted, m_size - m_at);
        const std::span<const unsigned char> out(m_data + m_at, n);
        m_at += n;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

std::optional<kestrove::x11::Cardinals> Property(Reader& in, std::size_t maxItems) {
    static const Atom kTypes[] = {XA_CARDINAL, XA_ATOM, XA_STRING, None};
    kestrove::x11::RawProperty raw;
    raw.type = kTypes[in.take<std::uint8_t>() % 4];
    static const int kFormats[] = {32, 16, 8, 0, 31, -32};
    raw.format = kFormats[in.take<std::uint8_t>() % 6];
    raw.items = in.take<std::uint32_t>();
    raw.bytesAfter = in.take<std::uint8_t>() % 3 == 0 ? in.take<std::uint32_t>() : 0;
    raw.data = in.bytes(in.take<std::uint16_t>());
    return kestrove::x11::DecodeCardinals(raw, XA_CARDINAL, maxItems);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const auto desktop = Property(in, 2);
    const auto areas = Property(in, 4 * kestrove::x11::kMaxDesktops);
    if ((desktop && desktop->size() > 2) ||
        (areas && areas->size() > 4 * kestrove::x11::kMaxDesktops)) {
        std::abort(); // more than was asked for
    }
    if (const auto area = kestrove::x11::SelectWorkArea(desktop, areas)) {
        if (area->right < area->left || area->bottom < area->top) {
            std::abort();
        }
    }
    return 0;
}
