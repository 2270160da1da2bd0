// Kestrove as the toolkit ATK asks: the root object of the application's
// tree, the toolkit's name, and the signal listeners atk-bridge installs to
// turn ATK's signals into AT-SPI events. GTK plays this part for its own
// programs; here no toolkit takes over the windows.
#pragma once

#include <atk/atk.h>

namespace kestrove::x11::a11y {

// From now on atk_get_root() is `root` (nullptr: none).
void InstallAtkToolkit(AtkObject* root);

} // namespace kestrove::x11::a11y
