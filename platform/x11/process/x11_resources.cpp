#include "platform/x11/process/x11_resources.h"

#include "res/icon_images.h"
#include "res/resource_lookup.h"

namespace kestrove::x11 {

IconHandle X11Resources::loadIcon(int id) {
    return res::FindIconGroup(id).empty() ? 0 : static_cast<IconHandle>(id);
}

AccelHandle X11Resources::loadAccelerators(int id) {
    return res::FindAccelerators(id).empty() ? 0 : static_cast<AccelHandle>(id);
}

std::u16string X11Resources::loadString(int id) {
    return std::u16string(res::FindString(id));
}

} // namespace kestrove::x11
