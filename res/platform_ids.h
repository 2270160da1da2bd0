// Identifiers of the texts that a platform layer shows on its own, outside
// the program's logic (why the mirror has no picture on a Wayland desktop:
// no screen capture, the share refused, a screen cast the desktop could not
// start, or screens shared that cannot be told apart). Their texts are in the
// string table of res/resources.h, for both targets.
#pragma once

#define IDS_NO_SCREEN_CAPTURE 103
#define IDS_SCREEN_SHARE_REFUSED 104
#define IDS_SCREEN_CAST_FAILED 105
#define IDS_SCREEN_SHARE_UNPAIRED 106
