// The program's resources on X11, from the tables in res/. A handle is the
// resource's id, once the id is known to be defined.
#pragma once

#include "platform/seam/module_resources.h"

namespace kestrove::x11 {

class X11Resources final : public ModuleResources {
public:
    IconHandle loadIcon(int id) override;
    AccelHandle loadAccelerators(int id) override;
    std::u16string loadString(int id) override;
};

} // namespace kestrove::x11
