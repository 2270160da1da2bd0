#include "res/icon_images.h"
#include "res/resource_ids.h"

namespace kestrove::res {

std::span<const IconImage> FindIconGroup(int id) {
    if (id == IDR_MAIN_ICON) {
        return kIconImages;
    }
    return {};
}

} // namespace kestrove::res
