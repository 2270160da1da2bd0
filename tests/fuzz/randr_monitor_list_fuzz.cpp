// Any monitor list as RandR may report it: every record the program keeps is
// a rectangle with area inside the coordinate range.
#include "platform/x11/monitors/randr_monitor_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The fields of one monitor as they come off the input; its outputs lie in
// an array of exactly `noutput` entries, as Xlib hands them over.
constexpr std::size_t kEntryBytes = 4 * 6 + 2;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t count = size / kEntryBytes;
    std::vector<XRRMonitorInfo> monitors(count);
    std::vector<std::vector<RROutput>> outputs(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + i * kEntryBytes;
        std::int32_t fields[6];
        std::memcpy(fields, entry, sizeof fields);
        XRRMonitorInfo& m = monitors[i];
        m.name = static_cast<Atom>(static_cast<std::uint32_t>(fields[0]));
        m.x = fields[1];
        m.y = fields[2];
        m.width = fields[3];
        m.height = fields[4];
        m.mwidth = fields[5];
        m.primary = entry[24] & 1;
        m.automatic = (entry[24] >> 1) & 1;
        m.noutput = static_cast<std::int8_t>(entry[25]) % 5; // may be negative
        if (m.noutput > 0) {
            outputs[i].assign(static_cast<std::size_t>(m.noutput), RROutput{0x40 + i});
            m.outputs = outputs[i].data();
        }
    }
    const auto records = kestrove::x11::ToMonitorRecords(
        monitors, [](Atom name) { return name == None ? std::string() : std::to_string(name); });
    if (records.size() > count) {
        std::abort();
    }
    for (const kestrove::x11::MonitorRecord& r : records) {
        if (r.rect.right <= r.rect.left || r.rect.bottom <= r.rect.top) {
            std::abort();
        }
    }
    return 0;
}
