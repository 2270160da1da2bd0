// The recording fake's module resources: handles that are the resource ids; strings from res/ or
// the scripted map.
#pragma once

#include "platform/seam/module_resources.h"
#include "tests/fake/recording_state.h"

#include "res/resource_lookup.h"

namespace kestrove::testing {

class RecordingResources final : public ModuleResources {
public:
    explicit RecordingResources(RecordingState& fake) : m_fake(fake) {}

    IconHandle loadIcon(int id) override { return static_cast<IconHandle>(id); }

    AccelHandle loadAccelerators(int id) override { return static_cast<AccelHandle>(id); }

    std::u16string loadString(int id) override {
        if (m_fake.useResourceStrings) {
            return std::u16string(res::FindString(id));
        }
        const auto found = m_fake.strings.find(id);
        return found == m_fake.strings.end() ? std::u16string() : found->second;
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
