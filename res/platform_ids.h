// Identifiers of the texts that a platform layer shows on its own, outside
// the program's logic (the one message that the mirror has no picture on a
// desktop without screen capture). Their texts are in the string table of
// res/resources.h, for both targets.
#pragma once

#define IDS_NO_SCREEN_CAPTURE 103
