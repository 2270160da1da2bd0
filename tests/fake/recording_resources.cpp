#include "tests/fake/recording_resources.h"

#include "res/resource_lookup.h"
#include "tests/fake/recording_platform.h"

namespace kestrove::testing {

IconHandle RecordingResources::loadIcon(int id) {
    return static_cast<IconHandle>(id);
}

AccelHandle RecordingResources::loadAccelerators(int id) {
    return static_cast<AccelHandle>(id);
}

std::u16string RecordingResources::loadString(int id) {
    if (m_fake.useResourceStrings) {
        return std::u16string(res::FindString(id));
    }
    const auto found = m_fake.strings.find(id);
    return found == m_fake.strings.end() ? std::u16string() : found->second;
}

} // namespace kestrove::testing
