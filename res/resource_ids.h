// Resource and command identifiers, one definition for both targets (the
// Windows resource script is generated from res/resources.h, which uses these).
#pragma once

#include "res/framework_ids.h"
#include "res/platform_ids.h"

#define IDD_ABOUT 100
#define IDS_ABOUT_MENU 101
#define IDD_MIRROR 102
#define IDR_MAIN_ICON 128
#define IDR_MIRROR_ACCEL 130
#define IDC_VERSION_LABEL 1000
#define IDT_REFRESH 2000
#define ID_SELECT_MONITOR_1 3001
#define ID_SELECT_MONITOR_2 3002
#define ID_SELECT_MONITOR_3 3003
#define ID_SELECT_MONITOR_4 3004
#define ID_SELECT_MONITOR_5 3005
#define ID_ACCEL_RETURN 32772
#define ID_ACCEL_ESCAPE 32773
#define IDM_ABOUT 0x0010
