// The recording fake's module resources: handles that are the resource ids; strings from res/ or
// the scripted map.
#pragma once

#include "platform/seam/module_resources.h"

namespace kestrove::testing {

class RecordingPlatform;

class RecordingResources final : public ModuleResources {
public:
    explicit RecordingResources(RecordingPlatform& fake) : m_fake(fake) {}

    IconHandle loadIcon(int id) override;
    AccelHandle loadAccelerators(int id) override;
    std::u16string loadString(int id) override;

private:
    RecordingPlatform& m_fake;
};

} // namespace kestrove::testing
