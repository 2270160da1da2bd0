// The resources of the program's own module, looked up by id.
#pragma once

#include "platform/types.h"

#include <string>

namespace kestrove {

class ModuleResources {
public:
    virtual IconHandle loadIcon(int id) = 0;          // LoadIconW
    virtual AccelHandle loadAccelerators(int id) = 0; // LoadAcceleratorsW
    virtual std::u16string loadString(int id) = 0;    // LoadStringW; empty when missing

protected:
    ~ModuleResources() = default;
};

} // namespace kestrove
