// Lookups of the program's resources by id, for the framework and the
// backends: they need no identifier of the program's own.
#pragma once

#include "res/resource_types.h"

#include <span>
#include <string_view>

namespace kestrove::res {

// nullptr / empty when the id is not defined.
const DialogTemplate* FindDialog(int id);
std::u16string_view FindString(int id);
std::span<const AcceleratorEntry> FindAccelerators(int id);

} // namespace kestrove::res
