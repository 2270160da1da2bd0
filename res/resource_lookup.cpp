#include "res/resource_lookup.h"

#include "res/resources.h"

namespace kestrove::res {

const DialogTemplate* FindDialog(int id) {
    for (const DialogTemplate* dialog : kDialogs) {
        if (dialog->id == id) {
            return dialog;
        }
    }
    return nullptr;
}

std::u16string_view FindString(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}

std::span<const AcceleratorEntry> FindAccelerators(int id) {
    for (const AcceleratorTable& table : kAcceleratorTables) {
        if (table.id == id) {
            return table.entries;
        }
    }
    return {};
}

} // namespace kestrove::res
