#include "platform/platform.h"

#include <cassert>

namespace kestrove {

namespace {
Platform* s_pPlatform = nullptr;
}

Platform& ThePlatform() {
    assert(s_pPlatform != nullptr && "the entry point sets the platform first");
    return *s_pPlatform;
}

void SetThePlatform(Platform* platform) {
    s_pPlatform = platform;
}

} // namespace kestrove
